// The internet objects through real scripts against local peers (tests/runtime/inet_server.py):
// charset detection of response bodies, redirects and their bound, error statuses, files,
// proxies, hostile answers (too large, stalled, unreachable), the rank lookup's query and
// answer parsing, and WHOIS exchanges.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "RuntimeFixture.h"
#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"
#include "scripting/objects/GooglePRObject.h"
#include "scripting/objects/WhoIsObject.h"

namespace pw::tests {
namespace {

// The Python peers, started once for the suite.
struct TInetServers {
  QProcess Process;
  int HttpPort = 0;
  int WhoIsPort = 0;

  bool Start() {
    Process.start(QStringLiteral("python3"),
                  {QStringLiteral(PW_SOURCE_DIR "/tests/runtime/inet_server.py")});
    if (!Process.waitForStarted(10000)) return false;
    QElapsedTimer waited;
    waited.start();
    while (!Process.canReadLine() && waited.elapsed() < 10000) Process.waitForReadyRead(100);
    const QStringList ports = QString::fromLatin1(Process.readLine()).trimmed().split(QLatin1Char(' '));
    if (ports.size() != 2) return false;
    HttpPort = ports[0].toInt();
    WhoIsPort = ports[1].toInt();
    return HttpPort > 0 && WhoIsPort > 0;
  }
  ~TInetServers() {
    Process.kill();
    Process.waitForFinished(5000);
  }
};

class InternetObjectsTest : public RuntimeFixture {
 protected:
  static void SetUpTestSuite() {
    servers = new TInetServers;
    if (!servers->Start()) {
      delete servers;
      servers = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete servers;
    servers = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(servers, nullptr) << "the local peers did not start (python3 missing?)";
    Run(QStringLiteral("var base = 'http://127.0.0.1:%1'; var h = CreateObject('Inet.HTTP');")
            .arg(servers->HttpPort));
  }

  static TInetServers* servers;
  // Bodies without a charset decode in this code page; a proxy in the environment must not
  // capture the loopback requests.
  TScopedEnvironment ansi{"PAGEWICK_ANSI_CODEPAGE", "1252"};
  TScopedEnvironment noProxy{"no_proxy", "*"};
};

TInetServers* InternetObjectsTest::servers = nullptr;

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST_F(InternetObjectsTest, ResponseTextIsDecodedByTheCharsetItDeclares) {
  for (const TCase& c : {
           TCase{"h.GetString(base + '/cp1251')", "Привет, мир"},    // the content type's charset
           TCase{"h.GetString(base + '/upper')", "Grüße"},           // UTF-8 in upper case
           TCase{"h.GetString(base + '/meta')", "<html><head><meta http-equiv=\"Content-Type\" "
                                                "content=\"text/html; charset=utf-8\"></head><body>Grüße</body></html>"},
           TCase{"/Grüße/.test(h.GetString(base + '/meta5'))", "true"},  // <meta charset="utf-8">
           TCase{"/<a>Мир<\\/a>/.test(h.GetString(base + '/xmldecl'))", "true"},
           TCase{"h.GetString(base + '/plain')", "Grüße"},  // none: the ANSI code page
           TCase{"h.Response", "Grüße"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

TEST_F(InternetObjectsTest, RedirectsAreFollowedAndALoopIsBounded) {
  for (const TCase& c : {
           TCase{"h.GetString(base + '/redirect/301') + ' ' + h.ResultCode", "final from=301&method=GET 200"},
           TCase{"h.GetString(base + '/redirect/302')", "final from=302&method=GET"},
           TCase{"h.GetString(base + '/redirect/303')", "final from=303&method=GET"},
           TCase{"h.GetString(base + '/redirect/307')", "final from=307&method=GET"},
           TCase{"h.GetString(base + '/relative/start')", "relative ok"},
           // A loop ends as a failed request instead of hanging the script.
           TCase{"'[' + h.GetString(base + '/loop') + ']' + (h.GetData(base + '/loop') === null)", "[]true"},
           // An error status is a completed exchange with its body.
           TCase{"h.GetString(base + '/missing') + ' ' + h.ResultCode", "not here 404"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

TEST_F(InternetObjectsTest, BytesFilesAndPostsCarryTheBodyUnchanged) {
  QTemporaryDir dir;
  Run(QStringLiteral("var dir = '%1';").arg(dir.path()));
  Run(QStringLiteral(
      "var got = h.GetFile(base + '/file', dir + '/a/b/c.bin');"
      "var failed = h.GetFile('http://127.0.0.1:1/x', dir + '\\\\d\\\\e.bin');"
      "h.MimeType = 'application/json';"));
  EXPECT_EQ(Text(QStringLiteral("got + ' ' + failed")), QStringLiteral("true false"));
  EXPECT_EQ(ReadBytes(dir.filePath("a/b/c.bin")), QByteArray("file body \xff\x00 end", 16));
  // The failed download leaves an empty file where the script asked for it.
  EXPECT_TRUE(QFileInfo::exists(dir.filePath("d/e.bin")));
  EXPECT_EQ(QFileInfo(dir.filePath("d/e.bin")).size(), 0);
  for (const TCase& c : {
           TCase{"h.GetData(base + '/file').length", "16"},
           TCase{"h.PostString(base + '/echo', 'Grüße €')", "POST|application/json|Grüße €"},
           TCase{"h.Response", "POST|application/json|Grüße €"},
           TCase{"BinToStr(h.PostData(base + '/echo', StrToBin('ab', 65001)), 65001)", "POST|application/json|ab"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

TEST_F(InternetObjectsTest, XmlAndFeedsTravelOverHttp) {
  Run(QStringLiteral(
      "var x = CreateObject('XML').CreateMethodCall('ping'); x.AddParamValue('Grüße');"
      "var posted = x.Post(base + '/echo-xml');"
      "var f = CreateObject('Feed'); var feedLoaded = f.Load(base + '/feed');"
      "var y = CreateObject('XML'); var missing = y.Get(base + '/missing');"));
  for (const TCase& c : {
           TCase{"posted + ' ' + x.HTTP.MimeType + ' ' + x.Node.nodeName + ' ' + x.Values('params/param/value')",
                 "true text/xml methodCall Grüße"},
           TCase{"feedLoaded + ' ' + f.Title + ' ' + f(0).Title + ' ' + f.Url.replace(base, '')", "true Лента Первая /feed"},
           TCase{"missing + ' ' + y.HTTP.ResultCode + ' [' + y.XML + ']'", "false 404 []"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

TEST_F(InternetObjectsTest, DefaultsAndTheProxy) {
  {
    TScopedEnvironment proxy{"http_proxy", "http://who:pw@proxy.example:3128/"};
    Run(QStringLiteral("var fromEnvironment = CreateObject('Inet.HTTP').Proxy;"));
  }
  for (const TCase& c : {
           TCase{"h.UserAgent", "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)"},
           TCase{"h.Timeout + ' ' + h.MimeType + ' ' + h.ResultCode", "90000 text/html 0"},
           TCase{"fromEnvironment", "proxy.example:3128"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  // Through the local server as a proxy: it sees the absolute address and answers for it.
  Run(QStringLiteral("h.Proxy = 'user:secret@127.0.0.1:%1';").arg(servers->HttpPort));
  EXPECT_EQ(Text(QStringLiteral("h.Proxy")), QStringLiteral("user:secret@127.0.0.1:%1").arg(servers->HttpPort));
  EXPECT_EQ(Text(QStringLiteral("h.GetString('http://nowhere.invalid/final?via=proxy')")),
            QStringLiteral("final via=proxy"));
  Run(QStringLiteral("h.Proxy = '';"));
  EXPECT_EQ(Text(QStringLiteral("'[' + h.GetString('http://nowhere.invalid/final') + ']'")), QStringLiteral("[]"));
}

TEST_F(InternetObjectsTest, HostileAnswersFailCleanly) {
  // Larger than any body the object keeps.
  EXPECT_EQ(Text(QStringLiteral("(h.GetData(base + '/big') === null) + ' [' + h.Response + ']'")),
            QStringLiteral("true []"));
  EXPECT_EQ(Text(QStringLiteral("'[' + h.GetString('http://127.0.0.1:1/') + ']' + h.ResultCode")),
            QStringLiteral("[]0"));
  // A server that stops sending is given up after the timeout, long before it would close.
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(Text(QStringLiteral("(h.Timeout = 300, '[' + h.GetString(base + '/stall') + ']')")), QStringLiteral("[]"));
  EXPECT_LT(timer.elapsed(), 20000);
  // The object still works afterwards.
  EXPECT_EQ(Text(QStringLiteral("h.GetString(base + '/upper')")), QStringLiteral("Grüße"));
}

TEST_F(InternetObjectsTest, RankLookupsSendOneQueryAndReadTheRank) {
  TGooglePRObject::SetServiceBase(QStringLiteral("http://127.0.0.1:%1/").arg(servers->HttpPort));
  Run(QStringLiteral(
      "var pr = CreateObject('Inet.GooglePR');"
      "function lastQuery() { return h.GetString(base + '/lastquery'); }"));
  for (const TCase& c : {
           TCase{"pr.GooglePR('seven.example')", "7"},
           TCase{"pr.GooglePR('HTTP://ten.example/')", "10"},
           TCase{"pr.GooglePR('none.example')", "-1"},
           TCase{"(pr.GooglePR('http://seven.example/a'), q1 = lastQuery(), pr.GooglePR('seven.example/a'), "
                 "q1 == lastQuery() && /&q=info:http:\\/\\/seven.example\\/a$/.test(q1))",
                 "true"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  TGooglePRObject::SetServiceBase(QStringLiteral("http://127.0.0.1:1/"));
  EXPECT_EQ(Text(QStringLiteral("pr.GooglePR('seven.example')")), QStringLiteral("-1"));
  TGooglePRObject::SetServiceBase(QString());

  for (const auto& [body, rank] : std::initializer_list<std::pair<const char*, int>>{
           {"Rank_1:1:7", 7}, {"rank_1:2:10", 10}, {"Rank_1:1:", -1}, {"Rank_", -1}, {"", -1}, {"Rank_1:1:x", -1}}) {
    EXPECT_EQ(TGooglePRObject::ParseRank(body), rank) << body;
  }
}

TEST_F(InternetObjectsTest, WhoIsReturnsEveryLineAfterALineBreak) {
  ComPtr<TWhoIsObject> stalled = MakeAutoObject<TWhoIsObject>();
  stalled->SetTimeoutMs(300);
  runtime.AddItem(QStringLiteral("stalled"), stalled->AsDispatch(), false);
  Run(QStringLiteral("var w = CreateObject('Inet.WhoIs'); var defaultHost = w.Host;"
                     "w.Host = '127.0.0.1:%1'; stalled.Host = w.Host;")
          .arg(servers->WhoIsPort));
  for (const TCase& c : {
           TCase{"defaultHost", TWhoIsObject::kDefaultHost},
           TCase{"w.WhoIs('example.com')", "\nDomain: example.com\nline two\nline three"},
           // What came before the server went quiet.
           TCase{"stalled.WhoIs('stall')", "\nfirst"},
           TCase{"(w.Host = '127.0.0.1:1', '[' + w.WhoIs('example.com') + ']')", "[]"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

}  // namespace
}  // namespace pw::tests
