#include "preview/SSIPreviewModule.h"

#include "core/Texts.h"
#include "platform/Paths.h"
#include "preview/SSIPreviewProtocol.h"

namespace pw {
namespace {

// Unregisters the scheme however the browser window ends, errors escaping it included.
class TSchemeRegistration {
 public:
  explicit TSchemeRegistration(TInternetProtocolFactory& factory) : FFactory(factory) {
    FFactory.RegisterScheme(TSSIPreviewModule::Scheme());
  }
  ~TSchemeRegistration() { FFactory.UnregisterScheme(); }

 private:
  TInternetProtocolFactory& FFactory;
};

}  // namespace

TSSIPreviewModule::TSSIPreviewModule()
    : FFactory(std::make_unique<TInternetProtocolFactory>(
          QStringLiteral("{15C0CD5F-F5F5-4D26-8AD5-40137EC99D81}"), QStringLiteral("previev"), QString(),
          [this] { return std::make_unique<TSSIPreviewProtocol>(*this); })) {}

TSSIPreviewModule::~TSSIPreviewModule() = default;

QString TSSIPreviewModule::Scheme() { return QStringLiteral("preview"); }

void TSSIPreviewModule::SetFolder(const QString& folder) {
  FFolder = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(folder));
}

QByteArray TSSIPreviewModule::ErrorPage() const {
  return QStringLiteral(
             "<html><head><title>%1</title><meta http-equiv=\"Content-Type\" content=\"text/html; "
             "charset=utf-8\"/></head><body><h1>%2</h1><p>%3</p></body></html>")
      .arg(LocalText("ErrorPageTitle"), LocalText("ErrorPageHeader"), LocalText("ErrorPageText"))
      .toUtf8();
}

std::unique_ptr<IPreviewBrowser> TSSIPreviewModule::MakeBrowser(QString* error) const {
  std::unique_ptr<IPreviewBrowser> browser = FBrowserMaker ? FBrowserMaker() : nullptr;
  if (!browser && error) *error = QStringLiteral("No browser window is available");
  return browser;
}

bool TSSIPreviewModule::Preview(const QString& page, const QString& folder, const QString& siteUrl,
                                QString* error) {
  TSchemeRegistration registration(*FFactory);
  SetFolder(folder);
  FSiteUrl = siteUrl;
  std::unique_ptr<IPreviewBrowser> browser = MakeBrowser(error);
  if (!browser) return false;
  browser->ShowModal(Scheme() + u':' + page);
  return true;
}

bool TSSIPreviewModule::Snapshot(const QString& folder, const QString& siteUrl, QByteArray& image, int width,
                                 int height, QString* error) {
  TSchemeRegistration registration(*FFactory);
  SetFolder(folder);
  FSiteUrl = siteUrl;
  std::unique_ptr<IPreviewBrowser> browser = MakeBrowser(error);
  if (!browser) return false;
  QByteArray picture;
  if (!browser->Capture(Scheme() + u':', width, height, picture, error)) return false;
  image = std::move(picture);
  return true;
}

}  // namespace pw
