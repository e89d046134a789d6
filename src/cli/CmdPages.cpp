#include "cli/Commands.h"

#include <cstdio>

namespace pw::cli {

int RunPages(const Args&) {
  std::fprintf(stderr, "pagewick-cli: this command is not available yet\n");
  return 3;
}

}  // namespace pw::cli
