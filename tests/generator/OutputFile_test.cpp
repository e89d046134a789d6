#include "generator/OutputFile.h"
#include "platform/FileIO.h"
#include "support/TestFiles.h"

#include <QDir>
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
