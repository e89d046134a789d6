#include "core/ApplicationSettings.h"
#include "core/ConfigFile.h"
#include "core/WindowPlacement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/FileIO.h"
#include "support/ConfigFixture.h"
#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFiles.h"

namespace pw::tests {
namespace {

TEST_F(ConfigFileTest, LocationsAndBackslashFileNames) {
  EXPECT_EQ(FConfig.Location(), cflCommonAppData);
  EXPECT_EQ(FConfig.FullPath(), FDir.path() + u"/common-appdata/Pagewick/config.ini"_qs);
  TConfigFile file;
  EXPECT_EQ(file.Location(), cflUser);
  EXPECT_EQ(file.FullPath(), QString());
  file.SetFileName(u"Pagewick\\other.ini"_qs);
  EXPECT_EQ(file.FullPath(), u"Pagewick/other.ini"_qs);
  const std::pair<TConfigFileLocation, QString> folders[] = {
      {cflAppData, u"appdata"_qs}, {cflDocuments, u"documents"_qs}, {cflCommonDocuments, u"common-documents"_qs}};
  for (const auto& [location, folder] : folders) {
    file.SetLocation(location);
    EXPECT_EQ(file.FullPath(), FDir.path() + u'/' + folder + u"/Pagewick/other.ini"_qs);
  }
  file.SetLocation(cflModule);
  EXPECT_TRUE(file.FullPath().endsWith(u"/Pagewick/other.ini"_qs));
  EXPECT_TRUE(file.FullPath().startsWith(u'/'));
}

TEST_F(ConfigFileTest, MissingOrDeletedFileGivesEveryDefault) {
  EXPECT_TRUE(FConfig.Load());
  EXPECT_FALSE(FConfig.LoadedModificationTime().isValid());
  EXPECT_TRUE(ReadShowWelcomeScreenAtStartup(FConfig));
  EXPECT_FALSE(ReadPreviewNewProject(FConfig));
  EXPECT_EQ(ReadDefaultProjectPath(FConfig), FDir.path() + u"/documents/My Web Projects/"_qs);
  EXPECT_EQ(ReadLibraryPath(FConfig), FDir.path() + u"/common-documents/Web Library/"_qs);
  EXPECT_TRUE(ReadRecentFiles(FConfig).isEmpty());
  TSearchSettings expected;
  expected.TextAtCaret = true;
  EXPECT_EQ(ReadSearchSettings(FConfig), expected);
  TWindowPlacement placement;
  EXPECT_FALSE(ReadWindowPlacement(FConfig, u"General"_qs, u"WindowPosition"_qs, placement));

  // A deleted file restores the defaults at the next load.
  WriteShowWelcomeScreenAtStartup(FConfig, false);
  WriteLibraryPath(FConfig, u"/srv/lib"_qs);
  ASSERT_TRUE(FConfig.Save());
  EXPECT_FALSE(ReadShowWelcomeScreenAtStartup(Reloaded()));
  EXPECT_TRUE(Reloaded().LoadedModificationTime().isValid());

  ASSERT_TRUE(QFile::remove(FConfig.FullPath()));
  ASSERT_TRUE(FConfig.Load());
  EXPECT_TRUE(ReadShowWelcomeScreenAtStartup(FConfig));
  EXPECT_EQ(ReadLibraryPath(FConfig), FDir.path() + u"/common-documents/Web Library/"_qs);
}

TEST_F(ConfigFileTest, SaveCreatesFoldersAndCallsEvents) {
  int loads = 0, saves = 0;
  FConfig.OnLoad = [&](TConfigFile& file) {
    ++loads;
    EXPECT_EQ(&file, &FConfig);
  };
  FConfig.OnSave = [&](TConfigFile& file) {
    ++saves;
    file.WriteString(u"General"_qs, u"FromOnSave"_qs, u"yes"_qs);
  };
  FConfig.Load();
  ASSERT_TRUE(FConfig.Save());
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(ReadOr(FConfig.FullPath()), "[General]\nFromOnSave=yes\n");
  EXPECT_EQ(QDir(FDir.path() + u"/common-appdata/Pagewick"_qs).entryList(QDir::Files | QDir::Hidden),
            QStringList{u"config.ini"_qs});
}

TEST_F(ConfigFileTest, SaveFailureIsReported) {
  ASSERT_TRUE(platform::WriteWholeFile(FDir.path() + u"/common-appdata/Pagewick"_qs, "a file"));
  QString error;
  EXPECT_FALSE(FConfig.Save(&error));
  EXPECT_FALSE(error.isEmpty());
  TConfigFile unnamed;
  EXPECT_FALSE(unnamed.Save());
}

TEST_F(ConfigFileTest, UnreadableFileLoadsEmptyAndFails) {
  ASSERT_TRUE(platform::ForceDirectories(FConfig.FullPath()));  // a folder in the file's place
  FConfig.WriteString(u"General"_qs, u"K"_qs, u"v"_qs);
  int loads = 0;
  FConfig.OnLoad = [&](TConfigFile&) { ++loads; };
  EXPECT_FALSE(FConfig.Load());
  EXPECT_EQ(loads, 1);
  EXPECT_FALSE(FConfig.Data().ValueExists(u"General"_qs, u"K"_qs));
}

TEST_F(ConfigFileTest, AutoLoadAndAutoSave) {
  {
    TConfigFile file;
    SetupApplicationConfigFile(file);
    file.SetAutoSave(true);
    WritePreviewNewProject(file, true);
  }  // saved on destruction
  TConfigFile file;
  SetupApplicationConfigFile(file);
  file.SetAutoLoad(true);
  file.Loaded();
  EXPECT_TRUE(ReadPreviewNewProject(file));
}

TEST_F(ConfigFileTest, ChangingThePathKeepsTheContent) {
  FConfig.WriteString(u"S"_qs, u"K"_qs, u"v"_qs);
  FConfig.SetFileName(u"Elsewhere/x.ini"_qs);
  EXPECT_EQ(FConfig.ReadString(u"S"_qs, u"K"_qs, QString()), u"v"_qs);
  FConfig.Load();
  EXPECT_EQ(FConfig.ReadString(u"S"_qs, u"K"_qs, u"gone"_qs), u"gone"_qs);
}

TEST_F(ConfigFileTest, BoolForms) {
  const QString g = u"General"_qs;
  FConfig.WriteBool(g, u"On"_qs, true);
  FConfig.WriteBool(g, u"Off"_qs, false);
  EXPECT_EQ(FConfig.ReadString(g, u"On"_qs, QString()), u"1"_qs);
  EXPECT_EQ(FConfig.ReadString(g, u"Off"_qs, QString()), u"0"_qs);
  const struct {
    const char16_t* stored;
    bool defaultValue;
    bool expected;
  } cases[] = {{u"1", false, true},     {u"0", true, false},   {u"2", false, true},
               {u"-1", false, true},    {u" 0 ", true, false}, {u"$10", false, true},
               {u"0x0", true, false},   {u"yes", true, true},  {u"yes", false, false},
               {u"true", false, false}, {u"", true, true},     {u"1.0", false, false},
               {u"99999999999999999999999", false, false}};
  for (const auto& c : cases) {
    FConfig.WriteString(g, u"Value"_qs, QString::fromUtf16(c.stored));
    EXPECT_EQ(FConfig.ReadBool(g, u"Value"_qs, c.defaultValue), c.expected)
        << QString::fromUtf16(c.stored).toStdString() << " default " << c.defaultValue;
  }
}

TEST_F(ConfigFileTest, BinaryNeedsExactlyTwiceTheSizeInHexDigits) {
  const QString g = u"General"_qs;
  const unsigned char bytes[] = {0x00, 0x7F, 0xAB, 0xFF};
  FConfig.WriteBinary(g, u"Bin"_qs, 4, bytes);
  EXPECT_EQ(FConfig.ReadString(g, u"Bin"_qs, QString()), u"007FABFF"_qs);
  unsigned char read[4] = {};
  ASSERT_TRUE(FConfig.ReadBinary(g, u"Bin"_qs, 4, read));
  EXPECT_EQ(std::memcmp(read, bytes, 4), 0);

  unsigned char untouched[4] = {1, 2, 3, 4};
  EXPECT_FALSE(FConfig.ReadBinary(g, u"Bin"_qs, 3, untouched));
  EXPECT_FALSE(FConfig.ReadBinary(g, u"Bin"_qs, 5, untouched));
  FConfig.WriteString(g, u"Bin"_qs, u"007fabf"_qs);
  EXPECT_FALSE(FConfig.ReadBinary(g, u"Bin"_qs, 4, untouched));
  FConfig.WriteString(g, u"Bin"_qs, u"007fabfg"_qs);
  EXPECT_FALSE(FConfig.ReadBinary(g, u"Bin"_qs, 4, untouched));
  EXPECT_EQ(untouched[0], 1);
  FConfig.WriteString(g, u"Bin"_qs, u"007fabff"_qs);  // lower case is accepted
  EXPECT_TRUE(FConfig.ReadBinary(g, u"Bin"_qs, 4, read));
  EXPECT_EQ(read[3], 0xFF);
}

TEST_F(ConfigFileTest, LineBreaksInAValueCannotCorruptTheFile) {
  FConfig.WriteString(u"General"_qs, u"SearchText"_qs, u"a\nInjected=1\r\n[Other]"_qs);
  ASSERT_TRUE(FConfig.Save());
  TConfigFile& reloaded = Reloaded();
  EXPECT_FALSE(reloaded.Data().ValueExists(u"General"_qs, u"Injected"_qs));
  EXPECT_FALSE(reloaded.Data().SectionExists(u"Other"_qs));
  EXPECT_EQ(reloaded.ReadString(u"General"_qs, u"SearchText"_qs, QString()), u"a Injected=1  [Other]"_qs);
}

TEST_F(ConfigFileTest, UnknownSectionsKeysAndCommentsAreKeptInOrder) {
  const std::string original =
      "; written by hand\n"
      "[Plugins]\n"
      "Zeta=last\n"
      "Alpha = spaced value \n"
      "\n"
      "[General]\n"
      "CustomKey=kept\n"
      "ShowWelcomeScreenAtStartup=1\n"
      "# another comment\n"
      "[Empty]\n";
  ASSERT_TRUE(platform::WriteWholeFile(FConfig.FullPath(), original));
  ASSERT_TRUE(FConfig.Load());
  EXPECT_EQ(FConfig.ReadString(u"plugins"_qs, u"ALPHA"_qs, QString()), u" spaced value "_qs);
  WriteShowWelcomeScreenAtStartup(FConfig, false);
  WritePreviewNewProject(FConfig, true);
  ASSERT_TRUE(FConfig.Save());
  EXPECT_EQ(ReadOr(FConfig.FullPath()),
            "; written by hand\n"
            "[Plugins]\n"
            "Zeta=last\n"
            "Alpha= spaced value \n"
            "\n"
            "[General]\n"
            "CustomKey=kept\n"
            "ShowWelcomeScreenAtStartup=0\n"
            "PreviewNewProject=1\n"
            "# another comment\n"
            "[Empty]\n");
}

TEST_F(ConfigFileTest, ReadsCrLfBomAndLegacyAnsiFiles) {
  TScopedEnvironment ansi("PAGEWICK_ANSI_CODEPAGE", std::string("1251"));
  ASSERT_TRUE(platform::WriteWholeFile(FConfig.FullPath(), "\xEF\xBB\xBF[General]\r\nSearchText=caf\xC3\xA9\r\n"));
  ASSERT_TRUE(FConfig.Load());
  EXPECT_EQ(FConfig.ReadString(u"General"_qs, u"SearchText"_qs, QString()), u"café"_qs);
  // Not valid UTF-8: read in the ANSI code page.
  ASSERT_TRUE(platform::WriteWholeFile(FConfig.FullPath(), "[General]\nSearchText=\xCF\xF0\xE8\n"));
  ASSERT_TRUE(FConfig.Load());
  EXPECT_EQ(FConfig.ReadString(u"General"_qs, u"SearchText"_qs, QString()), u"При"_qs);
}

TEST(ConfigDataFileTest, ParsesOddLines) {
  TConfigDataFile data;
  data.SetText(u"orphan=before any section\n[ Spaced ]\n=no key\nnoequals\nk==v=\n[]\nx=1"_qs);
  EXPECT_EQ(data.ReadString(QString(), u"orphan"_qs, QString()), u"before any section"_qs);
  EXPECT_EQ(data.Sections(), (QStringList{u"Spaced"_qs}));
  EXPECT_EQ(data.Keys(u"spaced"_qs), (QStringList{u"k"_qs, u"x"_qs}));
  EXPECT_EQ(data.ReadString(u"Spaced"_qs, u"k"_qs, QString()), u"=v="_qs);
  // "[]" is no header: its lines stay in the section before it.
  EXPECT_EQ(data.ReadString(u"Spaced"_qs, u"x"_qs, QString()), u"1"_qs);
  EXPECT_EQ(data.Text(),
            u"orphan=before any section\n[Spaced]\n=no key\nnoequals\nk==v=\n[]\nx=1\n"_qs);
}

TEST(ConfigDataFileTest, WriteDeleteAndErase) {
  TConfigDataFile data;
  data.WriteString(u"A"_qs, u"one"_qs, u"1"_qs);
  data.WriteString(u"B"_qs, u"two"_qs, u"2"_qs);
  data.WriteString(u"a"_qs, u"ONE"_qs, u"uno"_qs);
  EXPECT_EQ(data.Text(), u"[A]\none=uno\n[B]\ntwo=2\n"_qs);
  // Names that could not be read back are refused.
  data.WriteString(u"A"_qs, u"bad=key"_qs, u"x"_qs);
  data.WriteString(u"Bad]"_qs, u"k"_qs, u"x"_qs);
  data.WriteString(u"A"_qs, u""_qs, u"x"_qs);
  data.WriteString(QString(), u"k"_qs, u"x"_qs);
  EXPECT_EQ(data.Text(), u"[A]\none=uno\n[B]\ntwo=2\n"_qs);
  data.DeleteKey(u"A"_qs, u"One"_qs);
  EXPECT_FALSE(data.ValueExists(u"A"_qs, u"one"_qs));
  EXPECT_TRUE(data.SectionExists(u"A"_qs));
  data.EraseSection(u"b"_qs);
  EXPECT_EQ(data.Text(), u"[A]\n"_qs);
}

TEST(ConfigStringFormTest, EscapeAndUnescape) {
  EXPECT_EQ(EscapeConfigString(u"a\\b\nc\rd"_qs), u"a\\\\b\\nc\\rd"_qs);
  EXPECT_EQ(UnescapeConfigString(u"a\\\\b\\nc\\rd"_qs), u"a\\b\nc\rd"_qs);
  // A backslash before any other character, or at the end, stays with it.
  EXPECT_EQ(UnescapeConfigString(u"C:\\temp\\x\\"_qs), u"C:\\temp\\x\\"_qs);
  for (const QString& text : {u""_qs, u"\\n"_qs, u"\\\\\\"_qs, u"\n\n\\r\r"_qs, u"ordinary"_qs}) {
    EXPECT_EQ(UnescapeConfigString(EscapeConfigString(text)), text) << text.toStdString();
  }
}

// Random names and values built from the characters the INI form treats specially.
TEST(ConfigDataFileTest, RandomEntriesReadBackAfterASaveAndLoad) {
  const QString alphabet = u"ab =[];#\\\"'\tЖ€😀"_qs;
  std::mt19937 random(12345);
  const auto randomText = [&](int maxLength) {
    QString text;
    const int length = std::uniform_int_distribution<int>(0, maxLength)(random);
    for (int i = 0; i < length; ++i) {
      text += alphabet[std::uniform_int_distribution<qsizetype>(0, alphabet.size() - 1)(random)];
    }
    return text;
  };
  for (int round = 0; round < 200; ++round) {
    TConfigDataFile written;
    std::vector<std::tuple<QString, QString, QString>> entries;
    for (int i = 0; i < 8; ++i) {
      const QString section = randomText(4), key = randomText(4), value = randomText(12);
      written.WriteString(section, key, value);
      if (written.ValueExists(section, key)) entries.emplace_back(section, key, value);
    }
    TConfigDataFile read;
    read.SetText(written.Text());
    EXPECT_EQ(read.Text(), written.Text());
    for (const auto& [section, key, value] : entries) {
      EXPECT_EQ(read.ReadString(section, key, u"<missing>"_qs), written.ReadString(section, key, QString()))
          << "section " << section.toStdString() << " key " << key.toStdString();
    }
  }
}

}  // namespace
}  // namespace pw::tests
