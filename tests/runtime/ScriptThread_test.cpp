// Script threads through real scripts: bodies named and anonymous, data passed through the
// thread object, on-terminate and TerminateThreads, Synchronize, failing bodies, shutdown with a
// body that never stops, and many threads calling the runtime at once.
#include <gtest/gtest.h>

#include <memory>

#include "RuntimeFixture.h"
#include "support/QStringPrinter.h"
#include "runtime/ScriptThread.h"

namespace pw::tests {
namespace {

using TScriptThreadTest = RuntimeFixture;

TEST(ScriptThreadSource, SplitsNamesAsTheBodyIsCalled) {
  const struct {
    const char* Text;
    const char* Name;
    const char* Source;
  } cases[] = {
      {"function (a) { return 5; }", "main", "function main(a) { return 5; }"},
      {"function(){}", "main", "function main(){}"},
      {"function worker(x) {}", "worker", "function worker(x) {}"},
      {"FUNCTION  spaced  () {}", "spaced", "FUNCTION  spaced  () {}"},
      {"() => 5", "", ""},
      {"[object Object]", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const auto split = TScriptThread::SplitFunctionSource(QString::fromUtf8(c.Text));
    EXPECT_EQ(split.Name, QString::fromUtf8(c.Name)) << c.Text;
    EXPECT_EQ(split.Source, QString::fromUtf8(c.Source)) << c.Text;
  }
}

TEST_F(TScriptThreadTest, BodiesRunOnTheirOwnThreadAndHandBackResults) {
  Run(QStringLiteral(
      "var results = {};"
      "function record(key) { return function () { results[key] = String(this.Result); }; }"
      "function named() { return 'named ' + this.IsTerminated; }"
      "var base = 40;"
      "CreateThread(null, function () { return 5; }, record('anonymous'));"
      "CreateThread(null, named, record('named'));"
      "CreateThread(function () { this.input = 20; this.List = CreateObject('StringList'); },"
      "             function () { this.List.Add('from body'); return this.input + 1; },"
      "             function () { results.passed = this.Result + ':' + this.List.Line(0); });"
      "CreateThread(function () { this.tag = 'T'; },"
      "             function () { return this.Synchronize(function () { return base + 2 + this.tag; }); },"
      "             record('synchronized'));"
      "CreateThread(null, () => 5, record('arrow'));"));
  ASSERT_TRUE(WaitForThreads());
  const char* const expected[][2] = {
      {"anonymous", "5"},
      {"named", "named false"},
      {"passed", "21:from body"},
      {"synchronized", "42T"},
      // Not a function text: the thread runs nothing, and on-terminate still runs.
      {"arrow", "undefined"},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(Text(QStringLiteral("results['%1']").arg(QLatin1String(e[0]))), QString::fromUtf8(e[1])) << e[0];
  }
  EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(TScriptThreadTest, TerminateThreadsWaitsAndSkipsOnTerminate) {
  Run(QStringLiteral(
      "var ended = 'not called';"
      "CreateThread(null, function () { while (!this.IsTerminated) Pause(5); return 1; },"
      "             function () { ended = 'called'; });"));
  EXPECT_EQ(runtime.LiveThreads(), 1);
  Run(QStringLiteral("TerminateThreads();"));
  // It returned only once the thread had ended.
  EXPECT_EQ(runtime.LiveThreads(), 0);
  EXPECT_EQ(Text(QStringLiteral("ended")), QStringLiteral("not called"));
}

TEST_F(TScriptThreadTest, AThrowingBodyIsReportedAndStillEnds) {
  Run(QStringLiteral(
      "var thrown, synchronized;"
      "CreateThread(null, function () { throw new Error('body failed'); },"
      "             function () { thrown = typeof this.Result; });"
      "CreateThread(null, function () { return this.Synchronize(function () { return missing.value; }); },"
      "             function () { synchronized = typeof this.Result; });"));
  ASSERT_TRUE(WaitForThreads());
  EXPECT_EQ(Text(QStringLiteral("thrown + ',' + synchronized")), QStringLiteral("undefined,undefined"));
  ASSERT_EQ(errors.size(), 2) << errors.join(QLatin1Char('\n')).toStdString();
  errors.sort();
  EXPECT_EQ(errors[0], QStringLiteral("Can't find variable: missing"));
  EXPECT_EQ(errors[1], QStringLiteral("body failed"));
}

TEST_F(TScriptThreadTest, AFailingOnCreateStartsNoThreadAndThrowsToItsCaller) {
  EXPECT_EQ(ErrorOf(QStringLiteral("CreateThread(function () { throw new RangeError('not now'); },"
                                   " function () { return 1; }, null)")),
            QStringLiteral("not now"));
  EXPECT_EQ(runtime.LiveThreads(), 0);
  EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST(ScriptThreadShutdown, DestroyingTheRuntimeStopsABodyThatNeverLooks) {
  RuntimeApp();
  auto runtime = std::make_unique<TScriptRuntime>();
  runtime->SetLanguage(QStringLiteral("JavaScript"));
  runtime->AddCode(QStringLiteral("CreateThread(null, function () { for (;;) {} }, null);"));
  runtime->Start();
  EXPECT_EQ(runtime->LiveThreads(), 1);
  runtime.reset();  // returns: the endless body was interrupted
}

// Several threads call the runtime, a shared dictionary and a shared string list at once, and
// synchronise with the main script, while the main thread keeps calling the runtime too.
TEST_F(TScriptThreadTest, ManyThreadsHammerTheRuntimeAndSharedObjects) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  Run(QStringLiteral(
      "var shared = CreateObject('Dictionary'), lines = CreateObject('StringList'), synced = 0;"
      "function body() {"
      "  var ok = 0;"
      "  for (var i = 0; i < %1; ++i) {"
      "    if (TranslateChars('abc', 'b', 'x') == 'axc' && BinToHex(HexToBin('0a')) == '0A') ok++;"
      "    this.Shared.Add('k' + i, i);"
      "    this.Lines.Add(String(i));"
      "    this.Shared.Item['last'] = i;"
      "    if (i % 50 == 0) this.Synchronize(function () { synced++; });"
      "  }"
      "  return ok;"
      "}"
      "var total = 0;"
      "for (var t = 0; t < %2; ++t)"
      "  CreateThread(function () { this.Shared = shared; this.Lines = lines; }, body,"
      "               function () { total += this.Result; });")
          .arg(kRounds)
          .arg(kThreads));
  for (int i = 0; i < 200 && runtime.LiveThreads() > 0; ++i) {
    EXPECT_EQ(Text(QStringLiteral("Trim(' main ')")), QStringLiteral("main"));
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(WaitForThreads(20000));
  EXPECT_EQ(Text(QStringLiteral("total")), QString::number(kThreads * kRounds));
  EXPECT_EQ(Text(QStringLiteral("shared.Length")), QString::number(kThreads * kRounds + 1));
  EXPECT_EQ(Text(QStringLiteral("lines.Length")), QString::number(kThreads * kRounds));
  EXPECT_EQ(Text(QStringLiteral("synced")), QString::number(kThreads * (kRounds / 50)));
  EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
}  // namespace pw::tests
