// pagewick-cli: the project core without windows.
#include "cli/Commands.h"
#include "platform/HugePageHeap.h"

#include <csignal>

#include <malloc.h>
#include <cstdio>
#include <string_view>

namespace {

void PrintHelp(FILE* out) {
  std::fprintf(out, "Usage: pagewick-cli COMMAND [ARGS]\n\nCommands:\n");
  for (const pw::cli::TCommand& command : pw::cli::Commands())
    std::fprintf(out, "  %s\n      %s\n", command.Usage, command.Summary);
  std::fprintf(out,
               "\nExit codes: 0 on success, 1 when a project cannot be read or an output cannot be written, "
               "2 on a usage error.\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit the write must fail and be reported, not kill the process silently
  // with a temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // A large project's text and its thousands of pages pass through big buffers that grow and
  // are freed again: kept in the heap instead of mapped and unmapped one by one, they cost no
  // page faults the second time.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  pw::platform::ReserveHeapInHugePages(64 << 20);
  const std::string_view first = argc < 2 ? std::string_view() : argv[1];
  if (argc < 2 || first == "--help" || first == "-h" || first == "help") {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (const pw::cli::TCommand* command = pw::cli::FindCommand(first))
    return command->Run(pw::cli::TArgs(argv + 2, argv + argc));
  pw::cli::PrintError(QStringLiteral("unknown command '%1'").arg(QString::fromLocal8Bit(argv[1])));
  PrintHelp(stderr);
  return 2;
}
