// Runs pagewick-cli serve on a project the tests write and talks to it over HTTP with libcurl.
#include "support/CliRunner.h"

#include <curl/curl.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace pw::tests;

struct THttpReply {
  long Status = 0;
  std::map<std::string, std::string> Headers;  // names in lower case
  std::string Body;
  CURLcode Code = CURLE_OK;
};

size_t AppendBody(char* data, size_t size, size_t count, void* reply) {
  static_cast<THttpReply*>(reply)->Body.append(data, size * count);
  return size * count;
}

size_t AddHeader(char* data, size_t size, size_t count, void* reply) {
  const std::string line(data, size * count);
  const size_t colon = line.find(':');
  if (colon != std::string::npos) {
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of("\r\n") + 1);
    static_cast<THttpReply*>(reply)->Headers[name] = value;
  }
  return size * count;
}

// One request on a connection of its own. The path goes out as written ("/../x" included).
THttpReply Request(const std::string& url, const char* method = "GET") {
  THttpReply reply;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, AddHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
  if (std::string(method) == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else if (std::string(method) != "GET") {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method);
  }
  reply.Code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.Status);
  curl_easy_cleanup(curl);
  return reply;
}

class CmdServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/";
    Put(root + "site/template/index.html",
        "<html><body><img src=\"img/bg.png\"><h1>{$title}</h1>{$content}<!--#include virtual=\"/inc/menu.html\"-->"
        "<?php include('inc/footer.php') ?></body></html>");
    Put(root + "site/template/img/bg.png", "\x89PNG\r\n\x1a\nbytes");
    WriteProject("Hello");
    Put(root + "site/html/inc/menu.html", "[menu]");
    Put(root + "site/html/inc/footer.php", "[footer]");
    Put(root + "secret.html", "secret");
    Put(root + QString::fromUtf8("site/html/страница.html"), "cyrillic");
  }

  void TearDown() override {
    if (server.state() != QProcess::NotRunning) {
      server.terminate();
      if (!server.waitForFinished(10000)) server.kill();
      server.waitForFinished(10000);
    }
  }

  void WriteProject(const QByteArray& body) {
    Put(root + "site/site.pwproj",
        "<?xml version=\"1.0\"?><project><content>[index.html]\n$title Home\n" + body +
            "\n[b.html]\n$title B\nBee\n</content></project>");
  }

  // Starts the server and returns its address, "http://127.0.0.1:PORT".
  std::string Start(const QStringList& extra = {}) {
    server.start(PW_CLI_PATH, QStringList{"serve", root + "site/site.pwproj", "--port", "0"} + extra);
    while (!stdoutText.contains('\n') && server.waitForReadyRead(30000)) stdoutText += server.readAllStandardOutput();
    const QString first = stdoutText.section('\n', 0, 0);
    EXPECT_TRUE(first.startsWith("Serving http://127.0.0.1:")) << first.toStdString()
                                                                  << server.readAllStandardError().toStdString();
    return first.mid(QString("Serving ").size()).chopped(1).toStdString();
  }

  // Waits (up to a minute) for the server to print a line holding text.
  bool WaitForOutput(const QString& text) {
    for (int i = 0; i < 600 && !stdoutText.contains(text); ++i) {
      server.waitForReadyRead(100);
      stdoutText += server.readAllStandardOutput();
    }
    return stdoutText.contains(text);
  }

  QTemporaryDir dir;
  QString root;
  QProcess server;
  QString stdoutText;
};

TEST_F(CmdServeTest, ServesPagesWithIncludesTypesLengthsAndErrorStatuses) {
  const std::string base = Start();
  const THttpReply page = Request(base + "/");
  EXPECT_EQ(page.Status, 200);
  EXPECT_EQ(page.Headers.at("content-type"), "text/html");
  EXPECT_EQ(page.Headers.at("content-length"), std::to_string(page.Body.size()));
  EXPECT_NE(page.Body.find("<h1>Home</h1>"), std::string::npos) << page.Body;
  EXPECT_NE(page.Body.find("[menu][footer]"), std::string::npos) << page.Body;
  EXPECT_NE(page.Body.find("EventSource"), std::string::npos);  // live reload in serve mode

  const THttpReply head = Request(base + "/index.html", "HEAD");
  EXPECT_EQ(head.Status, 200);
  EXPECT_EQ(head.Headers.at("content-length"), std::to_string(page.Body.size()));
  EXPECT_TRUE(head.Body.empty());

  const THttpReply picture = Request(base + "/img/bg.png");
  EXPECT_EQ(picture.Status, 200);
  EXPECT_EQ(picture.Headers.at("content-type"), "image/png");
  EXPECT_EQ(picture.Body, "\x89PNG\r\n\x1a\nbytes");

  const struct {
    const char* Path;
    long Status;
  } cases[] = {
      {"/missing.html", 404},
      {"/b.html?x=1", 200},  // the query is not part of the file name here
      {"/docs/../b.html", 200},
      {"/%D1%81%D1%82%D1%80%D0%B0%D0%BD%D0%B8%D1%86%D0%B0.html", 200},  // names are decoded here
      {"/../secret.html", 404},
      {"/%2e%2e/secret.html", 404},
      {"/..%2fsecret.html", 404},
      {"/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd", 404},
      {"//etc/passwd", 404},
  };
  for (const auto& c : cases) {
    const THttpReply reply = Request(base + c.Path);
    EXPECT_EQ(reply.Status, c.Status) << c.Path;
    EXPECT_EQ(reply.Body.find("secret"), std::string::npos) << c.Path;
    if (c.Status == 404) {
      EXPECT_NE(reply.Body.find("Page not found"), std::string::npos) << c.Path;
      EXPECT_EQ(reply.Headers.at("content-type"), "text/html; charset=utf-8") << c.Path;
    }
  }
  EXPECT_EQ(Request(base + "/b.html", "POST").Status, 405);
}

TEST_F(CmdServeTest, RebuildsAfterTheProjectChangesAndTellsOpenPagesToReload) {
  const std::string base = Start();
  std::mutex lock;
  std::string events;
  // Listens like the page's script does, until the stream names a second build.
  std::thread listener([&] {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, (base + "/__pagewick/events").c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    auto onData = +[](char* data, size_t size, size_t count, void* self) -> size_t {
      auto* context = static_cast<std::pair<std::mutex*, std::string*>*>(self);
      std::lock_guard guard(*context->first);
      context->second->append(data, size * count);
      return context->second->find("data: 2\n") == std::string::npos ? size * count : 0;
    };
    std::pair<std::mutex*, std::string*> context{&lock, &events};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &context);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
  });
  for (int i = 0; i < 600; ++i) {
    {
      std::lock_guard guard(lock);
      if (events.find("data: 1\n") != std::string::npos) break;
    }
    QThread::msleep(50);
  }

  // A change in the second the last build saw must still count, whatever the file times.
  QThread::msleep(1100);
  WriteProject("Changed text");
  listener.join();
  {
    std::lock_guard guard(lock);
    EXPECT_NE(events.find("data: 2\n"), std::string::npos) << events;
  }
  EXPECT_TRUE(WaitForOutput("Rebuilt:")) << stdoutText.toStdString();
  const THttpReply page = Request(base + "/index.html");
  EXPECT_NE(page.Body.find("Changed text"), std::string::npos) << page.Body;
  EXPECT_NE(page.Body.find("var b=\"2\""), std::string::npos);

  // A change in the template folder rebuilds too.
  QThread::msleep(1100);
  Put(root + "site/template/index.html", "<body>new template {$content}</body>");
  for (int i = 0; i < 600 && Request(base + "/").Body.find("new template") == std::string::npos; ++i) {
    QThread::msleep(100);
  }
  EXPECT_NE(Request(base + "/").Body.find("new template"), std::string::npos);
}

TEST_F(CmdServeTest, FiftyClientsAtOnceAndAClientThatLeavesMidResponse) {
  Put(root + "site/html/big.bin", QByteArray(8 << 20, 'x'));
  ASSERT_EQ(RunCli({"build", root + "site/site.pwproj"}).ExitCode, 0);
  const std::string base = Start({"--no-build"});
  const std::string expected = Request(base + "/index.html").Body;
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected.find("EventSource"), std::string::npos);  // no live reload without builds

  // Leaves after the first piece of a large body.
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, (base + "/big.bin").c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t, size_t, void*) -> size_t { return 0; });
  EXPECT_EQ(curl_easy_perform(curl), CURLE_WRITE_ERROR);
  curl_easy_cleanup(curl);

  std::vector<std::thread> clients;
  std::atomic<int> good = 0;
  for (int i = 0; i < 50; ++i) {
    clients.emplace_back([&, i] {
      const THttpReply reply = Request(base + (i % 10 == 0 ? "/big.bin" : "/index.html"));
      const bool ok = reply.Status == 200 &&
                      (i % 10 == 0 ? reply.Body.size() == size_t(8 << 20) : reply.Body == expected);
      if (ok) ++good;
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(good, 50);
  EXPECT_EQ(Request(base + "/b.html").Status, 200);
}

TEST_F(CmdServeTest, BadArgumentsAndBusyPorts) {
  EXPECT_EQ(RunCli({"serve"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"serve", root + "site/site.pwproj", "--port", "70000"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"serve", root + "site/site.pwproj", "--port", "x"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"serve", root + "missing.pwproj"}).ExitCode, 1);

  const std::string base = Start();
  const QString port = QString::fromStdString(base).section(':', -1);
  const TCliResult busy = RunCli({"serve", root + "site/site.pwproj", "--port", port});
  EXPECT_EQ(busy.ExitCode, 1);
  EXPECT_TRUE(busy.Err.contains("cannot listen")) << busy.Err.toStdString();
}

}  // namespace
