// Asks a WHOIS server about a domain and prints the answer.
// pagewick-cli script examples/scripts/whois.js [DOMAIN [SERVER]]
function main(args) {
  var whois = CreateObject("Inet.WhoIs");
  if (args.length > 1) whois.Host = args[1];
  var answer = whois.WhoIs(args.length > 0 ? args[0] : "example.com");
  Alert(answer === "" ? "No answer from " + whois.Host : answer.substring(1));
  return answer === "" ? 1 : 0;
}
