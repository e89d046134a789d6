// TSSIPreviewProtocol: the protocol object of the `preview:` scheme. It serves the files of
// the preview module's folder: "preview:docs/a.html" and "preview:/docs/a.html" name the same
// file, a name with no file behind it gets "index.html" appended, and nothing in the URL is
// decoded. Text files (HTML, CSS, scripts, plain text) have their server-side includes
// pasted in; everything else is served byte for byte. A URL that names no file gets the
// module's error page, never a protocol failure.
//
// Names never leave the folder: a URL or include that climbs above it, directly or through a
// symbolic link, is treated as a missing file.
//
// Ownership: made by the module's factory for one request; borrows the module, which outlives
// it. Thread-safety: one object per request and thread.
#pragma once

#include "preview/InternetProtocol.h"

#include <QIODevice>
#include <QString>

#include <memory>
#include <string>

namespace pw {

class TSSIPreviewModule;

class TSSIPreviewProtocol : public TInternetProtocol {
 public:
  // Includes nested deeper than this are not expanded (the page includes the fragment that
  // includes the next fragment ..., counted from the page itself).
  static constexpr int kMaxIncludeDepth = 16;
  // At most this many includes are expanded for one resource, so that fragments including
  // several others cannot multiply without end within the depth limit.
  static constexpr int kMaxIncludes = 1000;

  explicit TSSIPreviewProtocol(const TSSIPreviewModule& module);
  ~TSSIPreviewProtocol() override;

  // Keeps links inside the preview: links to the site's public address and root-relative
  // links become "preview:" URLs; other absolute URLs are left alone; "#anchor" stays on the
  // page; anything else is relative to the base URL's folder.
  TProtocolResult CombineUrl(const QString& baseUrl, const QString& relativeUrl, unsigned flags,
                             QString& result) override;
  TProtocolResult Read(char* buffer, qint64 size, qint64& readCount) override;
  TProtocolResult Terminate(unsigned options) override;

  // Pastes the files that text's include directives name, relative to root: first every
  // "<?php include('name') ?>" (or include_once), then every "<!--#include file|virtual="name"-->",
  // searching again from the start after each one, so included text is searched too. A file
  // that cannot be read, or whose name leaves root, leaves nothing in place of its directive.
  // An include that would repeat a file it is nested in, or that passes kMaxIncludeDepth or
  // kMaxIncludes, is replaced by an HTML comment that names it and says why.
  static std::string ResolveIncludes(std::string text, const QString& root);

  // The path of `relative` below root ('/' or '\' separators, leading ones ignored), or an
  // empty string when it climbs out of root lexically. The file need not exist.
  static QString PathInRoot(const QString& root, const QString& relative);
  // True when path, with every symbolic link resolved, is root or lies below it.
  static bool StaysInRoot(const QString& root, const QString& path);

 protected:
  TProtocolResult OpenUrl(const QString& url, unsigned bindFlags, const TBindInfo& bindInfo, qint64& dataSize,
                          QString* error) override;

 private:
  const TSSIPreviewModule& FModule;
  std::unique_ptr<QIODevice> FStream;
};

}  // namespace pw
