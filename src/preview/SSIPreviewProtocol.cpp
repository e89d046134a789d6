#include "preview/SSIPreviewProtocol.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "preview/SSIPreviewModule.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>

#include <vector>

namespace pw {
namespace {

// Pictures, sound and video are served byte for byte, whatever their type inherits (a
// vector picture is XML, hence text).
bool IsPicture(const QMimeType& type) {
  const QString name = type.name();
  return name.startsWith(u"image/") || name.startsWith(u"audio/") || name.startsWith(u"video/");
}

// Types whose files take the text path: their includes are resolved.
bool IsTextual(const QMimeType& type) {
  return !IsPicture(type) && (type.name().startsWith(u"text/", Qt::CaseInsensitive) ||
                              type.inherits(QStringLiteral("text/plain")));
}

// One stretch of pasted text: which file it came from and inside which other stretch.
struct TPastedSpan {
  qsizetype Start;
  qsizetype End;
  int Parent;  // index of the enclosing span, -1 at the top level
  QString File;
};

// Keeps the spans' positions right after [start, end) was replaced by length characters.
void ShiftSpans(std::vector<TPastedSpan>& spans, qsizetype start, qsizetype end, qsizetype length) {
  const qsizetype delta = length - (end - start);
  for (TPastedSpan& span : spans) {
    if (span.Start >= end) {
      span.Start += delta;
    } else if (span.Start > start) {
      span.Start = start + length;
    }
    if (span.End >= end) {
      span.End += delta;
    } else if (span.End > start) {
      span.End = start;
    }
  }
}

// The innermost pasted span that holds position, or -1. Spans that hold one position nest,
// and an inner one is always added after its parent.
int SpanAt(const std::vector<TPastedSpan>& spans, qsizetype position) {
  for (int i = static_cast<int>(spans.size()) - 1; i >= 0; --i) {
    if (spans[i].Start <= position && position < spans[i].End) return i;
  }
  return -1;
}

const QRegularExpression& PhpInclude() {
  static const QRegularExpression pattern(
      QStringLiteral(R"re((?i)<\?php\s+(include|include_once)\s*\(\s*["']([\w\./-]+)["']\s*\)\s*\?>)re"));
  return pattern;
}

const QRegularExpression& SsiInclude() {
  static const QRegularExpression pattern(
      QStringLiteral(R"re((?i)<!--\s*#include\s+(file|virtual)\s*=\s*"([\w\./-]+)"\s*-->)re"));
  return pattern;
}

QString CutInclude(const QString& name, const char* reason) {
  return QStringLiteral("<!-- include \"%1\" not expanded: %2 -->").arg(name, QLatin1String(reason));
}

}  // namespace

TSSIPreviewProtocol::TSSIPreviewProtocol(const TSSIPreviewModule& module) : FModule(module) {}

TSSIPreviewProtocol::~TSSIPreviewProtocol() = default;

QString TSSIPreviewProtocol::PathInRoot(const QString& root, const QString& relative) {
  qsizetype skip = 0;
  while (skip < relative.size() && (relative[skip] == u'/' || relative[skip] == u'\\')) ++skip;
  return platform::ConfinedJoin(root, relative.mid(skip));
}

bool TSSIPreviewProtocol::StaysInRoot(const QString& root, const QString& path) {
  const QString realRoot = QFileInfo(root).canonicalFilePath();
  const QString realPath = QFileInfo(path).canonicalFilePath();
  if (realRoot.isEmpty() || realPath.isEmpty()) return false;
  return realPath == realRoot || realPath.startsWith(platform::IncludeTrailingSeparator(realRoot));
}

std::string TSSIPreviewProtocol::ResolveIncludes(std::string text, const QString& root) {
  // Latin-1 maps every byte to one character and back, so pages in any charset survive the
  // round trip; the patterns only match ASCII.
  QString work = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  std::vector<TPastedSpan> spans;
  int expanded = 0;
  for (const QRegularExpression* pattern : {&PhpInclude(), &SsiInclude()}) {
    for (;;) {
      const QRegularExpressionMatch match = pattern->match(work);
      if (!match.hasMatch()) break;
      const QString name = match.captured(2);
      const qsizetype start = match.capturedStart(0);
      const qsizetype end = match.capturedEnd(0);

      const QString path = PathInRoot(root, name);
      const QString identity = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
      const int parent = SpanAt(spans, start);
      int depth = 1;
      bool cycle = false;
      for (int at = parent; at >= 0; at = spans[at].Parent) {
        ++depth;
        if (!identity.isEmpty() && spans[at].File == identity) cycle = true;
      }

      QString replacement;
      bool pasted = false;
      if (cycle) {
        replacement = CutInclude(name, "it includes itself");
      } else if (depth > kMaxIncludeDepth) {
        replacement = CutInclude(name, "includes nested too deep");
      } else if (expanded >= kMaxIncludes) {
        replacement = CutInclude(name, "too many includes");
      } else {
        ++expanded;
        std::string bytes;
        if (!path.isEmpty() && StaysInRoot(root, path) && platform::ReadWholeFile(path, bytes)) {
          replacement = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
          pasted = true;
        }
      }

      work.replace(start, end - start, replacement);
      ShiftSpans(spans, start, end, replacement.size());
      if (pasted) spans.push_back({start, start + replacement.size(), parent, identity});
    }
  }
  const QByteArray bytes = work.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

TProtocolResult TSSIPreviewProtocol::OpenUrl(const QString& url, unsigned bindFlags, const TBindInfo&,
                                             qint64& dataSize, QString* error) {
  FStream.reset();
  const QString root = FModule.Folder();
  const QString scheme = TSSIPreviewModule::Scheme();
  QString file = PathInRoot(root, url.mid(scheme.size() + 1));
  if (!file.isEmpty() && !QFileInfo(file).isFile()) file += QStringLiteral("index.html");

  if (file.isEmpty() || !QFileInfo(file).isFile() || !StaysInRoot(root, file)) {
    auto page = std::make_unique<QBuffer>();
    page->setData(FModule.ErrorPage());
    page->open(QIODevice::ReadOnly);
    dataSize = page->size();
    FStream = std::move(page);
    return prOk;
  }

  auto input = std::make_unique<QFile>(file);
  if (!input->open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("Cannot open \"%1\": %2").arg(file, input->errorString());
    return prAccessDenied;
  }
  static const QMimeDatabase mimeTypes;
  const QMimeType byContent = mimeTypes.mimeTypeForData(input.get());
  const QMimeType byName = mimeTypes.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
  const bool textual = (IsTextual(byContent) || IsTextual(byName)) && !IsPicture(byContent);

  if (textual) {
    std::string bytes;
    QString readError;
    if (!platform::ReadWholeFile(file, bytes, &readError)) {
      if (error) *error = readError;
      return prAccessDenied;
    }
    const std::string resolved = ResolveIncludes(std::move(bytes), root);
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(resolved.data(), static_cast<qsizetype>(resolved.size()));
    buffer->open(QIODevice::ReadOnly);
    FStream = std::move(buffer);
  } else {
    input->seek(0);
    FStream = std::move(input);
  }

  const QString mimeType = byName.isDefault() ? byContent.name() : byName.name();
  if (FSink) {
    FSink->ReportProgress(bsFindingResource, QString());
    FSink->ReportProgress(bsConnecting, QString());
    FSink->ReportProgress(bsSendingRequest, QString());
    FSink->ReportProgress(bsMimeTypeAvailable, mimeType);
    if (bindFlags & bindfNeedFile) FSink->ReportProgress(bsCacheFileNameAvailable, file);
  }
  dataSize = FStream->size();
  return prOk;
}

TProtocolResult TSSIPreviewProtocol::Read(char* buffer, qint64 size, qint64& readCount) {
  readCount = 0;
  if (!FStream) return prFalse;
  const qint64 count = FStream->read(buffer, size);
  if (count > 0) {
    readCount = count;
    return prOk;
  }
  if (FSink) FSink->ReportResult(prOk, 0, QString());
  FStream.reset();
  return prFalse;
}

TProtocolResult TSSIPreviewProtocol::Terminate(unsigned options) {
  FStream.reset();
  return TInternetProtocol::Terminate(options);
}

TProtocolResult TSSIPreviewProtocol::CombineUrl(const QString& baseUrl, const QString& relativeUrl, unsigned,
                                                QString& result) {
  const QString scheme = TSSIPreviewModule::Scheme();
  const QString& siteUrl = FModule.SiteUrl();
  // The page's own anchor is no part of the address links start from.
  QString base = baseUrl;
  const qsizetype anchor = base.indexOf(u'#');
  if (anchor >= 0) base.truncate(anchor);

  if (relativeUrl.startsWith(u'/') || relativeUrl.contains(u':')) {
    if (!siteUrl.isEmpty() && relativeUrl.startsWith(siteUrl, Qt::CaseInsensitive)) {
      result = scheme + QStringLiteral(":/") + relativeUrl.mid(siteUrl.size());
    } else if (relativeUrl.startsWith(u'/')) {
      result = scheme + u':' + relativeUrl;
    } else {
      result = relativeUrl;
    }
  } else if (relativeUrl.startsWith(u'#')) {
    result = base + relativeUrl;
  } else {
    qsizetype cut = base.lastIndexOf(u'/');
    if (cut < 0) cut = base.lastIndexOf(u':');
    result = cut >= 0 ? base.left(cut + 1) + relativeUrl : relativeUrl;
  }
  return prOk;
}

}  // namespace pw
