// The subcommands of pagewick-cli. Each one lives in its own Cmd*.cpp file,
// takes the arguments after its name and returns the process exit code.
#pragma once

#include <string>
#include <vector>

namespace pw::cli {

using Args = std::vector<std::string>;

int RunPages(const Args& args);
int RunInfo(const Args& args);
int RunConvert(const Args& args);
int RunBuild(const Args& args);
int RunNew(const Args& args);
int RunPackTemplate(const Args& args);

}  // namespace pw::cli
