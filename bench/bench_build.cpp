// The whole site build: pagewick-cli against Hugo on the same generated site of 10,000 pages
// (a menu fragment, variables, a template with placeholders, a style sheet with a picture).
// Both run as subprocesses into a fresh output folder; the closing line prints their ratio.
#include "core/ProjectFile.h"
#include "platform/FileIO.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <cstdio>
#include <limits>
#include <string>

namespace {

constexpr int kPages = 10000;
constexpr int kMenuItems = 8;

const char kPicture[] = "\x89PNG\r\n\x1a\n";  // only copied, never decoded

const char kStyleSheet[] =
    "body { margin: 0; font-family: sans-serif; background: #fff url(../images/bg.png) repeat; }\n"
    "nav ul { list-style: none; } nav li { display: inline; margin-right: 1em; }\n"
    "main { max-width: 760px; margin: 0 auto; }\n";

std::string Number(int i) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%05d", i);
  return buffer;
}

// How each language writes the constructs a page uses.
struct TSyntax {
  const char* heading1;
  const char* heading2;
  std::string (*strong)(const std::string& text);
  std::string (*emphasis)(const std::string& text);
  std::string (*link)(const std::string& address, const std::string& text);
};

const TSyntax kMarkup{
    "= ", "== ", [](const std::string& t) { return "_[" + t + "]"; },
    [](const std::string& t) { return "__[" + t + "]"; },
    [](const std::string& a, const std::string& t) { return "*[" + a + " " + t + "]"; }};
const TSyntax kMarkdown{
    "# ", "## ", [](const std::string& t) { return "**" + t + "**"; },
    [](const std::string& t) { return "*" + t + "*"; },
    [](const std::string& a, const std::string& t) { return "[" + t + "](" + a + ")"; }};

// The body of page i.
std::string PageBody(int i, const TSyntax& s) {
  std::string n = std::to_string(i);
  return s.heading1 + ("Page " + n + "\n\n") +
         "This is page " + n + " of the " + s.strong("benchmark") + " site, with " + s.emphasis("some") +
         " words and a " + s.link("page" + Number((i + 1) % kPages) + ".html", "link to the next page") + ".\n"
         "A second line of the same paragraph with more text to convert.\n\n" +
         s.heading2 + "Details\n\n"
         "* First point about page " + n + "\n"
         "* Second point with " + s.strong("bold") + " text\n"
         "* Third point\n\n"
         "The end of page " + n + ".\n";
}

// The sites and outputs live on tmpfs (/dev/shm) when there is one, so the figures measure the
// builds rather than the disk; PW_BENCH_DIR names another folder (a disk) to compare.
QString BenchFolder() {
  const QString chosen = qEnvironmentVariable("PW_BENCH_DIR");
  if (!chosen.isEmpty()) return chosen;
  return QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

struct TSites {
  QTemporaryDir dir{BenchFolder() + "/pw-bench-XXXXXX"};
  QString pagewickProject;
  QString scriptedProject;  // the same site with a pre-build hook, a section handler and a function per page
  QString hugoSource;
  bool ok = false;

  TSites() {
    if (!dir.isValid()) return;
    // PW_BENCH_KEEP leaves the sites behind for profiling a build by hand.
    if (qEnvironmentVariableIsSet("PW_BENCH_KEEP")) {
      dir.setAutoRemove(false);
      std::fprintf(stderr, "Sites kept in %s\n", qPrintable(dir.path()));
    }
    const QString root = dir.path() + "/";
    using pw::platform::WriteWholeFile;

    // Pagewick project.
    std::string content = "$title Benchmark Site\n$site Benchmark\n$footer Generated for the build benchmark\n\n[menu]\n";
    for (int m = 0; m < kMenuItems; ++m)
      content += "* *[page" + Number(m) + ".html Section " + std::to_string(m) + "]\n";
    for (int i = 0; i < kPages; ++i) {
      content += "\n[page" + Number(i) + ".html]\n$title Page " + std::to_string(i) + "\n$description Description of page " +
                 std::to_string(i) + "\n";
      content += PageBody(i, kMarkup);
    }
    pw::TProjectFileData data;
    data.Content = content;
    pagewickProject = root + "pw/bench.pwproj";
    const std::string pageTemplate =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"{$charset}\">\n<title>{$title} - {$site}</title>\n"
        "<meta name=\"description\" content=\"{$description}\">\n<link rel=\"stylesheet\" href=\"css/style.css\">\n"
        "</head>\n<body>\n<nav>\n{$menu}\n</nav>\n<main>\n{$content}\n</main>\n<footer>{$footer}</footer>\n</body>\n</html>\n";
    ok = pw::SaveProjectFile(pagewickProject, data) &&
         WriteWholeFile(root + "pw/template/index.html", pageTemplate) &&
         WriteWholeFile(root + "pw/template/css/style.css", kStyleSheet) &&
         WriteWholeFile(root + "pw/template/images/bg.png", kPicture);
    // The scripted site: every page calls a script function, every section meets a handler.
    scriptedProject = root + "pws/bench.pwproj";
    std::string scriptedTemplate = pageTemplate;
    scriptedTemplate.replace(scriptedTemplate.find("{$footer}"), 9, "{$footer} {$shout($title)}");
    ok = ok && pw::SaveProjectFile(scriptedProject, data) &&
         WriteWholeFile(root + "pws/template/index.html", scriptedTemplate) &&
         WriteWholeFile(root + "pws/template/template.js",
                        "var pages = 0;\n"
                        "AddPreBuild(function () { this.SetVar('built', 'yes'); });\n"
                        "AddSectionHandler(function (section) { pages++; return false; });\n"
                        "function shout(text) { return String(text).toUpperCase(); }\n") &&
         WriteWholeFile(root + "pws/template/css/style.css", kStyleSheet) &&
         WriteWholeFile(root + "pws/template/images/bg.png", kPicture);

    // The same site for Hugo: front matter for the variables, a partial for the menu.
    hugoSource = root + "hugo/";
    std::string menu = "<ul>\n";
    for (int m = 0; m < kMenuItems; ++m)
      menu += "<li><a href=\"page" + Number(m) + ".html\">Section " + std::to_string(m) + "</a></li>\n";
    menu += "</ul>";
    ok = ok &&
         WriteWholeFile(hugoSource + "config.toml",
                        "baseURL = \"/\"\ntitle = \"Benchmark Site\"\nuglyURLs = true\n"
                        "disableKinds = [\"taxonomy\", \"term\", \"RSS\", \"sitemap\", \"robotsTXT\", \"404\", \"home\", \"section\"]\n"
                        "[params]\nsite = \"Benchmark\"\nfooter = \"Generated for the build benchmark\"\n") &&
         WriteWholeFile(hugoSource + "layouts/_default/single.html",
                        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>{{ .Title }} - {{ .Site.Params.site }}</title>\n"
                        "<meta name=\"description\" content=\"{{ .Params.description }}\">\n<link rel=\"stylesheet\" href=\"css/style.css\">\n"
                        "</head>\n<body>\n<nav>\n{{ partial \"menu.html\" . }}\n</nav>\n<main>\n{{ .Content }}\n</main>\n"
                        "<footer>{{ .Site.Params.footer }}</footer>\n</body>\n</html>\n") &&
         WriteWholeFile(hugoSource + "layouts/partials/menu.html", menu) &&
         WriteWholeFile(hugoSource + "static/css/style.css", kStyleSheet) &&
         WriteWholeFile(hugoSource + "static/images/bg.png", kPicture);
    for (int i = 0; ok && i < kPages; ++i) {
      std::string page = "---\ntitle: \"Page " + std::to_string(i) + "\"\ndescription: \"Description of page " +
                         std::to_string(i) + "\"\n---\n" + PageBody(i, kMarkdown);
      ok = WriteWholeFile(hugoSource + "content/page" + QString::fromStdString(Number(i)) + ".md", page);
    }
  }
};

TSites& Sites() {
  static TSites sites;
  return sites;
}

// Best wall times: plain build, Hugo, unchanged rebuild, scripted build.
double gBestSeconds[4] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};

// Runs program once into output; the wall time in seconds, or -1 when it failed or did not write
// the expected pages (both builds must write the same pages for the comparison to hold).
double TimeBuild(const QString& program, const QStringList& args, const QString& output) {
  QElapsedTimer timer;
  timer.start();
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(program, args);
  bool finished = process.waitForFinished(-1);
  double seconds = timer.nsecsElapsed() / 1e9;
  if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return -1;
  if (!QFile::exists(output + "/page00000.html") || !QFile::exists(output + "/page09999.html") ||
      !QFile::exists(output + "/images/bg.png"))
    return -1;
  return seconds;
}

// Runs program into a fresh output folder, once per iteration (or, with fresh false, into the
// folder a first untimed run filled); reports the wall time. which < 0: no best time kept.
void RunBuild(benchmark::State& state, int which, const QString& program, const QStringList& args,
              const QString& output, bool fresh = true) {
  if (!Sites().ok) {
    state.SkipWithError("cannot write the benchmark sites");
    return;
  }
  QDir(output).removeRecursively();
  if (!fresh) {
    QProcess first;
    first.setStandardOutputFile(QProcess::nullDevice());
    first.start(program, args);
    if (!first.waitForFinished(-1) || first.exitStatus() != QProcess::NormalExit || first.exitCode() != 0) {
      state.SkipWithError("the first build failed");
      return;
    }
  }
  for (auto _ : state) {
    state.PauseTiming();
    if (fresh) QDir(output).removeRecursively();
    state.ResumeTiming();
    const double seconds = TimeBuild(program, args, output);
    if (seconds < 0) {
      state.SkipWithError("the build failed or did not write the expected pages");
      return;
    }
    state.SetIterationTime(seconds);
    if (which >= 0 && seconds < gBestSeconds[which]) gBestSeconds[which] = seconds;
  }
  state.counters["pages_per_s"] = benchmark::Counter(kPages * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_PagewickBuild10k(benchmark::State& state) {
  QString out = Sites().dir.path() + "/pw-out";
  RunBuild(state, 0, PW_CLI_PATH, {"build", Sites().pagewickProject, "--out", out, "--quiet"}, out);
}
BENCHMARK(BM_PagewickBuild10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// A rebuild with nothing changed: every file is compared and none is written.
void BM_PagewickRebuildUnchanged10k(benchmark::State& state) {
  QString out = Sites().dir.path() + "/pw-same";
  RunBuild(state, 2, PW_CLI_PATH, {"build", Sites().pagewickProject, "--out", out, "--quiet"}, out, false);
}
BENCHMARK(BM_PagewickRebuildUnchanged10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The same site with a pre-build hook, a section handler and a placeholder function on every page.
void BM_PagewickScriptedBuild10k(benchmark::State& state) {
  QString out = Sites().dir.path() + "/pws-out";
  RunBuild(state, 3, PW_CLI_PATH, {"build", Sites().scriptedProject, "--out", out, "--quiet"}, out);
}
BENCHMARK(BM_PagewickScriptedBuild10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_HugoBuild10k(benchmark::State& state) {
  QString hugo = QStandardPaths::findExecutable("hugo");
  if (hugo.isEmpty()) {
    state.SkipWithError("hugo is not installed");
    return;
  }
  QString out = Sites().dir.path() + "/hugo-out";
  RunBuild(state, 1, hugo, {"--quiet", "--source", Sites().hugoSource, "--destination", out}, out);
}
BENCHMARK(BM_HugoBuild10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The two cold builds taken in turns, so that a spell of load on a shared machine weighs on both
// alike: the ratio of each pair, and of the best times.
double gPairRatio = -1, gPairBestRatio = -1;
void BM_PagewickAgainstHugoInTurns10k(benchmark::State& state) {
  const QString hugo = QStandardPaths::findExecutable("hugo");
  if (hugo.isEmpty() || !Sites().ok) {
    state.SkipWithError("hugo is not installed, or the sites cannot be written");
    return;
  }
  const QString pwOut = Sites().dir.path() + "/pw-turns", hugoOut = Sites().dir.path() + "/hugo-turns";
  std::vector<double> ratios;
  double bestPw = std::numeric_limits<double>::infinity(), bestHugo = bestPw;
  for (auto _ : state) {
    state.PauseTiming();
    QDir(pwOut).removeRecursively();
    QDir(hugoOut).removeRecursively();
    const double pw = TimeBuild(PW_CLI_PATH, {"build", Sites().pagewickProject, "--out", pwOut, "--quiet"}, pwOut);
    const double other =
        TimeBuild(hugo, {"--quiet", "--source", Sites().hugoSource, "--destination", hugoOut}, hugoOut);
    state.ResumeTiming();
    if (pw < 0 || other < 0) {
      state.SkipWithError("a build failed or did not write the expected pages");
      return;
    }
    ratios.push_back(pw / other);
    bestPw = std::min(bestPw, pw);
    bestHugo = std::min(bestHugo, other);
    state.SetIterationTime(pw);
  }
  std::sort(ratios.begin(), ratios.end());
  gPairRatio = ratios[ratios.size() / 2];
  gPairBestRatio = bestPw / bestHugo;
  state.counters["median_ratio"] = gPairRatio;
}
BENCHMARK(BM_PagewickAgainstHugoInTurns10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gBestSeconds[0] < std::numeric_limits<double>::infinity() &&
      gBestSeconds[1] < std::numeric_limits<double>::infinity()) {
    std::printf("Best of each: pagewick-cli %.0f ms, hugo %.0f ms; pagewick/hugo time ratio %.2f\n",
                gBestSeconds[0] * 1e3, gBestSeconds[1] * 1e3, gBestSeconds[0] / gBestSeconds[1]);
    if (gBestSeconds[2] < std::numeric_limits<double>::infinity())
      std::printf("Unchanged rebuild %.0f ms (%.3f of hugo's build)\n", gBestSeconds[2] * 1e3,
                  gBestSeconds[2] / gBestSeconds[1]);
  }
  if (gPairRatio >= 0)
    std::printf("In turns with hugo: median pagewick/hugo ratio %.3f, of the best times %.3f\n", gPairRatio,
                gPairBestRatio);
  if (gBestSeconds[3] < std::numeric_limits<double>::infinity())
    std::printf("Scripted build %.0f ms beside the plain %.0f ms\n", gBestSeconds[3] * 1e3, gBestSeconds[0] * 1e3);
  std::printf("Sites and output in %s\n", qPrintable(BenchFolder()));
  return 0;
}
