// pagewick-cli: the project core without windows.
#include "cli/Commands.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const pw::cli::Args&);
};

const Command kCommands[] = {
    {"pages", "pages PROJECT                 list the pages as the main window shows them", pw::cli::RunPages},
    {"info", "info PROJECT [--show-password] print the project title and publishing settings", pw::cli::RunInfo},
    {"convert", "convert [--img-path P] [--pre-style S]  convert markup on stdin to HTML on stdout",
     pw::cli::RunConvert},
    {"build", "build PROJECT [--out DIR]     build the site into its output folder", pw::cli::RunBuild},
    {"new", "new FOLDER/NAME [--template FILE.pwtmpl]  create a new project", pw::cli::RunNew},
    {"pack-template", "pack-template PROJECT OUT.pwtmpl  save the project as a site template",
     pw::cli::RunPackTemplate},
    {"upload", "upload PROJECT [--all] [--test] [--no-build] [--password-stdin] [--atomic] [--jobs N]  publish the site",
     pw::cli::RunUpload},
};

void PrintHelp(FILE* out) {
  std::fprintf(out, "Usage: pagewick-cli COMMAND [ARGS]\n\nCommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
      !std::strcmp(argv[1], "help")) {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(pw::cli::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "pagewick-cli: unknown command '%s'\n", argv[1]);
  PrintHelp(stderr);
  return 2;
}
