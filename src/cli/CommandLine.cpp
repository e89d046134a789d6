// Argument parsing and project loading shared by the subcommands.
#include "cli/Commands.h"

#include "core/ProjectFile.h"

#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

bool ParseArgs(const Args& args, std::initializer_list<TOption> options, QString& positional) {
  positional.clear();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const TOption* match = nullptr;
    for (const TOption& option : options) {
      if (arg == option.Name || (option.Alias && arg == option.Alias)) match = &option;
    }
    if (match && match->Value) {
      if (++i == args.size() || args[i].empty()) return false;
      *match->Value = QString::fromLocal8Bit(args[i].c_str());
      continue;
    }
    if (match) {
      *match->Flag = true;
      continue;
    }
    const TOption* joined = nullptr;
    for (const TOption& option : options) {
      const std::string prefix = std::string(option.Name) + '=';
      if (option.Value && option.AllowJoined && arg.size() > prefix.size() && arg.rfind(prefix, 0) == 0) joined = &option;
    }
    if (joined) {
      *joined->Value = QString::fromLocal8Bit(arg.c_str() + std::strlen(joined->Name) + 1);
    } else if (!arg.empty() && arg[0] != '-' && positional.isEmpty()) {
      positional = QString::fromLocal8Bit(arg.c_str());
    } else {
      return false;
    }
  }
  return !positional.isEmpty();
}

int Usage(const char* synopsis) {
  std::fprintf(stderr, "Usage: pagewick-cli %s\n", synopsis);
  return 2;
}

bool LoadProjectArg(const QString& path, TProjectFileData& data) {
  QString error;
  if (QFileInfo(path).isDir() || !LoadProjectFile(path, data, &error)) {
    if (error.isEmpty()) error = QStringLiteral("not a project file");
    std::fprintf(stderr, "pagewick-cli: cannot read project %s: %s\n", qPrintable(path), qPrintable(error));
    return false;
  }
  return true;
}

}  // namespace pw::cli
