// The main window on a 5,000-page (about 600 KB) project: opening it until the window is idle,
// and one keystroke in the middle until the highlighting and the page list are current. Then
// the same two figures for a 20 MB page written on one line, which must stay usable.
#include "core/Module.h"
#include "core/ProjectFile.h"
#include "ui/MainForm.h"
#include "ui/ScintillaEditor.h"

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

std::string MakeContent(int pages) {
  std::string text = "$title Benchmark Site\n\n";
  for (int i = 0; i < pages; ++i) {
    text += "[page" + std::to_string(i) + ".html]\n$title Page " + std::to_string(i) + "\n";
    text += "= Heading {$title}\n\nSome _[bold] text with a *[http://example.org link] and more.\n";
  }
  return text;
}

QApplication& App() {
  static int argc = 1;
  static char name[] = "pw_bench_mainwindow";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct TSite {
  QTemporaryDir Dir;
  QString Project;
  size_t Bytes = 0;
  explicit TSite(std::string content = MakeContent(5000)) {
    qputenv("PAGEWICK_HOME", Dir.filePath("home").toUtf8());
    pw::TProjectFileData data;
    data.Content = std::move(content);
    Bytes = data.Content.size();
    Project = Dir.filePath("site.pwproj");
    pw::SaveProjectFile(Project, data);
  }
};

void Idle() { QCoreApplication::processEvents(); }

void BM_OpenProject(benchmark::State& state) {
  App();
  TSite site;
  pw::ui::TMainForm form;
  form.show();
  for (auto _ : state) {
    form.Module().LoadProject(site.Project);
    Idle();
    form.Editor().SendScintilla(QsciScintilla::SCI_COLOURISE, 0, 20000);
  }
  state.counters["pages"] = form.ContentListView().count() - 1;
  state.counters["bytes"] = static_cast<double>(site.Bytes);
  form.Editor().SetModified(false);
}
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Keystroke(benchmark::State& state) {
  App();
  TSite site;
  pw::ui::TMainForm form;
  form.show();
  form.Module().LoadProject(site.Project);
  Idle();
  auto& editor = form.Editor();
  const int line = editor.LineCount() / 2;
  editor.GoToLineCentred(line);
  Idle();
  int column = 0;
  for (auto _ : state) {
    editor.ReplaceRange({line, column}, {line, column}, QStringLiteral("x"));
    ++column;
    Idle();
    const long start = editor.SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
    editor.SendScintilla(QsciScintilla::SCI_COLOURISE, start, start + 200);
  }
  state.counters["pages"] = form.ContentListView().count() - 1;
  editor.SetModified(false);
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One page of 20 MB without a line break, words and a placeholder now and then.
std::string MakeSingleLine() {
  std::string text = "$title Long\n\n[long.html]\n";
  const std::string chunk = "Some words of a very long paragraph {$title} and more words. ";
  while (text.size() < 20u * 1024 * 1024) text += chunk;
  return text + "\n";
}

void Paint(pw::ui::TMainForm& form) {
  form.Editor().viewport()->repaint();
  Idle();
}

void BM_OpenSingleLinePage(benchmark::State& state) {
  App();
  TSite site(MakeSingleLine());
  pw::ui::TMainForm form;
  form.show();
  for (auto _ : state) {
    form.Module().LoadProject(site.Project);
    form.Editor().GoToLineCentred(3);
    Paint(form);
  }
  state.counters["bytes"] = static_cast<double>(site.Bytes);
  form.Editor().SetModified(false);
}
BENCHMARK(BM_OpenSingleLinePage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_KeystrokeInSingleLinePage(benchmark::State& state) {
  App();
  TSite site(MakeSingleLine());
  pw::ui::TMainForm form;
  form.show();
  form.Module().LoadProject(site.Project);
  auto& editor = form.Editor();
  editor.GoToLineCentred(3);
  Paint(form);
  int column = 1000;
  for (auto _ : state) {
    editor.ReplaceRange({3, column}, {3, column}, QStringLiteral("x"));
    ++column;
    Paint(form);
  }
  editor.SetModified(false);
}
BENCHMARK(BM_KeystrokeInSingleLinePage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
