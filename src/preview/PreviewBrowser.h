// IPreviewBrowser: the browser window the preview module opens on a `preview:` URL. The user
// interface provides it (an embedded web view); the module creates one per preview or
// snapshot and frees it afterwards. Called on the user-interface thread only.
#pragma once

#include <QByteArray>
#include <QString>

namespace pw {

class IPreviewBrowser {
 public:
  virtual ~IPreviewBrowser() = default;
  // Shows the page in a modal window; returns when the user closes it.
  virtual void ShowModal(const QString& url) = 0;
  // Loads the page into a view of width x height pixels and, when it loads completely, puts a
  // PNG picture of the view's top-left width x height rectangle in image.
  virtual bool Capture(const QString& url, int width, int height, QByteArray& image, QString* error) = 0;
};

}  // namespace pw
