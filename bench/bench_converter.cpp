// Markup converter throughput, next to the C Markdown converters md4c and
// cmark on a Markdown corpus of the same size and shape. Also the cases that
// would turn quadratic if the inline passes really rescanned from the start.
#include <benchmark/benchmark.h>
#include <cmark.h>
#include <md4c-html.h>

#include <cstdlib>
#include <string>

#include "markup/Converters.h"

namespace {

constexpr size_t kCorpusBytes = 1 << 20;

// One "section" of a page in the converter's markup, using every construct.
std::string MarkupChunk(int i) {
  std::string n = std::to_string(i);
  std::string s;
  s += "\n= Chapter " + n + " of the _[guide]\n";
  s += "\nThe __[quick] brown fox jumps over the ___[lazy] dog, see *[page" + n +
       ".html the page] and #[a" + n + "] more.\nA second line with ![pic" + n +
       ".png alt=\"Picture\" A title] and .[note some noted text] in it.\n";
  s += ".[intro]\n\nPlain words follow here, many of them, to fill a paragraph of ordinary prose "
       "that has no markup at all in it.\n";
  s += "\n== Lists\n* first item with *[http://example.com/" + n + " a link]\n* second _[bold] item\n"
       "  * nested __[one]\n  * nested two\n* third\n";
  s += "\n# one\n# two\n";
  s += "\n> int main() {\n>   return x < 2 && y;\n> }\n";
  s += "\n^ Name ^ Value ^\n| a | _[1] |\n|b||  2|\n";
  s += "\n; a comment line\n{$menu}\n<div class=\"x\">raw</div>\n";
  return s;
}

// The same shape in Markdown.
std::string MarkdownChunk(int i) {
  std::string n = std::to_string(i);
  std::string s;
  s += "\n# Chapter " + n + " of the **guide**\n";
  s += "\nThe *quick* brown fox jumps over the ***lazy*** dog, see [the page](page" + n +
       ".html) and <a name=\"a" + n + "\"></a> more.\\\nA second line with ![Picture](pic" + n +
       ".png \"A title\") and <span class=\"note\">some noted text</span> in it.\n";
  s += "\nPlain words follow here, many of them, to fill a paragraph of ordinary prose "
       "that has no markup at all in it.\n";
  s += "\n## Lists\n- first item with [a link](http://example.com/" + n + ")\n- second **bold** item\n"
       "  - nested *one*\n  - nested two\n- third\n";
  s += "\n1. one\n2. two\n";
  s += "\n    int main() {\n      return x < 2 && y;\n    }\n";
  s += "\n| Name | Value |\n|---|---|\n| a | **1** |\n| b | 2 |\n";
  s += "\n<!-- a comment line -->\n<div class=\"x\">raw</div>\n";
  return s;
}

template <typename Chunk>
std::string Corpus(Chunk chunk) {
  std::string s;
  for (int i = 0; s.size() < kCorpusBytes; ++i) s += chunk(i);
  return s;
}

const std::string& MarkupCorpus() {
  static const std::string corpus = Corpus(MarkupChunk);
  return corpus;
}

const std::string& MarkdownCorpus() {
  static const std::string corpus = Corpus(MarkdownChunk);
  return corpus;
}

void CountBytes(benchmark::State& state, const std::string& body) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}

void RunConverter(benchmark::State& state, const std::string& body) {
  pw::THTMLConverter converter;
  converter.SetImgPath("images");
  for (auto _ : state) {
    std::string html = converter.Convert(body);
    benchmark::DoNotOptimize(html.data());
  }
  CountBytes(state, body);
}

void BM_Converter_AllConstructs(benchmark::State& state) { RunConverter(state, MarkupCorpus()); }
BENCHMARK(BM_Converter_AllConstructs)->Unit(benchmark::kMillisecond);

void AppendOutput(const MD_CHAR* text, MD_SIZE size, void* user) {
  static_cast<std::string*>(user)->append(text, size);
}

void BM_Md4c_SameShape(benchmark::State& state) {
  const std::string& body = MarkdownCorpus();
  std::string html;
  for (auto _ : state) {
    html.clear();
    md_html(body.data(), static_cast<MD_SIZE>(body.size()), AppendOutput, &html, MD_DIALECT_GITHUB, 0);
    benchmark::DoNotOptimize(html.data());
  }
  CountBytes(state, body);
}
BENCHMARK(BM_Md4c_SameShape)->Unit(benchmark::kMillisecond);

void BM_Cmark_SameShape(benchmark::State& state) {
  const std::string& body = MarkdownCorpus();
  for (auto _ : state) {
    char* html = cmark_markdown_to_html(body.data(), body.size(), CMARK_OPT_DEFAULT | CMARK_OPT_UNSAFE);
    benchmark::DoNotOptimize(html);
    std::free(html);
  }
  CountBytes(state, body);
}
BENCHMARK(BM_Cmark_SameShape)->Unit(benchmark::kMillisecond);

// The baseline the cases below are measured against: 1 MB of plain prose.
void BM_Converter_PlainText(benchmark::State& state) {
  std::string body = "\n";
  while (body.size() < kCorpusBytes) body += "Plain words of ordinary prose without any markup at all in them.\n";
  RunConverter(state, body);
}
BENCHMARK(BM_Converter_PlainText)->Unit(benchmark::kMillisecond);

// One 1 MB line holding 20,000 inline groups of every kind.
void BM_Converter_OneLineManyGroups(benchmark::State& state) {
  std::string body = "\n";
  const char* groups[] = {"_[bold] ", "__[it] ", "*[a.html link] ", "![p.png] ", ".[c span] ", "#[n] "};
  for (int i = 0; i < 20000; ++i) {
    body += groups[i % 6];
    body += std::string(52 - (i % 6), 'w');
  }
  RunConverter(state, body);
}
BENCHMARK(BM_Converter_OneLineManyGroups)->Unit(benchmark::kMillisecond);

// One line of 20,000 groups nested inside each other.
void BM_Converter_OneLineNestedGroups(benchmark::State& state) {
  std::string body = "\n";
  const char* groups[] = {"_[", "*[a.html ", ".[c ", "__[", "![p.png "};
  for (int i = 0; i < 20000; ++i) body += groups[i % 5] + std::string(40, 'w') + " ";
  body += std::string(20000, ']');
  RunConverter(state, body);
}
BENCHMARK(BM_Converter_OneLineNestedGroups)->Unit(benchmark::kMillisecond);

// 100,000 list lines that climb to 50 levels deep and back.
void BM_Converter_DeepNesting(benchmark::State& state) {
  std::string body;
  for (int i = 0; i < 100000; ++i) {
    int level = i % 100 < 50 ? i % 50 : 49 - i % 50;
    body += std::string(2 * level, ' ') + "* item _[x]\n";
  }
  RunConverter(state, body);
}
BENCHMARK(BM_Converter_DeepNesting)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
