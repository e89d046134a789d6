// Page encoding throughput: the generator re-encodes every page whose charset is not UTF-8,
// so a 10,000-page build runs these conversions 10,000 times.
#include <benchmark/benchmark.h>

#include <QString>

#include "platform/CodePage.h"

namespace {

// About 20 KB of page text in the script the code page is made for.
QString PageText(unsigned codePage) {
  const QString line = codePage == 932 ? QStringLiteral("<p>日本語のページ、テキスト。</p>\n")
                       : codePage == 1251 ? QStringLiteral("<p>Страница сайта, текст абзаца.</p>\n")
                                          : QStringLiteral("<p>A page of the site, paragraph text.</p>\n");
  QString text;
  while (text.size() < 20000) text += line;
  return text;
}

void BM_TextToBytes(benchmark::State& state) {
  const unsigned codePage = static_cast<unsigned>(state.range(0));
  const QString text = PageText(codePage);
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string encoded = pw::platform::TextToBytes(text, codePage);
    bytes += encoded.size();
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_TextToBytes)->Arg(1251)->Arg(1252)->Arg(932)->Arg(65000);

void BM_BytesToText(benchmark::State& state) {
  const unsigned codePage = static_cast<unsigned>(state.range(0));
  const std::string bytes = pw::platform::TextToBytes(PageText(codePage), codePage);
  for (auto _ : state) {
    const QString text = pw::platform::BytesToText(bytes, codePage);
    benchmark::DoNotOptimize(text.constData());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_BytesToText)->Arg(1251)->Arg(1252)->Arg(932)->Arg(65000);

// Text full of characters the code page lacks: every one goes through the replacement path.
void BM_TextToBytesUnmappable(benchmark::State& state) {
  const QString text = PageText(932);
  for (auto _ : state) {
    const std::string encoded = pw::platform::TextToBytes(text, 1252);
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TextToBytesUnmappable);

}  // namespace
BENCHMARK_MAIN();
