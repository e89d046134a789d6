// The runtime's global members as scripts call them: string and file-name helpers, byte and
// text conversions, dates in two zones, the command line, object creation, the shims for
// scripts written for Windows script hosts, and bad input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "RuntimeFixture.h"
#include "support/QStringPrinter.h"

namespace pw::tests {
namespace {

using TScriptRuntimeTest = RuntimeFixture;

TEST_F(TScriptRuntimeTest, HelpersGiveTheirDocumentedResults) {
  runtime.SetParams({QStringLiteral("a"), QStringLiteral("b")});
  const TCase cases[] = {
      // TranslateChars: replaced, dropped, kept.
      {"TranslateChars('abc', 'ab', 'x')", "xc"},
      {"TranslateChars('aab', 'a', '')", "b"},
      {"ExtractFilePath('C:\\\\dir\\\\f.txt')", "C:\\dir\\"},
      {"ExtractFilePath('f.txt')", ""},
      {"ExtractFileName('/srv/a.b/c')", "c"},
      {"ExtractFileName('C:f.txt')", "f.txt"},
      {"ExtractFileExt('a.b/c')", ""},
      {"ExtractFileExt('x/y.tar.GZ')", ".GZ"},
      {"ExtractFileNameOnly('x\\\\y.tar.gz')", "y.tar"},
      {"ChangeFileExt('a/b.txt', '.md')", "a/b.md"},
      {"ChangeFileExt('a.d/b', '.md')", "a.d/b.md"},
      {"IncludeTrailingChar('a', '/') + IncludeTrailingChar('a/', '/') + IncludeTrailingChar('a', '')", "a/a/a"},
      {"ExcludeTrailingChar('a//', '/') + ExcludeTrailingChar('a', '/') + ExcludeTrailingChar('aB', 'b')", "a/aaB"},
      {"'[' + Trim('\\t x y \\r\\n') + ']'", "[x y]"},
      {"Replace('aXbX', 'X', '--')", "a--b--"},
      {"Replace('ab', '', '-')", "ab"},
      {"Replace('aXbx', 'x', '-')", "aXb-"},
      {"BinToHex(HexToBin('0aFf'))", "0AFF"},
      // An odd last digit is ignored; decoding stops at the first pair that is no hex.
      {"GetLength(HexToBin('abc')) + ':' + BinToHex(HexToBin('abc'))", "1:AB"},
      {"BinToHex(HexToBin('12zz34'))", "12"},
      {"BinToHex(5) + BinToHex('text')", ""},
      {"BinToHex([1, 255])", "01FF"},
      {"BinToStr(StrToBin('\u0436x', 1251), 1251)", "\u0436x"},
      {"BinToHex(StrToBin('\u0436', 1251)) + BinToHex(StrToBin('\u0436', 65001))", "E6D0B6"},
      {"GetLength(StrToBin('', 1251))", "0"},
      {"GetLength('abc') + GetLength([1, 2]) * 10 + GetLength(5) * 100 + GetLength(null) * 1000", "23"},
      {"GetParamArray(0).join()", "a,b"},
      {"GetParamArray(1).join()", "b"},
      {"GetParamArray(2) === null", "true"},
      {"GetParamArray(-1).length", "2"},
      {"CreateObject('no such object') === null", "true"},
      {"CreateObject('STRINGLIST').Add('x')", "1"},
      {"GetLength(CreateGUID())", "16"},
      {"BinToHex(CreateGUID()) != BinToHex(CreateGUID())", "true"},
      {"FileExists('/no/such/file')", "false"},
      {"new ActiveXObject('Strings').Add('one')", "1"},
      {"new VBArray(GetParamArray(0)).toArray().concat(['c']).join()", "a,b,c"},
      {"VBArray(HexToBin('0102')).toArray().length", "2"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(TScriptRuntimeTest, EnumeratorWalksCollectionsThroughCountOrLength) {
  Run(QStringLiteral(
      "function walk(c) { var out = []; for (var e = new Enumerator(c); !e.atEnd(); e.moveNext()) out.push(e.item()); return out.join(); }"
      "var list = CreateObject('StringList'); list.Add('x'); list.Add('y');"));
  EXPECT_EQ(Text(QStringLiteral("walk(list)")), QStringLiteral("x,y"));
  EXPECT_EQ(Text(QStringLiteral("walk([1, 2, 3])")), QStringLiteral("1,2,3"));
  EXPECT_EQ(Text(QStringLiteral("walk({ Count: function () { return 2; }, 0: 'p', 1: 'q' })")), QStringLiteral("p,q"));
  EXPECT_EQ(Text(QStringLiteral("walk(null)")), QString());
}

TEST_F(TScriptRuntimeTest, BadInputIsAScriptErrorNeverACrash) {
  const TCase cases[] = {
      {"BinToStr(StrToBin('a', 65001), 12345)", "Code page 12345 has no converter on this machine"},
      {"StrToBin('a', -7)", "Code page -7 has no converter on this machine"},
      {"TranslateChars('a')", "Wrong number of arguments for 'TranslateChars'"},
      {"Trim('a', 'b')", "Wrong number of arguments for 'Trim'"},
      {"Pause('soon')", "Type mismatch in 'Pause'"},
      {"new ActiveXObject('Nothing.Here')", "Automation server can't create object 'Nothing.Here'"},
      {"CreateThread(null, 5, null)", "CreateThread: the body must be a function"},
      {"CreateThread('x', function () {}, null)", "CreateThread: the on-create argument must be a function"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(ErrorOf(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

// Sets TZ for the test's lifetime.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) FOld = old, FHadOld = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedZone() {
    if (FHadOld) setenv("TZ", FOld.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  std::string FOld;
  bool FHadOld = false;
};

TEST_F(TScriptRuntimeTest, DatesFollowTheMachinesZone) {
  const char* const utcCases[][2] = {
      {"EncodeDate(DecodeDate('2024-01-15T10:20:30.999', 0))", "2024-01-15T10:20:30Z"},
      {"EncodeDate(DecodeDate('2024-01-15T10:20:30+03:00', 0))", "2024-01-15T07:20:30Z"},
      {"EncodeDate(DecodeDate('2024-01-15 10:20:30-0130', 0))", "2024-01-15T11:50:30Z"},
  };
  const char* const eastCases[][2] = {
      {"EncodeDate(DecodeDate('2024-07-01 08:05', 0))", "2024-07-01T08:05:00+03:00"},
      // A UTC instant is read as local time; a bare date is local midnight.
      {"EncodeDate(DecodeDate('2024-01-15T10:20:30Z', 0))", "2024-01-15T13:20:30+03:00"},
      {"EncodeDate(DecodeDate('2024-01-15', 0))", "2024-01-15T00:00:00+03:00"},
      {"EncodeDate(DecodeDate('2024-01-15T10:20:30.5', 0))", "2024-01-15T10:20:30+03:00"},
      // Too short or not a date: the default.
      {"EncodeDate(DecodeDate('', DecodeDate('2001-02-03', 0)))", "2001-02-03T00:00:00+03:00"},
      {"EncodeDate(DecodeDate('2024-13-45T00:00:00', DecodeDate('2001-02-03', 0)))", "2001-02-03T00:00:00+03:00"},
  };
  // The offset of the date itself, not of today: winter and summer differ. (Dates are made by
  // DecodeDate: the script engine keeps the zone it started in.)
  const char* const seasonCases[][2] = {
      {"EncodeDate(DecodeDate('2024-01-15T12:00:00', 0))", "2024-01-15T12:00:00+02:00"},
      {"EncodeDate(DecodeDate('2024-07-15T12:00:00', 0))", "2024-07-15T12:00:00+03:00"},
      {"EncodeDate(DecodeDate('2024-07-15T12:00:00Z', 0))", "2024-07-15T15:00:00+03:00"},
  };
  struct TZoneCases {
    const char* Zone;
    const char* const (*Cases)[2];
    std::size_t Count;
  } zones[] = {{"UTC0", utcCases, std::size(utcCases)},
               {"<+03>-3", eastCases, std::size(eastCases)},
               {"EET-2EEST,M3.5.0/3,M10.5.0/4", seasonCases, std::size(seasonCases)}};
  for (const TZoneCases& zone : zones) {
    ScopedZone scoped(zone.Zone);
    for (std::size_t i = 0; i < zone.Count; ++i) {
      EXPECT_EQ(Text(QString::fromUtf8(zone.Cases[i][0])), QString::fromUtf8(zone.Cases[i][1]))
          << zone.Zone << ": " << zone.Cases[i][0];
    }
  }
}

TEST_F(TScriptRuntimeTest, ParamArrayOfNoArgumentsIsNull) {
  EXPECT_EQ(Text(QStringLiteral("GetParamArray(0) === null")), QStringLiteral("true"));
}

// A user interface that answers every dialog with preset choices.
class TPresetInterface final : public IScriptUserInterface {
 public:
  void Alert(const QString& text) override { Alerts << text; }
  QString BrowseForFolder(const QString&) override { return QStringLiteral("/chosen"); }
  bool OpenFileName(const QString&, QString& name, int& index) override {
    name = Name;
    index = Index;
    return true;
  }
  bool SaveFileName(const QString& filter, QString& name, int& index) override {
    return OpenFileName(filter, name, index);
  }
  QStringList Alerts;
  QString Name;
  int Index = 1;
};

TEST_F(TScriptRuntimeTest, DialogsAndAlertWithAndWithoutAWindow) {
  // Headless: Alert prints a line, the dialogs answer nothing.
  testing::internal::CaptureStdout();
  Run(QStringLiteral("Alert('hello'); Alert(42);"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello\n42\n");
  EXPECT_EQ(Text(QStringLiteral("'[' + BrowseForFolder('t') + GetOpenFileName('a|*.a') + GetSaveFileName('a|*.a') + ']'")),
            QStringLiteral("[]"));

  TPresetInterface ui;
  runtime.SetUserInterface(&ui);
  Run(QStringLiteral("Alert('shown')"));
  EXPECT_EQ(ui.Alerts, QStringList{QStringLiteral("shown")});
  EXPECT_EQ(Text(QStringLiteral("BrowseForFolder('t')")), QStringLiteral("/chosen"));
  const struct {
    const char* Chosen;
    int Index;
    const char* Filter;
    const char* Saved;
  } saves[] = {
      {"report", 1, "Text|*.txt|All|*.*", "report.txt"},
      {"NOTES.TXT", 1, "Text|*.txt", "NOTES.TXT"},
      {"page.htm", 2, "Text|*.txt|Pages|*.html;*.htm", "page.htm.html"},
      {"any", 2, "Text|*.txt|All|*.*", "any"},
      {"beyond", 5, "Text|*.txt", "beyond"},
  };
  for (const auto& save : saves) {
    ui.Name = QString::fromUtf8(save.Chosen);
    ui.Index = save.Index;
    EXPECT_EQ(Text(QStringLiteral("GetSaveFileName('%1')").arg(QString::fromUtf8(save.Filter))),
              QString::fromUtf8(save.Saved))
        << save.Chosen;
    EXPECT_EQ(Text(QStringLiteral("GetOpenFileName('%1')").arg(QString::fromUtf8(save.Filter))),
              QString::fromUtf8(save.Chosen));
  }
  runtime.SetUserInterface(nullptr);
}

}  // namespace
}  // namespace pw::tests
