// Asks the toolbar ranking service for the rank of an address; -1 when it gives none (the
// service no longer answers).
// pagewick-cli script examples/scripts/pagerank.js [ADDRESS]
function main(args) {
  var rank = CreateObject("Inet.GooglePR");
  rank.Timeout = 10000;
  Alert(rank.GooglePR(args.length > 0 ? args[0] : "example.com"));
  return 0;
}
