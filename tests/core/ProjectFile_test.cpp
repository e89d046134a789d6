#include "core/ProjectFile.h"
#include "platform/CredentialCipher.h"
#include "platform/FileIO.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

namespace pw::tests {
namespace {

class ProjectFileTest : public ::testing::Test {
 protected:
  TScopedEnvironment FAnsi{"PAGEWICK_ANSI_CODEPAGE", std::string("1252")};

  static TProjectFileData Sample() {
    TProjectFileData d;
    d.Content = "$title Site\r\n\r\n[index.html]\r\n= Caf\xC3\xA9 <&> ]]> \"q\" 'a'\n\ttabbed  \n";
    d.State.FTPServer = "ftp.example.org";
    d.State.FTPUserName = "user";
    d.State.FTPPassword = QString::fromUtf8("p\xC3\xA4ss word");
    d.State.FTPPort = "2121";
    d.State.FTPRemoteRoot = "/public_html/";
    d.State.FTPPassiveMode = false;
    d.State.UploadChangesOnly = true;
    d.State.UploadFiles = {"index.html=0123", "", "style.css=abcd"};
    return d;
  }
};

std::string SettingsDoc(const std::string& settings) {
  return "<?xml version=\"1.0\"?><project><content>x</content>" + settings + "</project>";
}

TEST_F(ProjectFileTest, CurrentFormRoundTripsEveryField) {
  for (bool passive : {false, true}) {
    for (bool changesOnly : {false, true}) {
      TProjectFileData d = Sample();
      d.State.FTPPassiveMode = passive;
      d.State.UploadChangesOnly = changesOnly;
      const TProjectFileData back = ParseProjectFile(SerializeProjectFile(d));
      EXPECT_FALSE(back.PlainText);
      EXPECT_EQ(back.Content, d.Content);
      EXPECT_EQ(back.State, d.State) << passive << changesOnly;
    }
  }
}

TEST_F(ProjectFileTest, EmptyAnd255CharacterCredentialsRoundTrip) {
  for (int length : {0, 1, 255}) {
    TProjectFileData d;
    d.State.FTPUserName = QString(length, u'u');
    d.State.FTPPassword = QString(length, QChar(0xE9));
    const std::string bytes = SerializeProjectFile(d);
    const TProjectFileData back = ParseProjectFile(bytes);
    EXPECT_EQ(back.State.FTPUserName, d.State.FTPUserName);
    EXPECT_EQ(back.State.FTPPassword, d.State.FTPPassword);
    // The stored form is the hex of the cipher text, never the plain text.
    EXPECT_NE(bytes.find("FTPUserName=\"" + EncipherCredential(d.State.FTPUserName).toStdString() + "\""),
              std::string::npos);
    if (length > 0) {
      EXPECT_EQ(bytes.find(std::string(length, 'u')), std::string::npos);
    }
  }
}

TEST_F(ProjectFileTest, WrittenFileReadsBackAndRewritesByteExact) {
  QTemporaryDir dir;
  const QString path = dir.filePath("site.pwproj");
  ASSERT_TRUE(SaveProjectFile(path, Sample()));
  TProjectFileData loaded;
  ASSERT_TRUE(LoadProjectFile(path, loaded));
  const QString again = dir.filePath("again.pwproj");
  ASSERT_TRUE(SaveProjectFile(again, loaded));
  std::string a, b;
  ASSERT_TRUE(platform::ReadWholeFile(path, a));
  ASSERT_TRUE(platform::ReadWholeFile(again, b));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
}

TEST_F(ProjectFileTest, ContentAndScriptAreDirectChildrenOfAnyRoot) {
  EXPECT_EQ(ParseProjectFile("<anything><content>abc</content></anything>").Content, "abc");
  EXPECT_EQ(ParseProjectFile("<r><x><content>abc</content></x></r>").Content, "");
  const TProjectFileData none = ParseProjectFile("<r/>");
  EXPECT_FALSE(none.PlainText);
  EXPECT_EQ(none.Content, "");
  EXPECT_EQ(none.State, TProjectState());
  EXPECT_EQ(ParseProjectFile("<r><content>a&#13;\nb<![CDATA[<c>]]>&amp;</content></r>").Content, "a\r\nb<c>&");
  EXPECT_EQ(ParseProjectFile("<r><content/><script>function build() {}</script></r>").Script, "function build() {}");
  EXPECT_EQ(SerializeProjectFile(TProjectFileData()).find("<script"), std::string::npos);
}

TEST_F(ProjectFileTest, FlagsAreTrueOnlyForOneAndMissingOnesKeepTheirDefaults) {
  const struct {
    std::string Settings;
    bool Passive, ChangesOnly;
  } cases[] = {
      {"<Settings FTPPassiveMode=\"true\" UploadChangesOnly=\"0\"/>", false, false},
      {"<Settings FTPServer=\"s\"/>", true, true},
      {"<Settings FTPPassiveMode=\"1\" UploadChangesOnly=\"1\" FTPPassword=\"\"/>", true, true},
      {"<config><server>s</server></config>", true, true},
      {"<config><passivemode>0</passivemode><onlychanges>true</onlychanges></config>", false, false},
  };
  for (const auto& c : cases) {
    const TProjectFileData d = ParseProjectFile(SettingsDoc(c.Settings));
    EXPECT_EQ(d.State.FTPPassiveMode, c.Passive) << c.Settings;
    EXPECT_EQ(d.State.UploadChangesOnly, c.ChangesOnly) << c.Settings;
  }
}

TEST_F(ProjectFileTest, OlderConfigFormIsRead) {
  const std::string user = EncipherCredential("olduser").toStdString();
  const std::string pass = EncipherCredential("oldpass").toStdString();
  const TProjectFileData d = ParseProjectFile(SettingsDoc(
      "<config><server>old.example</server><username>" + user + "</username><password>" + pass +
      "</password><port>21</port><directory>/www</directory><passivemode>0</passivemode>"
      "<onlychanges>true</onlychanges><filelist>a\r\nb\r\n</filelist></config>"));
  EXPECT_EQ(d.State.FTPServer, "old.example");
  EXPECT_EQ(d.State.FTPUserName, "olduser");
  EXPECT_EQ(d.State.FTPPassword, "oldpass");
  EXPECT_EQ(d.State.FTPPort, "21");
  EXPECT_EQ(d.State.FTPRemoteRoot, "/www");
  EXPECT_FALSE(d.State.FTPPassiveMode);
  EXPECT_FALSE(d.State.UploadChangesOnly);
  EXPECT_EQ(d.State.UploadFiles, QStringList({"a", "b"}));
}

TEST_F(ProjectFileTest, SettingsWinOverConfig) {
  const TProjectFileData d = ParseProjectFile(SettingsDoc(
      "<config><server>old</server><port>99</port><passivemode>0</passivemode></config>"
      "<Settings FTPServer=\"new\"/>"));
  EXPECT_EQ(d.State.FTPServer, "new");
  EXPECT_EQ(d.State.FTPPort, "");
  EXPECT_TRUE(d.State.FTPPassiveMode);
}

TEST_F(ProjectFileTest, AnyEncodingTheParserKnowsLoads) {
  // "Привет" in windows-1251.
  const std::string cp1251 =
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?><project><content>\xCF\xF0\xE8\xE2\xE5\xF2</content>"
      "<Settings FTPServer=\"\xF1\xE5\xF0\xE2\xE5\xF0\"/></project>";
  TProjectFileData d = ParseProjectFile(cp1251);
  EXPECT_FALSE(d.PlainText);
  EXPECT_EQ(d.Content, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  EXPECT_EQ(d.State.FTPServer, QString::fromUtf8("\xD1\x81\xD0\xB5\xD1\x80\xD0\xB2\xD0\xB5\xD1\x80"));

  const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><p><content>\u00e9t\u00e9</content></p>");
  std::string utf16("\xFF\xFE", 2);
  utf16.append(reinterpret_cast<const char*>(xml.utf16()), static_cast<size_t>(xml.size()) * 2);
  d = ParseProjectFile(utf16);
  EXPECT_FALSE(d.PlainText);
  EXPECT_EQ(d.Content, "\xC3\xA9t\xC3\xA9");
}

TEST_F(ProjectFileTest, TextThatIsNotXmlBecomesTheContent) {
  TProjectFileData d = ParseProjectFile("[index.html]\r\n= Hello\r\n");
  EXPECT_TRUE(d.PlainText);
  EXPECT_EQ(d.Content, "[index.html]\r\n= Hello\r\n");
  EXPECT_EQ(d.State, TProjectState());

  // Not UTF-8: read in the ANSI code page.
  EXPECT_EQ(ParseProjectFile("caf\xE9").Content, "caf\xC3\xA9");
  // A UTF-8 byte-order mark is dropped.
  EXPECT_EQ(ParseProjectFile("\xEF\xBB\xBFhi <").Content, "hi <");
  // UTF-16 with a byte-order mark.
  EXPECT_EQ(ParseProjectFile(std::string("\xFF\xFEh\0i\0", 6)).Content, "hi");
  EXPECT_EQ(ParseProjectFile(std::string("\xFE\xFF\0h\0i", 6)).Content, "hi");
}

TEST_F(ProjectFileTest, CutOrDamagedXmlIsAnErrorWithTheParsersLine) {
  const std::string full = SerializeProjectFile(Sample());
  const struct {
    std::string Bytes;
    const char* Reason;  // empty: loads as plain text
  } cases[] = {
      {full.substr(0, 1), ""},
      {full.substr(0, 10), "line 1:"},
      {full.substr(0, full.size() / 2), "line "},
      {full.substr(0, full.size() - 2), "line "},
      {"\xEF\xBB\xBF \n<project><content>a</content>", "line 2:"},
      {"<project", "line 1:"},
      {"<?xml version=\"1.0\"?><p><content>a&bogus;</content></p>", "bogus"},
      {std::string("\xFF\xFE<\0p\0r\0o\0j\0e\0c\0t\0", 18), "line 1:"},
      {"<projectless text, not XML", ""},
      {"<project\n  <content>", "line 2:"},
      {"<html><body>not a project</body>", ""},
      {"[index.html]\n<?xml?>", ""},
  };
  for (const auto& c : cases) {
    TProjectFileData d;
    d.Content = "stale";
    QString error;
    const bool parsed = ParseProjectFile(c.Bytes, d, &error);
    if (*c.Reason == '\0') {
      EXPECT_TRUE(parsed && d.PlainText) << c.Bytes;
    } else {
      EXPECT_FALSE(parsed) << c.Bytes;
      EXPECT_TRUE(d.Content.empty()) << c.Bytes;
      EXPECT_TRUE(error.contains(c.Reason)) << c.Bytes << " -> " << error.toStdString();
    }
  }
}

TEST_F(ProjectFileTest, MalformedInputNeverCrashes) {
  EXPECT_EQ(ParseProjectFile("").Content, "");
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
  EXPECT_TRUE(ParseProjectFile(garbage).PlainText);
  EXPECT_TRUE(ParseProjectFile(std::string("\0\0\0<r/>", 7)).PlainText);
}

TEST_F(ProjectFileTest, DeepNestingAndMutatedFilesNeverCrash) {
  std::string deep = "<r><content>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_TRUE(ParseProjectFile(deep).PlainText);
  // Well-formed and deep: the text collection used to recurse once per level.
  for (int levels : {250, 300000}) {
    std::string nested = "<project><content>";
    for (int i = 0; i < levels; ++i) nested += "<a>";
    nested += "x";
    for (int i = 0; i < levels; ++i) nested += "</a>";
    nested += "</content></project>";
    TProjectFileData d;
    QString error;
    EXPECT_EQ(ParseProjectFile(nested, d, &error), levels < 254) << levels;
    EXPECT_EQ(d.Content, levels < 254 ? "x" : "") << levels;
    if (levels > 254) {
      EXPECT_TRUE(error.contains("nested deeper than 256")) << error.toStdString();
    }
  }

  const std::string valid = SerializeProjectFile(Sample());
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = valid;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0: bytes[at] = static_cast<char>(random()); break;
        case 1: bytes.erase(at, 1 + random() % 16); break;
        default: bytes.insert(at, 1, "<>&;\"\0\x80"[random() % 7]); break;
      }
      if (bytes.empty()) bytes = "x";
    }
    TProjectFileData d;
    if (!ParseProjectFile(bytes, d)) continue;
    // What did load must save and load back as XML.
    EXPECT_FALSE(ParseProjectFile(SerializeProjectFile(d)).PlainText);
  }
}

TEST_F(ProjectFileTest, DeclaredEntitiesAreRefusedWhereverTheyAreUsed) {
  std::string dtd = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
  char prev = 'a';
  for (char c = 'b'; c <= 'k'; ++c) {
    dtd += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) dtd += std::string("&") + prev + ";";
    dtd += "\">";
    prev = c;
  }
  dtd += "]>";
  // In an attribute the entities used to expand to 10^10 bytes.
  for (const char* body : {"<r><content>x&k;y</content></r>", "<r><content/><Settings FTPServer=\"&k;\"/></r>"}) {
    TProjectFileData d;
    QString error;
    EXPECT_FALSE(ParseProjectFile(dtd + body, d, &error)) << body;
    EXPECT_TRUE(error.contains("declares the entity \"a\"")) << error.toStdString();
    EXPECT_EQ(d.State.FTPServer, "");
  }
  // The predefined entities and character references still read.
  EXPECT_EQ(ParseProjectFile(SettingsDoc("<Settings FTPServer=\"&lt;&#65;&amp;\"/>")).State.FTPServer, "<A&");
}

TEST_F(ProjectFileTest, HugeTextLoadsAsPlainTextAndHugeContentAsXml) {
  std::string huge;
  huge.reserve(24u << 20);
  while (huge.size() < (24u << 20)) huge += "[page.html] a line of plain text\n";
  EXPECT_EQ(ParseProjectFile(huge).Content.size(), huge.size());

  TProjectFileData big;
  big.Content = huge;
  const TProjectFileData back = ParseProjectFile(SerializeProjectFile(big));
  EXPECT_FALSE(back.PlainText);
  EXPECT_EQ(back.Content.size(), huge.size());
}

TEST_F(ProjectFileTest, CharactersXmlCannotCarryAreLeftOutSoTheFileStillLoads) {
  TProjectFileData d;
  d.Content = std::string("a\x01" "b\x0C" "c\td\xEF\xBF\xBF" "e\xFF", 12);
  d.State.FTPServer = QString("s") + QChar(0x02);
  const TProjectFileData back = ParseProjectFile(SerializeProjectFile(d));
  EXPECT_FALSE(back.PlainText);
  EXPECT_EQ(back.Content, "abc\tde\xEF\xBF\xBD");
  EXPECT_EQ(back.State.FTPServer, "s");
}

TEST_F(ProjectFileTest, UploadListKeepsEmptyEntriesButAddsNone) {
  TProjectFileData d;
  for (const QStringList& list : {QStringList(), QStringList({""}), QStringList({"a", "", "b"})}) {
    d.State.UploadFiles = list;
    EXPECT_EQ(ParseProjectFile(SerializeProjectFile(d)).State.UploadFiles, list);
  }
  EXPECT_EQ(ParseProjectFile(SettingsDoc("<Settings><UploadFiles>a\nb</UploadFiles></Settings>")).State.UploadFiles,
            QStringList({"a", "b"}));
}

TEST_F(ProjectFileTest, MissingFileAndUnwritableFolderFailWithAMessage) {
  QTemporaryDir dir;
  TProjectFileData d;
  QString error;
  EXPECT_FALSE(LoadProjectFile(dir.filePath("missing/site.pwproj"), d, &error));
  EXPECT_FALSE(error.isEmpty());

  const QString blocker = dir.filePath("file");
  ASSERT_TRUE(platform::WriteWholeFile(blocker, "x"));
  error.clear();
  EXPECT_FALSE(SaveProjectFile(blocker + "/site.pwproj", Sample(), &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST_F(ProjectFileTest, FailedSaveLeavesTheOldFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("site.pwproj");
  ASSERT_TRUE(SaveProjectFile(path, Sample()));
  std::string before;
  ASSERT_TRUE(platform::ReadWholeFile(path, before));

  // A file-size limit makes the write fail even for root, whom folder permissions don't stop.
  rlimit savedLimit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &savedLimit), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = savedLimit;
  tiny.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  TProjectFileData other;
  other.Content = "changed, and longer than the limit allows";
  const bool saved = SaveProjectFile(path, other);
  setrlimit(RLIMIT_FSIZE, &savedLimit);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  std::string after;
  ASSERT_TRUE(platform::ReadWholeFile(path, after));
  EXPECT_EQ(after, before);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"site.pwproj"})
      << "no temporary file is left behind";
}

}  // namespace
}  // namespace pw::tests
