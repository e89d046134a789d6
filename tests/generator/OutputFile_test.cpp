#include "generator/OutputFile.h"
#include "platform/FileIO.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pw::tests {
namespace {



TEST(OutputFileTest, WritesReplacesAndCreatesFolders) {
  QTemporaryDir dir;
  QString path = dir.path() + "/a/b/page.html";
  ASSERT_TRUE(WriteOutputFile(path, "first"));
  EXPECT_EQ(ReadOr(path), "first");
  ASSERT_TRUE(WriteOutputFile(path, std::string("second\0x", 8)));
  EXPECT_EQ(ReadOr(path), std::string("second\0x", 8));
  ASSERT_TRUE(WriteOutputFile(dir.path() + "/empty.txt", ""));
  EXPECT_EQ(ReadOr(dir.path() + "/empty.txt"), "");
  // No temporaries are left behind.
  EXPECT_EQ(QDir(dir.path() + "/a/b").entryList(QDir::Files), QStringList{"page.html"});
}

// A file is left alone only when it is a regular file holding exactly the bytes; a caller
// that believes the file missing (an old folder listing) still replaces it correctly.
TEST(OutputFileTest, OnlyAFileHoldingExactlyTheBytesIsLeftAlone) {
  QTemporaryDir dir;
  const std::string big(70000, 'b');
  const struct {
    std::string Old, New;
    bool Unchanged;
    bool KnownMissing;
  } cases[] = {
      {"page", "page", true, false},
      {"page!", "page", false, false},  // longer, the same start
      {"pag", "page", false, false},    // a prefix of the new bytes
      {"", "", true, false},
      {"", "x", false, false},
      {big, big, true, false},
      {big, big.substr(0, big.size() - 1) + "c", false, false},
      {"page", "new", false, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    const QString path = dir.path() + "/" + QString::number(n++) + ".html";
    ASSERT_TRUE(platform::WriteWholeFile(path, c.Old));
    bool unchanged = false;
    ASSERT_TRUE(WriteOutputFile(path, c.New, nullptr, &unchanged, c.KnownMissing)) << n;
    EXPECT_EQ(unchanged, c.Unchanged) << n;
    EXPECT_EQ(ReadOr(path), c.New) << n;
  }
  // A link to a file with the same bytes is replaced by a file of its own.
  const QString target = dir.path() + "/target.html", link = dir.path() + "/link.html";
  platform::WriteWholeFile(target, "same");
  ASSERT_TRUE(QFile::link(target, link));
  bool unchanged = true;
  ASSERT_TRUE(WriteOutputFile(link, "same", nullptr, &unchanged));
  EXPECT_FALSE(unchanged);
  EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(OutputFileTest, FailuresLeaveNothingBehind) {
  QTemporaryDir dir;
  QDir().mkpath(dir.path() + "/folder");
  platform::WriteWholeFile(dir.path() + "/file", "f");
  const struct {
    QString Path, Reason;
  } cases[] = {
      {dir.path() + "/folder", "is a folder"},  // a folder is never replaced
      {dir.path() + "/file/below.html", "Not a directory"},  // a file blocks the folder
      {"", "no file name given"},
  };
  for (const auto& c : cases) {
    QString reason;
    EXPECT_FALSE(WriteOutputFile(c.Path, "x", &reason)) << c.Path.toStdString();
    EXPECT_EQ(reason, c.Reason) << c.Path.toStdString();
  }
  EXPECT_TRUE(QDir(dir.path() + "/folder").exists());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
            (QStringList{"file", "folder"}));
}

}  // namespace
}  // namespace pw::tests
