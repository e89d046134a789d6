#include "platform/RegularFileRead.h"

#include "platform/FileIO.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pw::tests {
using namespace pw::platform;
namespace {

TEST(RegularFileReadTest, OnlyRegularFilesUpToTheBoundAreRead) {
  QTemporaryDir dir;
  const QString folder = dir.path() + "/";
  ASSERT_TRUE(WriteWholeFile(folder + "ten.txt", "0123456789"));
  ASSERT_TRUE(QFile::link(folder + "ten.txt", folder + "link.txt"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "fifo").constData(), 0600), 0);
  const struct {
    QString Path;
    std::int64_t Max;
    const char* Reason;  // empty: read
  } cases[] = {
      {folder + "ten.txt", 10, ""},
      {folder + "link.txt", 10, ""},
      {folder + "ten.txt", 9, "is larger than 9 bytes"},
      {"/dev/zero", std::int64_t(1) << 30, "is not a regular file"},
      {folder + "fifo", 10, "is not a regular file"},
      {folder, 10, "is a folder"},
      {folder + "missing", 10, "No such file or directory"},
  };
  for (const auto& c : cases) {
    std::string bytes = "untouched";
    QString error;
    const bool read = ReadRegularFile(c.Path, c.Max, bytes, &error);
    EXPECT_EQ(read, *c.Reason == '\0') << c.Path.toStdString();
    EXPECT_EQ(bytes, read ? "0123456789" : "untouched");
    EXPECT_TRUE(error.contains(c.Reason)) << error.toStdString();
  }
  EXPECT_EQ(FormatByteLimit(std::int64_t(256) << 20), "256 MiB");
  EXPECT_EQ(FormatByteLimit((std::int64_t(1) << 30) + 1), "1073741825 bytes");
}

}  // namespace
}  // namespace pw::tests
