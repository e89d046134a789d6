// Loading and saving a large project, and the page-list scan the idle handler runs.
#include "core/ProjectFile.h"
#include "markup/ContentText.h"

#include <benchmark/benchmark.h>

namespace {

// A content text of pages pages, each with a title and some markup.
std::string MakeContent(int pages) {
  std::string text = "$title Benchmark Site\n$uses menu, 'gallery unit'\n\n";
  for (int i = 0; i < pages; ++i) {
    text += "[page" + std::to_string(i) + ".html]\n$title Page " + std::to_string(i) + "\n";
    text += "= Heading\n\nSome _[bold] text with a *[link|http://example.org] and more words.\n";
    text += "* item one\n* item two\n\n";
  }
  return text;
}

void BM_ScanPages(benchmark::State& state) {
  const std::string text = MakeContent(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(pw::content::ScanPages(text, "Project"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ScanPages)->Arg(100)->Arg(5000);

void BM_ParseProjectFile(benchmark::State& state) {
  pw::TProjectFileData data;
  data.Content = MakeContent(static_cast<int>(state.range(0)));
  data.State.FTPPassword = "secret";
  const std::string bytes = pw::SerializeProjectFile(data);
  for (auto _ : state) benchmark::DoNotOptimize(pw::ParseProjectFile(bytes));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ParseProjectFile)->Arg(100)->Arg(5000);

void BM_SerializeProjectFile(benchmark::State& state) {
  pw::TProjectFileData data;
  data.Content = MakeContent(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(pw::SerializeProjectFile(data));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.Content.size()));
}
BENCHMARK(BM_SerializeProjectFile)->Arg(100)->Arg(5000);

}  // namespace
BENCHMARK_MAIN();
