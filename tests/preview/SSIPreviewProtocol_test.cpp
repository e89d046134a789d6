// The preview protocol driven as the browser drives it: Start with a recording sink, Read to
// the end, Terminate; on a folder written for each test.
#include "preview/SSIPreviewModule.h"
#include "preview/SSIPreviewProtocol.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace pw::tests {
namespace {

struct TRecordingSink : IProtocolSink {
  void ReportProgress(TBindStatus status, const QString& text) override { Progress.push_back({status, text}); }
  void ReportData(unsigned flags, uint64_t progress, uint64_t progressMax) override {
    DataFlags = flags;
    DataSize = progressMax;
    EXPECT_EQ(progress, progressMax);
  }
  void ReportResult(TProtocolResult result, int, const QString&) override { Results.push_back(result); }

  std::vector<std::pair<TBindStatus, QString>> Progress;
  unsigned DataFlags = 0;
  uint64_t DataSize = 0;
  std::vector<TProtocolResult> Results;
};

struct TFetched {
  TProtocolResult Started;
  std::string Body;
  TRecordingSink Sink;
  QString MimeType() const {
    for (const auto& [status, text] : Sink.Progress) {
      if (status == bsMimeTypeAvailable) return text;
    }
    return QString();
  }
};

class SSIPreviewProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    FRoot = FTemp.path() + "/site/";
    QDir().mkpath(FRoot);
    FModule.SetFolder(FRoot);
  }

  void Put(const QString& relative, const std::string& bytes) {
    const QString path = FRoot + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }

  // Reads in small pieces so that the end-of-data answer is reached through several calls.
  TFetched Fetch(const QString& url, unsigned bindFlags = 0) {
    TFetched fetched;
    TSSIPreviewProtocol protocol(FModule);
    fetched.Started = protocol.Start(url, &fetched.Sink, {bvGet, bindFlags});
    char buffer[7];
    qint64 count = 0;
    while (protocol.Read(buffer, sizeof buffer, count) == prOk) fetched.Body.append(buffer, count);
    EXPECT_EQ(count, 0);
    protocol.Terminate(0);
    return fetched;
  }

  std::string ErrorPage() const { return FModule.ErrorPage().toStdString(); }

  QTemporaryDir FTemp;
  QString FRoot;
  TSSIPreviewModule FModule;
};

TEST_F(SSIPreviewProtocolTest, UrlsMapToFilesUnderTheRoot) {
  Put("index.html", "root index");
  Put("docs/index.html", "docs index");
  Put("docs/a.html", "page a");
  Put("b.html", "page b");
  Put("my page.html", "spaced");
  Put("../outside.html", "outside");
  ASSERT_TRUE(QFile::link(FTemp.path(), FRoot + "up"));
  ASSERT_TRUE(QFile::link(FTemp.path() + "/outside.html", FRoot + "leak.html"));
  ASSERT_TRUE(QFile::link(FRoot + "b.html", FRoot + "alias.html"));

  const std::string error = "<error page>";
  const struct {
    const char* Url;
    std::string Body;
  } cases[] = {
      {"preview:", "root index"},
      {"preview:/", "root index"},
      {"preview:docs/", "docs index"},
      {"preview:docs", error},  // a folder without its '/' is not found
      {"preview:docs/a.html", "page a"},
      {"preview:/docs/a.html", "page a"},
      {"preview:docs\\a.html", "page a"},
      {"preview:docs/../b.html", "page b"},
      {"preview:alias.html", "page b"},  // a link that stays inside the root
      {"preview:my%20page.html", error},  // nothing is decoded
      {"preview:b.html?x=1", error},
      {"preview:missing.html", error},
      {"preview:../outside.html", error},
      {"preview:../../../../../../etc/passwd", error},
      {"preview:docs/../../outside.html", error},
      {"preview:/../outside.html", error},
      {"preview:up/outside.html", error},  // through a linked folder
      {"preview:leak.html", error},         // a linked file
      {"preview:up/site/b.html", "page b"},  // out through a link and back in
  };
  for (const auto& c : cases) {
    const TFetched fetched = Fetch(QString::fromUtf8(c.Url));
    EXPECT_EQ(fetched.Started, prOk) << c.Url;
    EXPECT_EQ(fetched.Body, c.Body == error ? ErrorPage() : c.Body) << c.Url;
    // Only a found file reports progress; the error page comes without any.
    EXPECT_EQ(fetched.Sink.Progress.empty(), c.Body == error) << c.Url;
    EXPECT_EQ(fetched.Sink.DataSize, fetched.Body.size()) << c.Url;
  }
  EXPECT_NE(ErrorPage().find("<h1>Page not found</h1>"), std::string::npos);
}

TEST_F(SSIPreviewProtocolTest, ReportsProgressDataAndEndInOrder) {
  Put("a.html", "<p>a</p>");
  TFetched fetched = Fetch("preview:a.html", bindfNeedFile);
  const std::vector<std::pair<TBindStatus, QString>> expected = {{bsFindingResource, ""},
                                                                {bsConnecting, ""},
                                                                {bsSendingRequest, ""},
                                                                {bsMimeTypeAvailable, "text/html"},
                                                                {bsCacheFileNameAvailable, FRoot + "a.html"}};
  EXPECT_EQ(fetched.Sink.Progress, expected);
  EXPECT_EQ(fetched.Sink.DataFlags, 13u);
  EXPECT_EQ(fetched.Sink.Results, std::vector<TProtocolResult>{prOk});

  fetched = Fetch("preview:a.html");
  EXPECT_EQ(fetched.Sink.Progress.size(), 4u);  // no file name unless asked for

  TRecordingSink sink;
  TSSIPreviewProtocol protocol(FModule);
  EXPECT_EQ(protocol.Start("preview:a.html", &sink, {bvPost, 0}), prFail);
  EXPECT_TRUE(sink.Progress.empty());
  char byte;
  qint64 count = 1;
  EXPECT_EQ(protocol.Read(&byte, 1, count), prFalse);
  EXPECT_EQ(count, 0);
}

TEST_F(SSIPreviewProtocolTest, TextTypesResolveIncludesAndPicturesPassUnchanged) {
  const std::string directive = "<!--#include virtual=\"/inc/x.txt\"-->";
  Put("inc/x.txt", "X");
  const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + directive + std::string("\xff\x00\x01", 3);
  Put("pic.png", png);
  Put("page.html", "<p>" + directive + "</p>");
  Put("style.css", "body{}/*" + directive + "*/");
  Put("app.js", "var a;//" + directive);
  Put("notes.txt", directive);

  const struct {
    const char* Url;
    std::string Body;
    const char* Mime;
  } cases[] = {
      {"preview:pic.png", png, "image/png"},
      {"preview:page.html", "<p>X</p>", "text/html"},
      {"preview:style.css", "body{}/*X*/", "text/css"},
      {"preview:app.js", "var a;//X", nullptr},
      {"preview:notes.txt", "X", "text/plain"},
  };
  for (const auto& c : cases) {
    const TFetched fetched = Fetch(c.Url);
    EXPECT_EQ(fetched.Body, c.Body) << c.Url;
    if (c.Mime) {
      EXPECT_EQ(fetched.MimeType(), c.Mime) << c.Url;
    }
  }
  EXPECT_TRUE(Fetch("preview:app.js").MimeType().contains("javascript"));
}

TEST_F(SSIPreviewProtocolTest, IncludesResolveFromTheRootInBothForms) {
  Put("inc/menu.html", "[menu]");
  Put("footer.php", "[footer]");
  Put("one.html", "1<!--#include file=\"two.html\"-->");
  Put("two.html", "2<!--#include virtual=\"three.html\" -->");
  Put("three.html", "3");
  Put("docs/local.html", "[docs local]");
  Put("local.html", "[root local]");
  Put("php-in-ssi.html", "<?php include('footer.php') ?>");
  Put("latin1.html", "\xe9t\xe9");
  ASSERT_TRUE(QFile::link(FTemp.path() + "/outside.html", FRoot + "leak.html"));
  Put("../outside.html", "outside");

  const struct {
    const char* Text;
    const char* Expected;
  } cases[] = {
      {"a<!--#include virtual=\"/inc/menu.html\" -->b", "a[menu]b"},
      {"<?PHP include_once('footer.php') ?>", "[footer]"},
      {"<?php   INCLUDE ( \"footer.php\" )   ?>", "[footer]"},
      {"<!--  #INCLUDE  FILE = \"inc/menu.html\"  -->", "[menu]"},
      {"<!--#include virtual=\"one.html\"-->", "123"},
      {"<!--#include virtual=\"local.html\"-->", "[root local]"},  // never relative to the page
      {"<!--#include virtual=\"php-in-ssi.html\"-->", "<?php include('footer.php') ?>"},
      {"<?php include('php-in-ssi.html') ?>", "[footer]"},
      {"x<!--#include virtual=\"missing.html\"-->y", "xy"},
      {"<!--#include virtual=\"my page.html\"-->", "<!--#include virtual=\"my page.html\"-->"},
      {"<!--#include virtual=\"../outside.html\"-->|<!--#include virtual=\"leak.html\"-->", "|"},
      {"<!--#include virtual=\"docs/../local.html\"-->", "[root local]"},
      {"\xff<!--#include virtual=\"latin1.html\"-->\xfe", "\xff\xe9t\xe9\xfe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TSSIPreviewProtocol::ResolveIncludes(c.Text, FRoot), c.Expected) << c.Text;
  }
  Put("docs/page.html", "<?php include('footer.php') ?>");
  EXPECT_EQ(Fetch("preview:docs/page.html").Body, "[footer]");
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(SSIPreviewProtocolTest, IncludeCyclesAndRunawayNestingAreCut) {
  Put("self.html", "S<!--#include virtual=\"self.html\"-->");
  Put("ping.html", "P<?php include('pong.html') ?>");
  Put("pong.html", "Q<?php include('/ping.html') ?>");
  EXPECT_EQ(TSSIPreviewProtocol::ResolveIncludes("<!--#include virtual=\"self.html\"-->", FRoot),
            "S<!-- include \"self.html\" not expanded: it includes itself -->");
  EXPECT_EQ(TSSIPreviewProtocol::ResolveIncludes("<?php include('ping.html') ?>", FRoot),
            "PQ<!-- include \"/ping.html\" not expanded: it includes itself -->");
  // The same fragment twice side by side is no cycle.
  Put("leaf.html", "L");
  EXPECT_EQ(TSSIPreviewProtocol::ResolveIncludes(
                "<!--#include virtual=\"leaf.html\"--><!--#include virtual=\"leaf.html\"-->", FRoot),
            "LL");

  // A chain of distinct files deeper than the bound stops at the bound.
  const int chain = TSSIPreviewProtocol::kMaxIncludeDepth + 4;
  for (int i = 0; i < chain; ++i) {
    Put(QString("chain%1.html").arg(i),
        std::to_string(i % 10) + "<!--#include virtual=\"chain" + std::to_string(i + 1) + ".html\"-->");
  }
  const std::string deep = TSSIPreviewProtocol::ResolveIncludes("<!--#include virtual=\"chain0.html\"-->", FRoot);
  EXPECT_EQ(deep.substr(0, TSSIPreviewProtocol::kMaxIncludeDepth), "0123456789012345");
  EXPECT_NE(deep.find("not expanded: includes nested too deep"), std::string::npos);

  // Every file including the next one twice: 2^13 leaves, far past the include budget.
  for (int i = 0; i < 13; ++i) {
    const std::string next = "<!--#include virtual=\"fan" + std::to_string(i + 1) + ".html\"-->";
    Put(QString("fan%1.html").arg(i), next + next);
  }
  Put("fan13.html", "F");
  const std::string fanned = TSSIPreviewProtocol::ResolveIncludes("<!--#include virtual=\"fan0.html\"-->", FRoot);
  EXPECT_LE(Count(fanned, "F"), static_cast<size_t>(TSSIPreviewProtocol::kMaxIncludes));
  EXPECT_GT(Count(fanned, "not expanded: too many includes"), 0u);
}

TEST_F(SSIPreviewProtocolTest, CombineUrlKeepsLinksInsideThePreview) {
  FModule.SetSiteUrl("http://example.org/");
  TSSIPreviewProtocol protocol(FModule);
  const struct {
    const char* Base;
    const char* Relative;
    const char* Expected;
  } cases[] = {
      {"preview:docs/a.html", "b.html", "preview:docs/b.html"},
      {"preview:docs/a.html", "#top", "preview:docs/a.html#top"},
      {"preview:docs/a.html#intro", "#top", "preview:docs/a.html#top"},
      {"preview:docs/a.html", "../c.html", "preview:docs/../c.html"},
      {"preview:a.html", "b.html", "preview:b.html"},
      {"preview:", "b.html", "preview:b.html"},
      {"nothing", "b.html", "b.html"},
      {"preview:docs/a.html", "/c.html", "preview:/c.html"},
      {"preview:docs/a.html", "HTTP://Example.ORG/docs/a.html", "preview:/docs/a.html"},
      {"preview:docs/a.html", "http://example.org/", "preview:/"},
      {"preview:docs/a.html", "http://other.org/x.html", "http://other.org/x.html"},
      {"preview:docs/a.html", "mailto:me@example.org", "mailto:me@example.org"},
  };
  for (const auto& c : cases) {
    QString result;
    EXPECT_EQ(protocol.CombineUrl(c.Base, c.Relative, 0, result), prOk) << c.Relative;
    EXPECT_EQ(result, c.Expected) << c.Base << " + " << c.Relative;
  }
  FModule.SetSiteUrl("");
  QString result;
  protocol.CombineUrl("preview:a.html", "http://example.org/b.html", 0, result);
  EXPECT_EQ(result, "http://example.org/b.html");
}

}  // namespace
}  // namespace pw::tests
