// The demo's build scripts. Pagewick runs this file, and the units that the project's
// "$uses" line names (stats.js here), every time the site is built.

// Before the pages are written: a variable that every page template can show.
AddPreBuild(function () {
  this.SetVar("page_count", String(CountPages(this)));
});

// Called for every section. Returning true would keep the generator from writing it; the demo
// only notes which pages were built.
var builtPages = [];
AddSectionHandler(function (section) {
  if (section.Extension == ".html") builtPages.push(section.Name);
  return false;
});

// A placeholder function: {$shout(text)} in a page or template becomes the text in capitals.
function shout(text) {
  return String(text).toUpperCase();
}

// A task in the main window's task list (on the command line:
// pagewick-cli task demo.pwproj "List pages").
AddTask("List pages", function () {
  Alert("Pages built: " + builtPages.join(", "));
});
