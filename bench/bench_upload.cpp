// Publishing a 1,000-file site (900 small pages, 80 style sheets and scripts, 20 pictures of
// 1 MB) to a loopback FTP server: the upload engine with one and with four connections, the
// changes-only runs with nothing and with one file to send, and lftp's "mirror -R" of the same
// folder to the same server. The full uploads run once more against a server that delays each
// reply by 2 ms, as a distant one would: on loopback the two processes share the machine's
// cores, so only there do parallel connections show what they save. The closing lines print
// the ratios the goals are stated in.
#include "publish/Uploader.h"

#include "publish/PublishServers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>
#include <map>
#include <string>

namespace {

using pw::TUploader;
using pw::TUploadOptions;
using pw::TUploadSettings;

constexpr int kPages = 900, kAssets = 80, kPictures = 20;
constexpr int kFiles = kPages + kAssets + kPictures;

struct TBench {
  QTemporaryDir Dir;
  QString Site;
  qint64 Bytes = 0;
  pw::tests::TFtpServer Server, Distant;
  bool Ok = false;
  QStringList Recorded;  // the digests of every file, as a full upload records them

  TBench() {
    Site = Dir.path() + "/site";
    QByteArray page(4096, 'p'), asset(20000, 'a'), picture(1 << 20, 'j');
    for (int i = 0; i < kFiles; ++i) {
      QByteArray* bytes = i < kPages ? &page : i < kPages + kAssets ? &asset : &picture;
      const QString name = i < kPages    ? QStringLiteral("section%1/page%2.html").arg(i / 100).arg(i)
                           : i < kPages + kAssets ? QStringLiteral("assets/file%1.css").arg(i)
                                                 : QStringLiteral("images/picture%1.jpg").arg(i);
      (*bytes)[0] = static_cast<char>(i);  // every file differs
      QDir().mkpath(QFileInfo(Site + "/" + name).path());
      QFile file(Site + "/" + name);
      if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()) return;
      Bytes += bytes->size();
    }
    TUploader::ScanFolder(Site, QString(), [this](const QString& path) {
      QString digest;
      TUploader::FileDigest(Site + "/" + QString(path).replace(u'\\', u'/'), digest);
      Recorded << path + u'=' + digest;
      return true;
    });
    // Every connection gets its own server process, so that the Python server is not what the
    // parallel runs measure.
    QString why;
    if (!Server.Start({.Tls = false, .ReadOnly = {}, .Multiprocess = true, .LatencyMs = 0}, &why) ||
        !Distant.Start({.Tls = false, .ReadOnly = {}, .Multiprocess = true, .LatencyMs = 2}, &why)) {
      std::fprintf(stderr, "cannot start the FTP server: %s\n", qPrintable(why));
      return;
    }
    Ok = true;
  }

  const pw::tests::TFtpServer& Peer(bool distant) const { return distant ? Distant : Server; }

  TUploadSettings Settings(bool changesOnly, bool distant = false) const {
    return {"127.0.0.1", QString::number(Peer(distant).Port()), "user", "secret", "/www", true, changesOnly};
  }

  void ClearRemote(bool distant) const {
    QDir(Peer(distant).Root() + "/www").removeRecursively();
    QDir().mkpath(Peer(distant).Root() + "/www");
  }
};

TBench& Bench() {
  static TBench bench;
  return bench;
}

std::map<std::string, double> gBest;  // fastest iteration of each benchmark, in seconds

void Keep(benchmark::State& state, const std::string& key, double seconds) {
  state.SetIterationTime(seconds);
  auto [it, added] = gBest.emplace(key, seconds);
  if (!added && seconds < it->second) it->second = seconds;
}

void Rates(benchmark::State& state, double files, double bytes) {
  state.counters["files_per_s"] = benchmark::Counter(files * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["MB_per_s"] = benchmark::Counter(bytes / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_FullUpload(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.Ok) return state.SkipWithError("no benchmark site or server");
  const bool distant = state.range(1) == 1;
  for (auto _ : state) {
    b.ClearRemote(distant);
    TUploader uploader(b.Site, b.Settings(false, distant), {});
    TUploadOptions options;
    options.Jobs = static_cast<int>(state.range(0));
    uploader.SetOptions(options);
    QElapsedTimer timer;
    timer.start();
    uploader.RunUpload();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!uploader.RunSucceeded() || uploader.UploadedFiles().size() != kFiles) {
      return state.SkipWithError("the upload failed");
    }
    Keep(state, (distant ? "distant" : "full") + std::to_string(state.range(0)), seconds);
  }
  Rates(state, kFiles, static_cast<double>(b.Bytes));
}
BENCHMARK(BM_FullUpload)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"jobs", "distant"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Changes only: no file changed (digests only, no connection), or one page changed.
void BM_ChangesOnly(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.Ok || b.Recorded.size() != kFiles) return state.SkipWithError("no benchmark site or server");
  const bool oneChanged = state.range(0) == 1;
  const QString changed = b.Site + "/section0/page0.html";
  if (oneChanged) b.ClearRemote(false);
  for (auto _ : state) {
    QStringList recorded = b.Recorded;
    if (oneChanged) recorded.replaceInStrings(QRegularExpression("^(section0\\\\page0\\.html)=.*"), "\\1=0");
    TUploader uploader(b.Site, b.Settings(true), recorded);
    QElapsedTimer timer;
    timer.start();
    uploader.RunUpload();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!uploader.RunSucceeded() || uploader.PendingFiles().size() != (oneChanged ? 1 : 0)) {
      return state.SkipWithError("the changes-only run went wrong");
    }
    Keep(state, oneChanged ? "one" : "nothing", seconds);
  }
  Rates(state, oneChanged ? 1 : 0, oneChanged ? 4096 : 0);
}
BENCHMARK(BM_ChangesOnly)->Arg(0)->Arg(1)->ArgName("changed")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LftpMirror(benchmark::State& state) {
  TBench& b = Bench();
  if (!b.Ok) return state.SkipWithError("no benchmark site or server");
  const QString lftp = QStandardPaths::findExecutable("lftp");
  if (lftp.isEmpty()) return state.SkipWithError("lftp is not installed (scripts/install-deps.sh installs it)");
  const QString script = QStringLiteral("set cmd:fail-exit yes; set ftp:passive-mode yes; mirror -R --parallel=%1 %2 /www; quit")
                             .arg(state.range(0))
                             .arg(b.Site);
  const bool distant = state.range(1) == 1;
  for (auto _ : state) {
    b.ClearRemote(distant);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(lftp, {"-u", "user,secret", "-p", QString::number(b.Peer(distant).Port()), "-e", script, "127.0.0.1"});
    const bool finished = process.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!finished || process.exitCode() != 0 || !QFile::exists(b.Peer(distant).Root() + "/www/images/picture999.jpg")) {
      return state.SkipWithError("lftp failed");
    }
    Keep(state, (distant ? "lftp-distant" : "lftp") + std::to_string(state.range(0)), seconds);
  }
  Rates(state, kFiles, static_cast<double>(b.Bytes));
}
BENCHMARK(BM_LftpMirror)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"parallel", "distant"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  auto best = [](const char* name) {
    auto it = gBest.find(name);
    return it == gBest.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
  };
  const double nothing = best("nothing");
  for (const char* where : {"", "distant"}) {
    const std::string server = where[0] ? "-distant" : "", ours = where[0] ? "distant" : "full";
    const double one = best((ours + "1").c_str()), four = best((ours + "4").c_str());
    const double lftp = best(("lftp" + server + "1").c_str()), lftp4 = best(("lftp" + server + "4").c_str());
    std::printf("%s server: one connection %.2f s, lftp mirror -R %.2f s, lftp/pagewick time ratio %.2f (goal >= 1); "
                "four connections %.2f s, %.2fx one (goal >= 2.5), lftp --parallel=4 %.2f s\n",
                where[0] ? "Distant (2 ms a reply)" : "Loopback", one, lftp, lftp / one, four, one / four, lftp4);
  }
  std::printf("Changes only with nothing to send: %.1f ms for %d files (goal <= 50 ms)\n", nothing * 1e3, kFiles);
  return 0;
}
