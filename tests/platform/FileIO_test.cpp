#include "platform/FileIO.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pw::tests {
using namespace pw::platform;
namespace {

class FileIOTest : public ::testing::Test {
 protected:
  QString Path(const QString& relative) const { return FDir.filePath(relative); }
  QStringList Entries(const QString& folder) const {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QTemporaryDir FDir;
};

TEST_F(FileIOTest, WritesAndReadsBytesExactly) {
  const std::string bytes("line\r\n\0binary\xFF", 14);
  ASSERT_TRUE(WriteWholeFile(Path("a.bin"), bytes));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(Path("a.bin"), read));
  EXPECT_EQ(read, bytes);
  EXPECT_EQ(Entries(FDir.path()), QStringList{"a.bin"});  // no temporary left behind
}

TEST_F(FileIOTest, EmptyContentMakesAnEmptyFile) {
  ASSERT_TRUE(WriteWholeFile(Path("empty.txt"), ""));
  std::string read = "stale";
  ASSERT_TRUE(ReadWholeFile(Path("empty.txt"), read));
  EXPECT_EQ(read, "");
}

TEST_F(FileIOTest, ReplacesOldContentAndCreatesMissingFolders) {
  const QString path = Path("deep/er/still/page.html");
  ASSERT_TRUE(WriteWholeFile(path, "first version, longer"));
  ASSERT_TRUE(WriteWholeFile(path, "second"));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(path, read));
  EXPECT_EQ(read, "second");
  EXPECT_EQ(Entries(Path("deep/er/still")), QStringList{"page.html"});
}

TEST_F(FileIOTest, ReplacingKeepsTheFilesPermissions) {
  const QString path = Path("private.ini");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
  ASSERT_TRUE(WriteWholeFile(path, "new"));
  const QFile::Permissions ownerGroupOther(0x7077);  // the "User" bits depend on who runs this
  EXPECT_EQ(QFile::permissions(path) & ownerGroupOther, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(FileIOTest, FailureLeavesTheTargetAndNoTemporary) {
  // A folder stands where the file should go: the write fails and the folder survives.
  ASSERT_TRUE(ForceDirectories(Path("taken/inner")));
  QString error;
  EXPECT_FALSE(WriteWholeFile(Path("taken"), "x", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(DirectoryExists(Path("taken/inner")));
  EXPECT_EQ(Entries(FDir.path()), QStringList{"taken"});
}

TEST_F(FileIOTest, FailsWhenAFileBlocksTheFolder) {
  ASSERT_TRUE(WriteWholeFile(Path("blocker"), "old"));
  EXPECT_FALSE(WriteWholeFile(Path("blocker/sub/file.txt"), "x"));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(Path("blocker"), read));
  EXPECT_EQ(read, "old");
}

TEST_F(FileIOTest, ReadFailuresLeaveBytesUntouched) {
  std::string bytes = "keep";
  QString error;
  EXPECT_FALSE(ReadWholeFile(Path("missing.txt"), bytes, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(ReadWholeFile(FDir.path(), bytes));
  EXPECT_FALSE(ReadWholeFile(QString(), bytes));
  EXPECT_EQ(bytes, "keep");
}

TEST_F(FileIOTest, ExistenceChecksTellFilesFromFolders) {
  ASSERT_TRUE(WriteWholeFile(Path("f.txt"), "x"));
  EXPECT_TRUE(FileExists(Path("f.txt")));
  EXPECT_FALSE(FileExists(FDir.path()));
  EXPECT_FALSE(FileExists(QString()));
  EXPECT_TRUE(DirectoryExists(FDir.path()));
  EXPECT_FALSE(DirectoryExists(Path("f.txt")));
  EXPECT_FALSE(DirectoryExists(QString()));
  EXPECT_TRUE(ForceDirectories(Path("x\\y").replace('\\', '/')));
  QString reason;
  EXPECT_FALSE(ForceDirectories(Path("f.txt/sub/deeper"), &reason));
  EXPECT_EQ(reason, "Not a directory");
  EXPECT_FALSE(ForceDirectories(Path("f.txt"), &reason));
  EXPECT_EQ(reason, "Not a directory");
  EXPECT_FALSE(ForceDirectories(QString(), &reason));
  EXPECT_EQ(reason, "No folder name given");
}

}  // namespace
}  // namespace pw::tests
