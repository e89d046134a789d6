// Writes a small feed as RSS 2.0 and as Atom, then reads the Atom file back.
// pagewick-cli script examples/scripts/feed.js [FOLDER]
function main(args) {
  var folder = args.length > 0 ? args[0] : ".";
  var feed = CreateObject("Feed");
  feed.Title = "Café news";
  feed.Link = "http://example.com/";
  feed.Description = "What is new on the site";
  feed.Date = DecodeDate("2024-05-01T12:00:00Z", 0);
  var item = feed.Add();
  item.Title = "Grand opening";
  item.Link = "http://example.com/opening.html";
  item.Author = "Zoë";
  item.Category = "news, café";
  item.Content = "<p>Doors open at nine.</p>";
  item.Date = feed.Date;
  feed.Save(folder + "/feed.rss", "rss");
  feed.Save(folder + "/feed.atom", "atom");

  var copy = CreateObject("Feed");
  if (!copy.Load(folder + "/feed.atom")) return 1;
  for (var i = 0; i < copy.Count; i++) {
    Alert(copy(i).Title + " (" + copy(i).Category + ") " + EncodeDate(copy(i).Date));
  }
  return 0;
}
