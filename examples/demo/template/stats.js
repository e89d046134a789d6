// A script unit: projects name it on a "$uses stats" line to get its functions.

// The number of sections the generator holds that become HTML pages.
function CountPages(generator) {
  var count = 0;
  for (var i = 0; i < generator.SectionCount; i++) {
    if (generator.Section(i).Extension == ".html") count++;
  }
  return count;
}
