// The command table, the argument parser and error reporting shared by the commands.
#include "cli/Commands.h"

#include "core/ProjectFile.h"

#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

namespace {

const TCommand kCommands[] = {
    {"pages", "pages PROJECT", "lists the pages as the main window shows them, \"Project\" first", RunPages},
    {"info", "info PROJECT [--show-password]", "prints the project title and the publishing settings", RunInfo},
    {"convert", "convert [--img-path P] [--pre-style S]",
     "converts one section body of markup on standard input to HTML on standard output, byte for byte", RunConvert},
    {"build", "build PROJECT [--out DIR] [--quiet] [--script-timeout SECONDS]",
     "builds the site into its output folder (html/ beside the project unless $out_path or --out says otherwise) "
     "with the project's scripts and lists what it wrote; --quiet prints only the closing summary; a script error "
     "is printed and exits 1; scripts running longer than --script-timeout (default 60, 0: no limit) are stopped",
     RunBuild},
    {"new", "new FOLDER/NAME [--template FILE.pwtmpl] [--force]",
     "creates a new project with the default template or from a site template file; --force replaces an existing "
     "project file and template folder",
     RunNew},
    {"pack-template", "pack-template PROJECT OUT.pwtmpl", "saves a project as a site template file", RunPackTemplate},
    {"serve", "serve PROJECT [--port N] [--no-build]",
     "builds the site, then serves its output folder on http://127.0.0.1:PORT/ until interrupted, rebuilding and "
     "reloading open pages when the project or its template changes",
     RunServe},
    {"script", "script FILE.js [ARGS...]",
     "runs a script in the script runtime: its top level, then main(args) when it defines one; a number main "
     "returns is the exit code",
     RunScript},
    {"upload", "upload PROJECT [--all] [--test] [--no-build] [--password-stdin] [--atomic] [--jobs N]",
     "builds the site, then tests the connection or publishes the output folder with the project's settings, "
     "sending only changed files unless --all; prints the log and a progress line per file",
     RunUpload},
    {"tasks", "tasks PROJECT [--script-timeout SECONDS]",
     "compiles the project's scripts and lists the captions of the tasks they register, one a line", RunTasks},
    {"task", "task PROJECT CAPTION [--script-timeout SECONDS]",
     "builds the site, then runs the task of that caption as a double-click in the task list does", RunTaskCommand},
};

}  // namespace

std::span<const TCommand> Commands() { return kCommands; }

const TCommand* FindCommand(std::string_view name) {
  for (const TCommand& command : kCommands)
    if (name == command.Name) return &command;
  return nullptr;
}

QString ArgText(const std::string& arg) { return QString::fromLocal8Bit(arg.c_str()); }

bool ParseArgs(const TArgs& args, std::initializer_list<TOption> options, std::initializer_list<QString*> positionals,
               QString* error) {
  auto fail = [&](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  auto next = positionals.begin();
  for (QString* positional : positionals) positional->clear();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const TOption* match = nullptr;
    const TOption* joined = nullptr;
    for (const TOption& option : options) {
      if (arg == option.Name || (option.Alias && arg == option.Alias)) match = &option;
      const std::string prefix = std::string(option.Name) + '=';
      if (option.Value && option.AllowJoined && arg.size() > prefix.size() && arg.starts_with(prefix)) joined = &option;
    }
    if (match && match->Value) {
      if (++i == args.size() || (args[i].empty() && !match->AllowEmpty))
        return fail(QStringLiteral("missing value for '%1'").arg(ArgText(arg)));
      *match->Value = args[i];
    } else if (match) {
      *match->Flag = true;
    } else if (joined) {
      *joined->Value = arg.substr(std::string_view(joined->Name).size() + 1);
    } else if (!arg.empty() && arg[0] == '-') {
      return fail(QStringLiteral("unknown option '%1'").arg(ArgText(arg)));
    } else if (arg.empty() || next == positionals.end()) {
      return fail(QStringLiteral("unexpected argument '%1'").arg(ArgText(arg)));
    } else {
      **next++ = ArgText(arg);
    }
  }
  if (next != positionals.end()) return fail(QStringLiteral("too few arguments"));
  return true;
}

void PrintError(const QString& message) { std::fprintf(stderr, "pagewick-cli: %s\n", qPrintable(message)); }

int UsageError(std::string_view command, const QString& reason) {
  PrintError(reason);
  const TCommand* row = FindCommand(command);
  std::fprintf(stderr, "Usage: pagewick-cli %s\n", row ? row->Usage : "COMMAND [ARGS]");
  return 2;
}

bool LoadProjectArg(const QString& path, TProjectFileData& data) {
  QString error;
  if (QFileInfo(path).isDir() || !LoadProjectFile(path, data, &error)) {
    if (error.isEmpty()) error = QStringLiteral("not a project file");
    PrintError(QStringLiteral("cannot read project %1: %2").arg(path, error));
    return false;
  }
  return true;
}

}  // namespace pw::cli
