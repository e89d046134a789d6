// Lists duplicate files under a folder and, with "--trash", moves every copy but the oldest of
// each set to the trash.
//   pagewick-cli script examples/scripts/find-duplicates.js ~/Pictures [--trash]
function main(args) {
  if (args.length < 1) {
    Alert('usage: find-duplicates.js FOLDER [--trash]');
    return 2;
  }
  var list = CreateObject('FileList');
  var found = list.AddFiles(args[0], '*.*', true);
  var selected = list.SelectDuplicates();
  Alert(found + ' files, ' + selected + ' in duplicate sets');
  // Sets are numbered, the oldest file first in its set: keep that one.
  var lastGroup = 0;
  for (var i = 0; i < list.Length; i++) {
    var file = list(i);
    if (!file.Selected) continue;
    if (file.Group != lastGroup) {
      lastGroup = file.Group;
      file.Selected = false;
      Alert('set ' + file.Group + ': keeping ' + file.FileName);
    } else {
      Alert('  copy ' + file.FileName + ' (' + file.Size + ' bytes)');
    }
  }
  if (args.length > 1 && args[1] == '--trash') Alert(list.DeleteSelection(true) + ' files moved to the trash');
  return 0;
}
