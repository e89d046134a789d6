// The XML object and its DOM face through real scripts: the cursor (Open with create, Values,
// SetChildText), XML-RPC calls, XPath walked with Enumerator, node edits that leave held nodes
// valid, non-ASCII text, files, and hostile documents (malformed, entity expansion, external
// entities), which give false and an empty document.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "RuntimeFixture.h"
#include "support/QStringPrinter.h"

namespace pw::tests {
namespace {



class XmlCases : public RuntimeFixture {
 protected:
  void Expect(std::initializer_list<TCase> cases) {
    for (const TCase& c : cases) {
      EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
    }
  }
};

TEST_F(XmlCases, TheCursorBuildsAndReadsPaths) {
  Run(QStringLiteral(
      "var x = CreateObject('XML').CreateDocument('site');"
      "var opened = x.Open('pages/page', true);"
      "x.SetAttr('id', 'é1').SetText('Привет <&>');"
      "x.Close();"
      "x.Values['meta/author'] = 'Zoë';"
      "x.SetChildAttr('meta', 'lang', 'de');"
      "var missing = x.Open('nothing/here', false);"));
  Expect({
      {"opened + ' ' + missing", "true false"},
      {"x.XML.replace(/\\s+$/, '')",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<site><pages><page id=\"é1\">Привет &lt;&amp;&gt;</page>"
       "</pages><meta lang=\"de\"><author>Zoë</author></meta></site>"},
      {"x.Values('pages/page') + '|' + x.Values('meta/author') + '|[' + x.Values('absent') + ']'",
       "Привет <&>|Zoë|[]"},
      {"x.Open('pages/page', false) && x.Attr('id')", "é1"},
      // Close past the bottom of the stack stays at the document element.
      {"(x.Close(), x.Close(), x.Close(), x.Node.nodeName)", "site"},
      // Only elements are opened: a cursor on text or an attribute would grow children there.
      {"x.Open('pages/page/@id', false) + ' ' + x.OpenNode(x.SelectNode('pages/page/text()')) + ' ' + x.Node.nodeName",
       "false false site"},
      // A path step that is no element name is refused, not written as a broken element.
      {"(function(){ try { x.Open('a/@b', true); return 'made'; } catch (e) { return 'refused'; } })()", "refused"},
  });
}

TEST_F(XmlCases, MethodCallsGetOneParamsElement) {
  Run(QStringLiteral(
      "var x = CreateObject('XML').CreateMethodCall('weblogUpdates.<ping>');"
      "var v = x.AddParamValue('Grüße'); x.AddParamValue('http://example.com/?a=1&b=2');"));
  Expect({
      {"v.nodeName + ':' + v.text", "value:Grüße"},
      {"x.Document.documentElement.xml",
       "<methodCall><methodName>weblogUpdates.&lt;ping&gt;</methodName><params><param><value>Grüße</value></param>"
       "<param><value>http://example.com/?a=1&amp;b=2</value></param></params></methodCall>"},
  });
}

TEST_F(XmlCases, SelectionsAreWalkedWithEnumerator) {
  Run(QStringLiteral(
      "var x = CreateObject('XML');"
      "var loaded = x.LoadXML('<?xml version=\"1.0\" encoding=\"windows-1251\"?>"
      "<r xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><i n=\"1\">один</i><i n=\"2\"><dc:creator>Ann</dc:creator></i>"
      "<!-- c --><j/></r>');"
      "var names = []; for (var e = new Enumerator(x.Select('i')); !e.atEnd(); e.moveNext()) names.push(e.item().getAttribute('n'));"
      "var kids = x.Node.childNodes;"));
  Expect({
      {"loaded + ' ' + names.join(',')", "true 1,2"},
      {"kids.length + ' ' + kids.item(2).nodeType + ' ' + kids[3].nodeName + ' ' + kids.item(9)", "4 8 j null"},
      {"x.SelectNode('i[@n=\"2\"]/dc:creator').text", "Ann"},
      {"x.SelectNode('i').text + ' ' + x.SelectNode('//i[1]').firstChild.nodeName", "один #text"},
      {"x.SelectNode('nothing')", "null"},
      {"x.Select('@*|i/@n').length + ' ' + x.Select('i/@n').item(1).text", "2 2"},
      {"(function(){ try { x.Select('i['); return 'ok'; } catch (e) { return 'bad xpath'; } })()", "bad xpath"},
  });
}

TEST_F(XmlCases, DomEditsKeepHeldNodesValid) {
  Run(QStringLiteral(
      "var x = CreateObject('XML').CreateDocument('r');"
      "var d = x.Document; var root = d.documentElement;"
      "var a = root.appendChild(d.createElement('a')); var b = a.appendChild(d.createElement('b'));"
      "b.text = 'inner'; var t = b.firstChild;"
      "a.setAttribute('k', 'v&\"'); var removed = root.removeChild(a);"
      "b.text = 'replaced';"
      "var cycle = (function(){ try { b.appendChild(a); return 'appended'; } catch (e) { return 'refused'; } })();"
      "var other = CreateObject('XML').CreateDocument('o');"
      "var copied = root.appendChild(other.Document.documentElement);"
      "x.LoadXML('<new/>');"));
  Expect({
      {"removed.nodeName + ' ' + removed.xml", "a <a k=\"v&amp;&quot;\"><b>replaced</b></a>"},
      {"t.nodeName + ' ' + t.text", "#text inner"},
      {"cycle + ' ' + copied.nodeName + ' ' + root.xml", "refused o <r><o/></r>"},
      {"a.getAttribute('k') + ' ' + a.getAttribute('none')", "v&\" null"},
      {"(a.removeAttribute('k'), a.attributes.length)", "0"},
      {"x.Node.nodeName", "new"},
  });
}

TEST_F(XmlCases, HostileDocumentsGiveFalseAndAnEmptyDocument) {
  QTemporaryDir dir;
  QFile secret(dir.filePath("secret.txt"));
  ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
  secret.write("top secret");
  secret.close();
  Run(QStringLiteral("var x = CreateObject('XML'); var dir = '%1';").arg(dir.path()));
  for (const QString& document : {
           QStringLiteral("<a><b></a>"),
           QStringLiteral(""),
           QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
                          "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><l>&c;&c;&c;&c;&c;&c;</l>"),
           QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY x SYSTEM \"file://%1/secret.txt\">]><l>&x;</l>")
               .arg(dir.path()),
           QString(300, QLatin1Char('<')),
           QStringLiteral("<a>").repeated(5000),
       }) {
    Run(QStringLiteral("var doc = %1;").arg(QStringLiteral("'") + QString(document).replace(QLatin1String("\""), QLatin1String("\\\"")).replace(QLatin1Char('\''), QLatin1String("\\'")) + QStringLiteral("'")));
    EXPECT_EQ(Text(QStringLiteral("(x.CreateDocument('old'), x.LoadXML(doc) + ' [' + x.XML + '] ' + x.Node + ' ' + x.Document)")),
              QStringLiteral("false [] null null"))
        << document.left(80).toStdString();
    EXPECT_EQ(Text(QStringLiteral("x.Values('a') + x.Text + x.Select('a') + x.Open('a', true)")), QStringLiteral("nullfalse"));
  }
  EXPECT_EQ(Text(QStringLiteral("x.Load(dir + '/missing.xml') + ' ' + x.Load(dir)")), QStringLiteral("false false"));
  // A file saved and loaded back.
  Run(QStringLiteral("x.CreateDocument('ü').SetText('ñ'); x.Save(dir + '/sub/a.xml');"));
  EXPECT_EQ(Text(QStringLiteral("x.Load(dir + '/sub/a.xml') + ' ' + x.Node.nodeName + x.Text")), QStringLiteral("true üñ"));
}

}  // namespace
}  // namespace pw::tests
