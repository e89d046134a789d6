// Builds a small site map with the XML object's cursor, saves it, loads it back and walks its
// pages with XPath, then builds an XML-RPC ping.
// pagewick-cli script examples/scripts/xml.js [OUTPUT.xml]
function main(args) {
  var file = args.length > 0 ? args[0] : "sitemap-example.xml";
  var xml = CreateObject("XML").CreateDocument("site");
  xml.SetAttr("title", "Café Ünïcode");
  var pages = [["index", "Home"], ["menu", "Меню"], ["contact", "Contact"]];
  for (var i = 0; i < pages.length; i++) {
    var page = xml.Add("page");
    page.Attr["name"] = pages[i][0];
    page.Text = pages[i][1];
  }
  xml.Values["meta/generator"] = "Pagewick";
  xml.Save(file);

  var copy = CreateObject("XML");
  if (!copy.Load(file)) return 1;
  for (var e = new Enumerator(copy.Select("page")); !e.atEnd(); e.moveNext()) {
    var node = e.item();
    Alert(node.getAttribute("name") + ".html: " + node.text);
  }
  Alert("generator: " + copy.Values("meta/generator"));

  var ping = CreateObject("XML").CreateMethodCall("weblogUpdates.ping");
  ping.AddParamValue("Café");
  ping.AddParamValue("http://example.com/");
  Alert(ping.XML);
  return 0;
}
