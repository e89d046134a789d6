// Requests per second of `pagewick-cli serve` on loopback: a 20 KB page that pastes in two
// include files, fetched over one kept-alive connection, and over a new connection each time.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

void Write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) std::abort();
}

// A served site for the whole run: the server starts on first use and stops at exit.
class TServedSite {
 public:
  static TServedSite& Instance() {
    static TServedSite site;
    return site;
  }
  const std::string& PageUrl() const { return FPageUrl; }
  size_t PageSize() const { return FPageSize; }

 private:
  TServedSite() {
    const QString root = FDir.path() + "/";
    Write(root + "site.pwproj", "<?xml version=\"1.0\"?><project><content>[index.html]\nx\n</content></project>");
    QByteArray page = "<html><head><title>Bench</title></head><body>\n<!--#include virtual=\"/inc/menu.html\"-->\n";
    while (page.size() < 20 * 1024 - 200) {
      page += "<p>Paragraph text of the benchmark page, long enough to fill a line.</p>\n";
    }
    page += "<?php include('inc/footer.php') ?>\n</body></html>\n";
    Write(root + "html/page.html", page);
    Write(root + "html/inc/menu.html", "<ul><li><a href=\"/\">Home</a></li><li><a href=\"/b.html\">B</a></li></ul>");
    Write(root + "html/inc/footer.php", "<footer>Footer</footer>");

    FServer.start(PW_CLI_PATH, {"serve", root + "site.pwproj", "--port", "0", "--no-build"});
    QString first;
    while (!first.contains('\n') && FServer.waitForReadyRead(30000)) first += FServer.readAllStandardOutput();
    first = first.section('\n', 0, 0);
    if (!first.startsWith("Serving ")) {
      std::fprintf(stderr, "serve did not start: %s\n", qPrintable(FServer.readAllStandardError()));
      std::abort();
    }
    FPageUrl = first.mid(8).toStdString() + "page.html";
    FPageSize = static_cast<size_t>(page.size());
  }
  ~TServedSite() {
    FServer.terminate();
    FServer.waitForFinished(10000);
  }

  QTemporaryDir FDir;
  QProcess FServer;
  std::string FPageUrl;
  size_t FPageSize = 0;
};

size_t Count(char*, size_t size, size_t count, void* total) {
  *static_cast<size_t*>(total) += size * count;
  return size * count;
}

void Fetch(benchmark::State& state, bool keepAlive) {
  TServedSite& site = TServedSite::Instance();
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  size_t received = 0;
  curl_easy_setopt(curl.get(), CURLOPT_URL, site.PageUrl().c_str());
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Count);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(curl.get(), CURLOPT_FORBID_REUSE, keepAlive ? 0L : 1L);
  for (auto _ : state) {
    if (curl_easy_perform(curl.get()) != CURLE_OK) {
      state.SkipWithError("request failed");
      break;
    }
  }
  // Two includes add their bytes to the page: a short body means they were not pasted in.
  if (state.iterations() > 0 && received / state.iterations() < site.PageSize()) {
    state.SkipWithError("short page");
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(received));
}

void BM_ServePageKeepAlive(benchmark::State& state) { Fetch(state, true); }
void BM_ServePageNewConnection(benchmark::State& state) { Fetch(state, false); }

}  // namespace

BENCHMARK(BM_ServePageKeepAlive)->UseRealTime();
BENCHMARK(BM_ServePageNewConnection)->UseRealTime();
BENCHMARK_MAIN();
