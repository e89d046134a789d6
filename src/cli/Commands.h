// The command line of pagewick-cli: the table of commands, the one argument parser they all
// use, and the one way they report errors ("pagewick-cli: " + the message, on stderr). Each
// command lives in its own Cmd*.cpp file, takes the arguments after its name and returns the
// process exit code: 0 on success, 1 when a file cannot be read or written, 2 on a usage error.
#pragma once

#include <QString>

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pw {
struct TProjectFileData;
}

namespace pw::cli {

using TArgs = std::vector<std::string>;

// One row of the command table. --help prints every row; README's command table repeats them.
struct TCommand {
  const char* Name;
  const char* Usage;    // the usage line after "pagewick-cli ", options included
  const char* Summary;  // what the command does, one line
  int (*Run)(const TArgs& args);
};

// Every command, in the order --help lists them.
std::span<const TCommand> Commands();
// The row of that name, or nullptr.
const TCommand* FindCommand(std::string_view name);

// A named option: with Value set it takes the next argument ("--out DIR", and "--out=DIR" when
// AllowJoined; an empty value only when AllowEmpty), otherwise it sets Flag.
struct TOption {
  const char* Name;
  const char* Alias = nullptr;
  std::string* Value = nullptr;
  bool* Flag = nullptr;
  bool AllowJoined = false;
  bool AllowEmpty = false;
};

// Splits args into the options and exactly as many positional arguments as positionals
// names, in order; options may stand anywhere. False with the reason on an unknown option, a
// missing value, a positional argument too many or too few.
bool ParseArgs(const TArgs& args, std::initializer_list<TOption> options, std::initializer_list<QString*> positionals,
               QString* error);

// A command-line argument as text (arguments are in the locale's encoding).
QString ArgText(const std::string& arg);

// Prints "pagewick-cli: message" on stderr.
void PrintError(const QString& message);
// Prints the reason and the command's usage line on stderr; returns 2, the exit code of a bad call.
int UsageError(std::string_view command, const QString& reason);

// Loads the project a command names; on failure tells why on stderr and returns false.
bool LoadProjectArg(const QString& path, TProjectFileData& data);

int RunPages(const TArgs& args);
int RunInfo(const TArgs& args);
int RunConvert(const TArgs& args);
int RunBuild(const TArgs& args);
int RunNew(const TArgs& args);
int RunPackTemplate(const TArgs& args);
int RunServe(const TArgs& args);
int RunScript(const TArgs& args);
int RunUpload(const TArgs& args);
int RunTasks(const TArgs& args);
int RunTaskCommand(const TArgs& args);

}  // namespace pw::cli
