// The subcommands of pagewick-cli. Each one lives in its own Cmd*.cpp file,
// takes the arguments after its name and returns the process exit code.
#pragma once

#include <QString>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace pw {
struct TProjectFileData;
}

namespace pw::cli {

using Args = std::vector<std::string>;

// A named option: with Value set it takes the next argument ("--out DIR", and "--out=DIR" when
// AllowJoined), otherwise it sets Flag.
struct TOption {
  const char* Name;
  const char* Alias = nullptr;
  QString* Value = nullptr;
  bool* Flag = nullptr;
  bool AllowJoined = false;
};

// Splits ARGS into the options and exactly one positional argument, which may come anywhere.
// False on an unknown option, a missing value, a second positional argument or none at all.
bool ParseArgs(const Args& args, std::initializer_list<TOption> options, QString& positional);

// Prints "Usage: pagewick-cli SYNOPSIS" on stderr and returns the exit code of a bad call, 2.
int Usage(const char* synopsis);

// Loads the project a command names; on failure tells why on stderr and returns false.
bool LoadProjectArg(const QString& path, TProjectFileData& data);

int RunPages(const Args& args);
int RunInfo(const Args& args);
int RunConvert(const Args& args);
int RunBuild(const Args& args);
int RunNew(const Args& args);
int RunPackTemplate(const Args& args);
int RunUpload(const Args& args);

}  // namespace pw::cli
