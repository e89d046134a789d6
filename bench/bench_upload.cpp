// Publishing a 1,000-file site (900 small pages, 80 style sheets and scripts, 20 pictures of
// 1 MB) to a loopback FTP server: the upload engine with one and with four connections, the
// changes-only runs with nothing and with one file to send, and lftp's "mirror -R" of the same
// folder to the same server, with one connection and with four (--parallel=4). The server runs
// every connection in a process of its own, so that one Python process is not what the
// parallel runs measure.
//
// The server keeps what it receives in memory (/dev/shm) where the machine has it: on a disk
// folder emptied of the last run's thousand files, creating each file cost this machine's ext4
// most of a millisecond, one file at a time, and that cost of the test machine's disk hid
// the transfers of every client alike.
//
// The full uploads run twice: on plain loopback, and against a server that delays each reply
// by 2 ms as a distant one would. On loopback nothing waits on the network: client and server
// share the machine's cores, and a single connection already keeps much of them busy, so
// parallel connections can only win what the cores have left. To show that, each run also
// notes the client's and the server's CPU time and how many of the machine's cores were busy
// during it (client, server and anything else running). The closing lines print the medians
// and the ratios the goals are stated in.
#include "publish/Uploader.h"

#include "publish/FileDigests.h"

#include "publish/PublishServers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using pw::TUploader;
using pw::TUploadOptions;
using pw::TUploadSettings;

constexpr int kPages = 900, kAssets = 80, kPictures = 20;
constexpr int kFiles = kPages + kAssets + kPictures;

QString ServerParent() { return QFileInfo("/dev/shm").isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath(); }

struct TBench {
  QTemporaryDir Dir;
  QString Site;
  qint64 Bytes = 0;
  pw::tests::TFtpServer Server{ServerParent()}, Distant{ServerParent()};
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

double Seconds(const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; }

// CPU time, in seconds, of a process and its children, the ones that ended included: a server
// that serves every connection from a process of its own is measured whole.
double ProcessTreeCpu(qint64 root) {
  if (root <= 0) return 0;
  const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
  double total = 0;
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number) continue;
    QFile file("/proc/" + entry + "/stat");
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QByteArray line = file.readAll();
    // The fields after the command name, which may hold blanks: state, ppid, ... utime is the
    // 12th of them, then stime, cutime, cstime.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 15 || (pid != root && fields[1].toLongLong() != root)) continue;
    for (int i = 11; i <= 14; ++i) total += fields[i].toDouble() / tick;
  }
  return total;
}

// CPU times in seconds: this process, its children that ended (lftp), the FTP server, and the
// whole machine (busy time of all its cores).
struct TCpuSample {
  double Own = 0, Children = 0, Server = 0, Machine = 0;

  static TCpuSample Now(qint64 server) {
    TCpuSample sample;
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) == 0) sample.Own = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    if (::getrusage(RUSAGE_CHILDREN, &usage) == 0) {
      sample.Children = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    sample.Server = ProcessTreeCpu(server);
    std::ifstream stat("/proc/stat");
    std::string cpu;
    double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    if (stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal) {
      sample.Machine = (user + nice + system + irq + softirq + steal) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    return sample;
  }
};

// Per run: wall time, the client's and the server's CPU time, and the machine's busy time.
struct TRunTimes {
  std::vector<double> Wall, Client, Server, Machine;
};
std::map<std::string, TRunTimes> gRuns;

double Median(std::vector<double> values) {
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Times one run of body under key, with the CPU that the client (this process, or the child
// it ran) and the server spent meanwhile.
template <class TBody>
void Measure(benchmark::State& state, const std::string& key, qint64 server, TBody body) {
  const TCpuSample before = TCpuSample::Now(server);
  QElapsedTimer timer;
  timer.start();
  body();
  const double seconds = timer.nsecsElapsed() / 1e9;
  TCpuSample after = TCpuSample::Now(server);
  // The server's connection processes end as the client logs out; give them a moment to be
  // counted.
  if (server) {
    QThread::msleep(100);
    after.Server = TCpuSample::Now(server).Server;
  }
  state.SetIterationTime(seconds);
  TRunTimes& runs = gRuns[key];
  runs.Wall.push_back(seconds);
  runs.Client.push_back(after.Own - before.Own + after.Children - before.Children);
  runs.Server.push_back(after.Server - before.Server);
  runs.Machine.push_back(after.Machine - before.Machine);
  state.counters["client_cpu_s"] = Median(runs.Client);
  state.counters["server_cpu_s"] = Median(runs.Server);
  state.counters["busy_cores"] = Median(runs.Machine) / Median(runs.Wall);
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
    Measure(state, (distant ? "distant" : "full") + std::to_string(state.range(0)), b.Peer(distant).ProcessId(), [&] { uploader.RunUpload(); });
    if (!uploader.RunSucceeded() || uploader.UploadedFiles().size() != kFiles) {
      return state.SkipWithError("the upload failed");
    }
  }
  Rates(state, kFiles, static_cast<double>(b.Bytes));
}
BENCHMARK(BM_FullUpload)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"jobs", "distant"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

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
    Measure(state, oneChanged ? "one" : "nothing", 0, [&] { uploader.RunUpload(); });
    if (!uploader.RunSucceeded() || uploader.PendingFiles().size() != (oneChanged ? 1 : 0)) {
      return state.SkipWithError("the changes-only run went wrong");
    }
  }
  Rates(state, oneChanged ? 1 : 0, oneChanged ? 4096 : 0);
}
BENCHMARK(BM_ChangesOnly)->Arg(0)->Arg(1)->ArgName("changed")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

// The site's digests alone, with each engine this processor runs: what the vector lanes buy
// over hashing one file at a time on every core.
void BM_SiteDigests(benchmark::State& state) {
  TBench& b = Bench();
  const auto engine = static_cast<pw::TDigestEngine>(state.range(0));
  if (!pw::DigestEngineSupported(engine)) return state.SkipWithError("this processor cannot run the engine");
  QStringList paths;
  TUploader::ScanFolder(b.Site, QString(), [&](const QString& path) {
    paths << b.Site + u'/' + QString(path).replace(u'\\', u'/');
    return true;
  });
  for (auto _ : state) {
    Measure(state, "digests" + std::to_string(state.range(0)), 0, [&] { pw::DigestFiles(paths, engine); });
  }
  Rates(state, kFiles, static_cast<double>(b.Bytes));
}
BENCHMARK(BM_SiteDigests)
    ->DenseRange(0, 2)
    ->ArgName("engine")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

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
    bool finished = false;
    Measure(state, (distant ? "lftp-distant" : "lftp") + std::to_string(state.range(0)), b.Peer(distant).ProcessId(),
            [&] {
      process.start(lftp, {"-u", "user,secret", "-p", QString::number(b.Peer(distant).Port()), "-e", script, "127.0.0.1"});
      finished = process.waitForFinished(-1);
    });
    if (!finished || process.exitCode() != 0 || !QFile::exists(b.Peer(distant).Root() + "/www/images/picture999.jpg")) {
      return state.SkipWithError("lftp failed");
    }
  }
  Rates(state, kFiles, static_cast<double>(b.Bytes));
}
BENCHMARK(BM_LftpMirror)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"parallel", "distant"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  auto median = [](const std::string& key) { return Median(gRuns[key].Wall); };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::printf("\nMedians of the runs above, on a machine of %u cores:\n", cores);
  for (const bool distant : {false, true}) {
    const std::string ours = distant ? "distant" : "full", theirs = distant ? "lftp-distant" : "lftp";
    const double one = median(ours + "1"), four = median(ours + "4");
    const double lftp = median(theirs + "1"), lftp4 = median(theirs + "4");
    std::printf("%s\n", distant ? "Server 2 ms away (each reply delayed by 2 ms):" : "Plain loopback:");
    std::printf("  one connection %.2f s; lftp mirror -R %.2f s; lftp/pagewick %.2f (goal >= 1)\n", one, lftp,
                lftp / one);
    std::printf("  four connections %.2f s, %.2fx one (goal >= 2.5); lftp --parallel=4 %.2f s, %.2fx lftp's one; "
                "lftp/pagewick %.2f\n",
                four, one / four, lftp4, lftp / lftp4, lftp4 / four);
    // How much of the machine one connection's run takes: client and server together, and
    // everything that ran meanwhile. Where they fill the cores, parallel connections have
    // little left to gain.
    const TRunTimes& runs = gRuns[ours + "1"];
    const double client = Median(runs.Client), server = Median(runs.Server);
    std::printf("  one connection: client %.2f s CPU, server %.2f s CPU, %.2f cores' worth over its %.2f s; the "
                "machine's %u cores were %.2f busy with everything else running\n",
                client, server, (client + server) / one, one, cores, Median(runs.Machine) / one);
  }
  std::printf("Changes only with nothing to send: %.1f ms for %d files (goal <= 50 ms); one file changed: %.1f ms\n",
              median("nothing") * 1e3, kFiles, median("one") * 1e3);
  std::printf("The site's digests alone: %.1f ms one file at a time per core, %.1f ms in AVX2 lanes, %.1f ms in "
              "AVX-512 lanes\n",
              median("digests0") * 1e3, median("digests1") * 1e3, median("digests2") * 1e3);
  return 0;
}
