// Takes a picture of a page and saves a 320 x 240 thumbnail of it, letterboxed on white, with
// the Lanczos kernel. Image objects come from the browser object, which needs the desktop
// application (or a display for pagewick-cli).
//   pagewick-cli script examples/scripts/thumbnail.js URL OUT.jpg
function main(args) {
  if (args.length < 2) {
    Alert('usage: thumbnail.js URL OUT.jpg');
    return 2;
  }
  var browser = CreateObject('Browser');
  if (!browser) {
    Alert('this program has no browser object');
    return 1;
  }
  browser.ClientWidth = 1024;
  browser.ClientHeight = 768;
  browser.Navigate(args[0]);
  var image = browser.GetImage(0, 0, 1024, 768);
  if (image.IsEmpty()) {
    Alert('no picture of ' + args[0]);
    return 1;
  }
  // Mode 1 fits the picture into 320 x 240 and fills the rest with the colour (ARGB).
  image.Resize(320, 240, 1, 3, 0xFFFFFFFF);
  // .jpg and .jpeg write JPEG at quality 100; any other name writes PNG.
  if (!image.Save(args[1])) {
    Alert('could not write ' + args[1]);
    return 1;
  }
  Alert(args[1] + ': ' + image.Width + ' x ' + image.Height);
  return 0;
}
