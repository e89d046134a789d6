// TSSIPreviewModule: the preview of the site being built. It owns the factory of the
// `preview:` scheme, holds the folder served as the scheme's root and the site's public
// address, and offers Preview (a modal browser window on one page) and Snapshot (a picture of
// the home page). The application creates one for its whole life; `pagewick-cli serve` makes
// its own.
//
// Thread-safety: the fields are written on the owner's thread before requests start; protocol
// objects of any thread may then read them.
#pragma once

#include "preview/InternetProtocolFactory.h"
#include "preview/PreviewBrowser.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace pw {

class TSSIPreviewModule {
 public:
  using TBrowserMaker = std::function<std::unique_ptr<IPreviewBrowser>()>;

  TSSIPreviewModule();
  ~TSSIPreviewModule();
  TSSIPreviewModule(const TSSIPreviewModule&) = delete;
  TSSIPreviewModule& operator=(const TSSIPreviewModule&) = delete;

  // The scheme the module registers ("preview"), without its colon.
  static QString Scheme();

  TInternetProtocolFactory& Factory() { return *FFactory; }

  // The served folder, ending in '/'.
  const QString& Folder() const { return FFolder; }
  void SetFolder(const QString& folder);
  const QString& SiteUrl() const { return FSiteUrl; }
  void SetSiteUrl(const QString& url) { FSiteUrl = url; }

  // The page served for a URL that names no file, in UTF-8, from the module's string table.
  QByteArray ErrorPage() const;

  // How the module makes its browser window; the user interface sets it.
  void SetBrowserMaker(TBrowserMaker maker) { FBrowserMaker = std::move(maker); }

  // Serves folder under the scheme while a modal browser window shows "preview:" + page.
  // False when no browser window can be made.
  bool Preview(const QString& page, const QString& folder, const QString& siteUrl, QString* error = nullptr);
  // Puts a PNG picture of the home page, width x height pixels, into image. False (image
  // untouched) when the page does not load completely or no browser can be made.
  bool Snapshot(const QString& folder, const QString& siteUrl, QByteArray& image, int width, int height,
                QString* error = nullptr);

 private:
  std::unique_ptr<IPreviewBrowser> MakeBrowser(QString* error) const;

  std::unique_ptr<TInternetProtocolFactory> FFactory;
  QString FFolder;
  QString FSiteUrl;
  TBrowserMaker FBrowserMaker;
};

}  // namespace pw
