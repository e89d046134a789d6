// Fetches a page and reports its status, its length and its title.
// pagewick-cli script examples/scripts/http.js [ADDRESS]
function main(args) {
  var address = args.length > 0 ? args[0] : "http://example.com/";
  var http = CreateObject("Inet.HTTP");
  http.Timeout = 15000;
  var text = http.GetString(address);
  if (http.ResultCode == 0) {
    Alert("No answer from " + address);
    return 1;
  }
  var title = /<title>([^<]*)<\/title>/i.exec(text);
  Alert(http.ResultCode + " " + address + ": " + text.length + " characters" +
          (title ? ", title \"" + title[1] + "\"" : ""));
  return 0;
}
