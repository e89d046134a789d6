// The preview module's entry points with a fake browser window, and the scheme registration
// they hold while it is open.
#include "preview/SSIPreviewModule.h"
#include "preview/SchemeRegistry.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace pw::tests {
namespace {

// What the fake windows were asked, and whether the scheme was served meanwhile.
struct TBrowserLog {
  QString Shown;
  TInternetProtocolFactory* Served = nullptr;
  bool Throw = false;
  QByteArray Picture;
};

struct TFakeBrowser : IPreviewBrowser {
  explicit TFakeBrowser(TBrowserLog& log) : Log(log) {}
  void ShowModal(const QString& url) override {
    Log.Shown = url;
    Log.Served = TSchemeRegistry::Instance().FindForUrl(url);
    if (Log.Throw) throw std::runtime_error("window failed");
  }
  bool Capture(const QString& url, int width, int height, QByteArray& image, QString*) override {
    Log.Shown = url + QString(" %1x%2").arg(width).arg(height);
    if (!Log.Picture.isEmpty()) image = Log.Picture;
    return !Log.Picture.isEmpty();
  }
  TBrowserLog& Log;
};

TEST(SSIPreviewModuleTest, PreviewServesTheSchemeOnlyWhileItsWindowIsOpen) {
  TSSIPreviewModule module;
  TBrowserLog browser;
  module.SetBrowserMaker([&] { return std::make_unique<TFakeBrowser>(browser); });

  EXPECT_TRUE(module.Preview("docs/a.html", "/site", "http://example.org/"));
  EXPECT_EQ(browser.Shown, "preview:docs/a.html");
  EXPECT_EQ(browser.Served, &module.Factory());
  EXPECT_EQ(module.Folder(), "/site/");
  EXPECT_EQ(module.SiteUrl(), "http://example.org/");
  EXPECT_EQ(TSchemeRegistry::Instance().Find("preview"), nullptr);

  browser.Throw = true;
  EXPECT_THROW(module.Preview("", "/other/", ""), std::runtime_error);
  EXPECT_EQ(browser.Shown, "preview:");
  EXPECT_EQ(TSchemeRegistry::Instance().Find("PREVIEW"), nullptr);

  QByteArray image("old");
  EXPECT_FALSE(module.Snapshot("/site/", "", image, 800, 600));
  EXPECT_EQ(browser.Shown, "preview: 800x600");
  EXPECT_EQ(image, "old");
  browser.Picture = "png";
  EXPECT_TRUE(module.Snapshot("/site/", "", image, 800, 600));
  EXPECT_EQ(image, "png");
  EXPECT_EQ(TSchemeRegistry::Instance().Find("preview"), nullptr);

  TSSIPreviewModule windowless;
  QString error;
  EXPECT_FALSE(windowless.Preview("", "/site/", "", &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST(SSIPreviewModuleTest, OneFactoryHoldsASchemeUntilItLetsGoOrDies) {
  TSSIPreviewModule first;
  auto second = std::make_unique<TSSIPreviewModule>();
  first.Factory().RegisterScheme("preview");
  first.Factory().RegisterScheme("preview");
  second->Factory().RegisterScheme("Preview");
  EXPECT_TRUE(first.Factory().IsRegistered());
  EXPECT_FALSE(second->Factory().IsRegistered());
  EXPECT_EQ(TSchemeRegistry::Instance().FindForUrl("preview:x.html"), &first.Factory());
  EXPECT_NE(first.Factory().CreateInstance(), nullptr);

  first.Factory().UnregisterScheme();
  second->Factory().RegisterScheme("");  // the class name stands in for an empty name
  EXPECT_EQ(second->Factory().Scheme(), "previev");
  EXPECT_EQ(TSchemeRegistry::Instance().Find("previev"), &second->Factory());
  second.reset();
  EXPECT_EQ(TSchemeRegistry::Instance().Find("previev"), nullptr);
}

}  // namespace
}  // namespace pw::tests
