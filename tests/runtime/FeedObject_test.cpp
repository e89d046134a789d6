// Feeds through real scripts: RSS 2.0 and Atom files loaded (namespaced fields, defaults,
// categories, dates), edited, saved in both formats and reloaded to the same fields, with
// non-ASCII text throughout; the saved files are checked by an independent reader (Python's
// feedparser) when it is installed; sources that are not feeds change nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "RuntimeFixture.h"
#include "support/QStringPrinter.h"

namespace pw::tests {
namespace {

const char kRss[] = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:content="http://purl.org/rss/1.0/modules/content/">
<channel><title>Café «News»</title><link>http://example.com/</link><description>Всё &amp; more</description>
<lastBuildDate>Tue, 10 Jun 2003 04:00:00 GMT</lastBuildDate>
<item><title>Première</title><link>http://example.com/1</link><dc:creator>Zoë</dc:creator>
<category>a</category><category>b c</category><pubDate>Tue, 03 Jun 2003 09:39:21 GMT</pubDate>
<description>short</description><content:encoded><![CDATA[<p>Grüße</p>]]></content:encoded></item>
<item><guid>urn:x:2</guid><title>Second</title><author>ann@example.com</author><description>Δ</description></item>
</channel></rss>)";

const char kAtom[] = R"(<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom"><title>Atom ü</title><subtitle>sub</subtitle><id>urn:feed</id>
<link href="http://example.org/"/><updated>2003-12-13T18:30:02Z</updated>
<entry><title>Entry ñ</title><link href="http://example.org/2003/12/13/atom03"/><id>urn:e1</id>
<updated>2003-12-13T18:30:02Z</updated><author><name>José</name></author><category term="x"/><category term="y"/>
<content type="html">&lt;b&gt;bold&lt;/b&gt;</content></entry></feed>)";

class FeedCases : public RuntimeFixture {
 protected:
  void Expect(std::initializer_list<TCase> cases) {
    for (const TCase& c : cases) {
      EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
    }
  }
  void Write(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  // The fields feedparser reads from a saved file, one per line; empty when no Python here has it
  // (the system's may, where another one comes first on the path).
  QString ReadWithFeedparser(const QString& path) {
    for (const QString& program : {QStringLiteral("python3"), QStringLiteral("/usr/bin/python3")}) {
      const QString out = ReadWithFeedparser(program, path);
      if (!out.isEmpty()) return out;
    }
    return {};
  }
  QString ReadWithFeedparser(const QString& program, const QString& path) {
    QProcess python;
    python.start(program,
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, feedparser\n"
                                 "d = feedparser.parse(sys.argv[1])\n"
                                 "print(d.bozo, d.version, d.feed.get('title'), len(d.entries))\n"
                                 "for e in d.entries: print(e.get('title'), e.get('link'), e.get('id'), "
                                 "','.join(t.term for t in e.get('tags', [])), e.get('author'))\n"),
                  path});
    python.waitForFinished(30000);
    return python.exitCode() == 0 ? QString::fromUtf8(python.readAllStandardOutput()) : QString();
  }
  QTemporaryDir dir;
};

TEST_F(FeedCases, RssAndAtomLoadEditSaveAndReloadToTheSameFields) {
  Write(dir.filePath("in.rss"), kRss);
  Write(dir.filePath("in.atom"), kAtom);
  Run(QStringLiteral("var dir = '%1'; var f = CreateObject('Feed'); var loaded = f.Load(dir + '/in.rss');"
                     "var a = CreateObject('Feed'); var atomLoaded = a.Load(dir + '/in.atom');")
          .arg(dir.path()));
  Expect({
      {"loaded + ' ' + f.Loaded + ' ' + f.Count + ' ' + f.Title + ' ' + f.Link + ' ' + f.Description",
       "true true 2 Café «News» http://example.com/ Всё & more"},
      {"EncodeDate(f.Date) == EncodeDate(DecodeDate('2003-06-10T04:00:00Z', 0))", "true"},
      {"[f(0).Id, f(0).Author, f(0).Category, f(0).Content, f(0).Index].join('|')",
       "http://example.com/1|Zoë|a, b c|<p>Grüße</p>|0"},
      {"[f.Items(1).Id, f.Items(1).Author, f.Items(1).Content, EncodeDate(f.Items(1).Date) == EncodeDate(0)].join('|')",
       "urn:x:2|ann@example.com|Δ|true"},
      {"atomLoaded + ' ' + [a.Title, a.Link, a.Description, a.Id, a.Count].join('|')", "true Atom ü|http://example.org/|sub|urn:feed|1"},
      {"[a(0).Id, a(0).Link, a(0).Author, a(0).Category, a(0).Content, a(0).Title].join('|')",
       "urn:e1|http://example.org/2003/12/13/atom03|José|x, y|<b>bold</b>|Entry ñ"},
  });
  // Edited, saved in each format and read back.
  Run(QStringLiteral(
      "f.Title = 'Édité'; f.Delete(1); var n = f.Add(); n.Title = 'Nouveau €'; n.Link = 'http://example.com/n';"
      "n.Category = ' x , y '; n.Author = 'Zoë'; n.Content = '<i>ü</i>'; n.Date = DecodeDate('2024-05-01T12:30:00Z', 0);"
      "f.Save(dir + '/out/f.rss', 'RSS'); f.Save(dir + '/out/f.atom', 'atom');"
      "var r1 = CreateObject('Feed'); r1.Load(dir + '/out/f.rss');"
      "var r2 = CreateObject('Feed'); r2.Load(dir + '/out/f.atom');"
      "function fields(x) { var s = [x.Title, x.Link, x.Count]; for (var i = 0; i < x.Count; i++) {"
      "  var t = x(i); s.push(t.Title, t.Link, t.Id, t.Author, t.Category, t.Content, EncodeDate(t.Date)); }"
      "  return s.join('|'); }"));
  const QString expected = QStringLiteral(
      "Édité|http://example.com/|2|Première|http://example.com/1|http://example.com/1|Zoë|a, b c|<p>Grüße</p>|%1|"
      "Nouveau €|http://example.com/n|http://example.com/n|Zoë|x, y|<i>ü</i>|%2")
                               .arg(Text(QStringLiteral("EncodeDate(f(0).Date)")), Text(QStringLiteral("EncodeDate(n.Date)")));
  EXPECT_EQ(Text(QStringLiteral("fields(r1)")), expected);
  EXPECT_EQ(Text(QStringLiteral("fields(r2)")), expected);

  // An independent reader accepts both files as well-formed feeds of their kind.
  const QString rss = ReadWithFeedparser(dir.filePath("out/f.rss"));
  const QString atom = ReadWithFeedparser(dir.filePath("out/f.atom"));
  if (rss.isEmpty() || atom.isEmpty()) GTEST_SKIP() << "python3-feedparser is not installed";
  EXPECT_TRUE(rss.startsWith(QStringLiteral("False rss20 Édité 2\n"))) << rss.toStdString();
  EXPECT_TRUE(atom.startsWith(QStringLiteral("False atom10 Édité 2\n"))) << atom.toStdString();
  EXPECT_TRUE(atom.contains(QStringLiteral("Nouveau € http://example.com/n http://example.com/n x,y Zoë"))) << atom.toStdString();
  EXPECT_TRUE(rss.contains(QStringLiteral("Première http://example.com/1 http://example.com/1 a,b c Zoë"))) << rss.toStdString();
}

TEST_F(FeedCases, SourcesThatAreNotFeedsChangeNothing) {
  Write(dir.filePath("empty.rss"), "<rss version=\"2.0\"><channel/></rss>");
  Write(dir.filePath("nochannel.rss"), "<rss version=\"2.0\"/>");
  Write(dir.filePath("other.xml"), "<html><title>x</title></html>");
  Write(dir.filePath("broken.rss"), "<rss><channel><title>x</channel>");
  Run(QStringLiteral("var dir = '%1'; var f = CreateObject('Feed'); f.Title = 'kept'; f.Add();").arg(dir.path()));
  Expect({
      {"[f.Load(dir + '/nochannel.rss'), f.Load(dir + '/other.xml'), f.Load(dir + '/broken.rss'), f.Load(dir + '/none')].join()",
       "false,false,false,false"},
      {"f.Title + ' ' + f.Count + ' ' + f.Loaded", "kept 1 false"},
      // A feed with no fields at all loads as an empty one.
      {"(f.Load(dir + '/empty.rss'), [f.Title, f.Count, EncodeDate(f.Date) == EncodeDate(0), f.Loaded].join('|'))", "|0|true|true"},
      {"(function(){ var i = f.Add(); f.Clear(); return i.Index + ' ' + i.Feed + ' ' + f(0); })()", "-1 null null"},
  });
}

}  // namespace
}  // namespace pw::tests
