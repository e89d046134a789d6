#include "core/ApplicationSettings.h"

#include "support/ConfigFixture.h"
#include "support/QStringPrinter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using ApplicationSettingsTest = ConfigFileTest;

TEST_F(ApplicationSettingsTest, FolderWithoutTrailingSeparatorReadsBackWithOne) {
  FConfig.WriteString(u"General"_qs, u"DefaultProjectPath"_qs, u"/home/u/Sites"_qs);
  EXPECT_EQ(ReadDefaultProjectPath(FConfig), u"/home/u/Sites/"_qs);
  FConfig.WriteString(u"General"_qs, u"LibraryPath"_qs, u"D:\\Web\\Library"_qs);
  EXPECT_EQ(ReadLibraryPath(FConfig), u"D:/Web/Library/"_qs);
  FConfig.WriteString(u"General"_qs, u"LibraryPath"_qs, u""_qs);
  EXPECT_EQ(ReadLibraryPath(FConfig), DefaultLibraryPath());

  WriteDefaultProjectPath(FConfig, u"/home/u/Projects"_qs);
  EXPECT_EQ(FConfig.ReadString(u"General"_qs, u"DefaultProjectPath"_qs, QString()),
            u"/home/u/Projects/"_qs);
  WriteLibraryPath(FConfig, u"/srv/lib/"_qs);
  ASSERT_TRUE(FConfig.Save());
  EXPECT_EQ(ReadDefaultProjectPath(Reloaded()), u"/home/u/Projects/"_qs);
  EXPECT_EQ(ReadLibraryPath(Reloaded()), u"/srv/lib/"_qs);
}

TEST_F(ApplicationSettingsTest, TwelveRecentFilesLeaveElevenInTheFile) {
  QStringList files;
  for (int i = 1; i <= 12; ++i) files.append(u"/home/u/Сайт %1/site.pwproj"_qs.arg(i));
  WriteRecentFiles(FConfig, files);
  ASSERT_TRUE(FConfig.Save());
  const QStringList read = ReadRecentFiles(Reloaded());
  EXPECT_EQ(read, files.mid(0, 11));
  // The value is the UTF-8 form of the joined paths.
  EXPECT_NE(ReadOr(FConfig.FullPath()).find("RecentFiles=/home/u/\xD0\xA1\xD0\xB0\xD0\xB9\xD1\x82 1/site.pwproj|"),
            std::string::npos);
}

TEST_F(ApplicationSettingsTest, RecentFilesSkipEmptyAndUnjoinablePaths) {
  WriteRecentFiles(FConfig, {u"/a.pwproj"_qs, u""_qs, u"/odd|name.pwproj"_qs, u"/b.pwproj"_qs});
  EXPECT_EQ(FConfig.ReadString(u"General"_qs, u"RecentFiles"_qs, QString()), u"/a.pwproj|/b.pwproj"_qs);
  FConfig.WriteString(u"General"_qs, u"RecentFiles"_qs, u"|/c.pwproj||"_qs);
  EXPECT_EQ(ReadRecentFiles(FConfig), QStringList{u"/c.pwproj"_qs});
  WriteRecentFiles(FConfig, {});
  EXPECT_TRUE(ReadRecentFiles(FConfig).isEmpty());
}

TEST_F(ApplicationSettingsTest, SearchSettingsRoundTrip) {
  TSearchSettings settings;
  settings.Backwards = true;
  settings.CaseSensitive = true;
  settings.WholeWords = true;
  settings.Regex = true;
  settings.TextAtCaret = false;
  settings.SearchText = u"C:\\new folder"_qs;
  settings.ReplaceText = u"=x= [y]"_qs;
  settings.SearchTextHistory = {u"a\\nb"_qs, u"plain"_qs, u"trailing\\"_qs, u""_qs, u"ä€"_qs};
  settings.ReplaceTextHistory = {u"\\\\server\\share"_qs};
  WriteSearchSettings(FConfig, settings);
  ASSERT_TRUE(FConfig.Save());

  TSearchSettings read = ReadSearchSettings(Reloaded());
  EXPECT_TRUE(read.TextAtCaret);  // forced on at every start
  EXPECT_EQ(FReloaded.ReadString(u"General"_qs, u"SearchTextAtCaret"_qs, QString()), u"0"_qs);
  read.TextAtCaret = false;
  EXPECT_EQ(read, settings);
  // A backslash before an n stays one entry; every line break form separates entries.
  EXPECT_TRUE(FReloaded.ReadString(u"General"_qs, u"SearchTextHistory"_qs, QString()).startsWith(u"a\\\\nb\\r\\n"_qs));
  FConfig.WriteString(u"General"_qs, u"ReplaceTextHistory"_qs, u"one\\ntwo\\rthree\\r\\nfour"_qs);
  EXPECT_EQ(ReadSearchSettings(FConfig).ReplaceTextHistory,
            (QStringList{u"one"_qs, u"two"_qs, u"three"_qs, u"four"_qs}));
}

}  // namespace
}  // namespace pw::tests
