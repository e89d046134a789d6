#include "runtime/ScriptRuntime.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <cstdio>

#include "platform/CodePage.h"
#include "platform/FileIO.h"
#include "platform/Shell.h"
#include "scripting/objects/IsoDate.h"
#include "runtime/ScriptThread.h"
#include "scripting/objects/ByteArrayObject.h"

namespace pw {

PW_AUTO_MEMBERS(TScriptRuntime,
    AutoMethod(1, "CreateGUID", &TScriptRuntime::CreateGUID),
    AutoMethod(2, "Pause", &TScriptRuntime::Pause),
    AutoMethod(3, "Alert", &TScriptRuntime::Alert),
    AutoMethod(4, "Execute", &TScriptRuntime::Execute),
    AutoMethod(5, "BrowseForFolder", &TScriptRuntime::BrowseForFolder),
    AutoMethod(6, "GetOpenFileName", &TScriptRuntime::GetOpenFileName),
    AutoMethod(7, "GetSaveFileName", &TScriptRuntime::GetSaveFileName),
    AutoMethod(8, "ExtractFilePath", &TScriptRuntime::ExtractFilePath),
    AutoMethod(9, "ExtractFileName", &TScriptRuntime::ExtractFileName),
    AutoMethod(10, "ExtractFileExt", &TScriptRuntime::ExtractFileExt),
    AutoMethod(11, "ExtractFileNameOnly", &TScriptRuntime::ExtractFileNameOnly),
    AutoMethod(12, "ChangeFileExt", &TScriptRuntime::ChangeFileExt),
    AutoMethod(13, "IncludeTrailingChar", &TScriptRuntime::IncludeTrailingChar),
    AutoMethod(14, "ExcludeTrailingChar", &TScriptRuntime::ExcludeTrailingChar),
    AutoMethod(15, "FileExists", &TScriptRuntime::FileExists),
    AutoMethod(16, "BinToHex", &TScriptRuntime::BinToHex),
    AutoMethod(17, "HexToBin", &TScriptRuntime::HexToBin),
    AutoMethod(18, "BinToStr", &TScriptRuntime::BinToStr),
    AutoMethod(19, "StrToBin", &TScriptRuntime::StrToBin),
    AutoMethod(20, "GetLength", &TScriptRuntime::GetLength),
    AutoMethod(21, "Trim", &TScriptRuntime::Trim),
    AutoMethod(22, "Replace", &TScriptRuntime::Replace),
    AutoMethod(23, "TranslateChars", &TScriptRuntime::TranslateChars),
    AutoMethod(24, "DecodeDate", &TScriptRuntime::DecodeDate),
    AutoMethod(25, "EncodeDate", &TScriptRuntime::EncodeDate),
    AutoMethod(26, "CreateObject", &TScriptRuntime::CreateObject),
    AutoMethod(27, "CreateThread", &TScriptRuntime::CreateThread),
    AutoMethod(28, "TerminateThreads", &TScriptRuntime::TerminateThreads),
    AutoMethod(29, "GetParamArray", &TScriptRuntime::GetParamArray))

namespace {

// Constructors that scripts written for Windows script hosts expect. Collections are walked
// through Count (or Length) and their default indexed member; arrays arrive as script arrays
// already, so VBArray only hands them on.
const char kHostShims[] = R"JS(
function ActiveXObject(name) {
  var object = CreateObject(name);
  if (object === null || object === undefined)
    throw new Error("Automation server can't create object '" + name + "'");
  return object;
}
function Enumerator(collection) {
  if (!(this instanceof Enumerator)) return new Enumerator(collection);
  var count = 0;
  if (collection !== null && collection !== undefined) {
    var n = collection.Count;
    if (n === undefined) n = collection.Length;
    if (n === undefined) n = collection.length;
    if (typeof n === "function") n = n();
    count = Number(n) || 0;
  }
  this.__collection = collection;
  this.__count = count;
  this.__index = 0;
}
Enumerator.prototype.atEnd = function () { return this.__index >= this.__count; };
Enumerator.prototype.moveFirst = function () { this.__index = 0; };
Enumerator.prototype.moveNext = function () { if (this.__index < this.__count) this.__index++; };
Enumerator.prototype.item = function () {
  if (this.__index >= this.__count) return undefined;
  var c = this.__collection;
  return typeof c === "function" ? c(this.__index) : c[this.__index];
};
function VBArray(value) {
  if (!(this instanceof VBArray)) return new VBArray(value);
  this.__items = (value === null || value === undefined) ? [] : value;
}
VBArray.prototype.toArray = function () { return Array.prototype.slice.call(this.__items); };
VBArray.prototype.getItem = function (i) { return this.__items[i]; };
VBArray.prototype.dimensions = function () { return 1; };
VBArray.prototype.lbound = function () { return 0; };
VBArray.prototype.ubound = function () { return this.__items.length - 1; };
)JS";

bool IsPathDelimiter(QChar c) {
  return c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':');
}

// Position just after the last folder delimiter ('/', '\' or a drive's ':'), 0 when none.
qsizetype NameStart(const QString& name) {
  for (qsizetype i = name.size(); i > 0; --i) {
    if (IsPathDelimiter(name[i - 1])) return i;
  }
  return 0;
}

// Position of the extension's dot within the file name, -1 when the name has none.
qsizetype ExtensionDot(const QString& name) {
  const qsizetype start = NameStart(name);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot >= start ? dot : -1;
}

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

unsigned CheckedCodePage(std::int32_t codePage) {
  const auto page = static_cast<unsigned>(codePage);
  if (codePage < 0 || (codePage != 0 && !platform::IsCodePageSupported(page))) {
    throw EAutoObjectError(
        QStringLiteral("Code page %1 has no converter on this machine").arg(codePage));
  }
  return page;
}

// Waits ms milliseconds while the calling thread processes its events.
void WaitProcessingEvents(std::int32_t ms) {
  if (ms <= 0) return;
  if (!QCoreApplication::instance() || !QAbstractEventDispatcher::instance()) {
    QThread::msleep(static_cast<unsigned long>(ms));
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

QStringList ProgramParams() {
  QStringList args = QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
  if (!args.isEmpty()) args.removeFirst();
  return args;
}

}  // namespace

HRESULT AddHostShims(TActiveScript& host) { return host.AddCode(QString::fromLatin1(kHostShims)); }

QString ApplyFilterExtension(const QString& name, const QString& filter, int filterIndex) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  const qsizetype patternAt = 2 * static_cast<qsizetype>(filterIndex - 1) + 1;
  if (name.isEmpty() || filterIndex < 1 || patternAt >= parts.size()) return name;
  // The first pattern of the selected filter ("*.htm;*.html" gives ".htm").
  const QString pattern = parts[patternAt].section(QLatin1Char(';'), 0, 0).trimmed();
  const qsizetype dot = ExtensionDot(pattern);
  if (dot < 0) return name;
  const QString extension = pattern.mid(dot);
  // "*.*" and other wildcards name no extension to add.
  if (extension.size() < 2 || extension.contains(QLatin1Char('*')) ||
      extension.contains(QLatin1Char('?'))) {
    return name;
  }
  const qsizetype nameDot = ExtensionDot(name);
  const QString current = nameDot < 0 ? QString() : name.mid(nameDot);
  if (current.compare(extension, Qt::CaseInsensitive) == 0) return name;
  return name + extension;
}

TScriptRuntime::TScriptRuntime()
    : FController(MakeAutoObject<TAutoController>(this)),
      FContext(std::make_unique<QObject>()),
      FParams(ProgramParams()) {
  AddItem(QString::fromLatin1(kItemName), FController->AsDispatch(), true);
}

TScriptRuntime::~TScriptRuntime() {
  StopThreads(true);
  FController->Detach();
  Close();
  ClearItems();
  FController.Reset();
}

HRESULT TScriptRuntime::SetLanguage(const QString& language) {
  const HRESULT hr = TActiveScript::SetLanguage(language);
  if (FAILED(hr)) return hr;
  return AddHostShims(*this);
}

void TScriptRuntime::SetParams(const QStringList& params) {
  std::lock_guard lock(FParamsMutex);
  FParams = params;
}

QStringList TScriptRuntime::Params() const {
  std::lock_guard lock(FParamsMutex);
  return FParams;
}

Variant TScriptRuntime::CreateGUID() {
  const QUuid id = QUuid::createUuid();
  // The GUID's memory order: its first three fields little-endian, then its eight bytes.
  QByteArray bytes;
  for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>((id.data1 >> (8 * i)) & 0xFF));
  for (int i = 0; i < 2; ++i) bytes.append(static_cast<char>((id.data2 >> (8 * i)) & 0xFF));
  for (int i = 0; i < 2; ++i) bytes.append(static_cast<char>((id.data3 >> (8 * i)) & 0xFF));
  for (unsigned char b : id.data4) bytes.append(static_cast<char>(b));
  return Variant::FromBytes(bytes);
}

void TScriptRuntime::Pause(std::int32_t ms) { WaitProcessingEvents(ms); }

void TScriptRuntime::Alert(const QString& text) {
  RunOnThread(Thread(), false, [&] {
    if (FUserInterface) {
      FUserInterface->Alert(text);
    } else {
      const QByteArray line = text.toLocal8Bit() + '\n';
      std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
      std::fflush(stdout);
    }
    return true;
  });
}

void TScriptRuntime::Execute(const QString& target) { platform::ShellOpen(target); }

QString TScriptRuntime::BrowseForFolder(const QString& title) {
  return RunOnThread(Thread(), QString(), [&] {
    return FUserInterface ? FUserInterface->BrowseForFolder(title) : QString();
  });
}

QString TScriptRuntime::GetOpenFileName(const QString& filter) {
  return RunOnThread(Thread(), QString(), [&] {
    QString name;
    int index = 1;
    if (!FUserInterface || !FUserInterface->OpenFileName(filter, name, index)) return QString();
    return name;
  });
}

QString TScriptRuntime::GetSaveFileName(const QString& filter) {
  return RunOnThread(Thread(), QString(), [&] {
    QString name;
    int index = 1;
    if (!FUserInterface || !FUserInterface->SaveFileName(filter, name, index)) return QString();
    return ApplyFilterExtension(name, filter, index);
  });
}

QString TScriptRuntime::ExtractFilePath(const QString& name) { return name.left(NameStart(name)); }

QString TScriptRuntime::ExtractFileName(const QString& name) { return name.mid(NameStart(name)); }

QString TScriptRuntime::ExtractFileExt(const QString& name) {
  const qsizetype dot = ExtensionDot(name);
  return dot < 0 ? QString() : name.mid(dot);
}

QString TScriptRuntime::ExtractFileNameOnly(const QString& name) {
  const qsizetype start = NameStart(name);
  const qsizetype dot = ExtensionDot(name);
  return name.mid(start, (dot < 0 ? name.size() : dot) - start);
}

QString TScriptRuntime::ChangeFileExt(const QString& name, const QString& ext) {
  const qsizetype dot = ExtensionDot(name);
  return (dot < 0 ? name : name.left(dot)) + ext;
}

QString TScriptRuntime::IncludeTrailingChar(const QString& text, const QString& suffix) {
  if (suffix.isEmpty() || text.endsWith(suffix, Qt::CaseSensitive)) return text;
  return text + suffix;
}

QString TScriptRuntime::ExcludeTrailingChar(const QString& text, const QString& suffix) {
  if (suffix.isEmpty() || !text.endsWith(suffix, Qt::CaseSensitive)) return text;
  return text.left(text.size() - suffix.size());
}

bool TScriptRuntime::FileExists(const QString& name) { return platform::FileExists(name); }

QString TScriptRuntime::BinToHex(const Variant& bytes) {
  return QString::fromLatin1(BytesOfValue(bytes).toHex().toUpper());
}

Variant TScriptRuntime::HexToBin(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size() / 2);
  // An odd last digit is ignored; decoding stops at the first pair that is not hexadecimal.
  for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) break;
    bytes.append(static_cast<char>(high * 16 + low));
  }
  return Variant::FromBytes(bytes);
}

QString TScriptRuntime::BinToStr(const Variant& bytes, std::int32_t codePage) {
  const unsigned page = CheckedCodePage(codePage);
  const QByteArray data = BytesOfValue(bytes);
  return platform::BytesToText(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), page);
}

Variant TScriptRuntime::StrToBin(const QString& text, std::int32_t codePage) {
  const unsigned page = CheckedCodePage(codePage);
  const std::string bytes = platform::TextToBytes(text, page);
  return Variant::FromBytes(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::int32_t TScriptRuntime::GetLength(const Variant& value) {
  const Variant v = value.Dereferenced();
  if (v.Type() == (VT_ARRAY | VT_UI1)) return static_cast<std::int32_t>(v.Bytes().size());
  if (v.Type() == (VT_ARRAY | VT_VARIANT)) return static_cast<std::int32_t>(v.Elements().size());
  if (v.Type() == VT_BSTR) return static_cast<std::int32_t>(v.StringValue().size());
  return 0;
}

QString TScriptRuntime::Trim(const QString& text) {
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && text[start].unicode() <= ' ') ++start;
  while (end > start && text[end - 1].unicode() <= ' ') --end;
  return text.mid(start, end - start);
}

QString TScriptRuntime::Replace(const QString& text, const QString& oldText,
                                const QString& newText) {
  // An empty pattern would match between every two characters.
  if (oldText.isEmpty()) return text;
  return QString(text).replace(oldText, newText, Qt::CaseSensitive);
}

QString TScriptRuntime::TranslateChars(const QString& text, const QString& from,
                                       const QString& to) {
  QString result;
  result.reserve(text.size());
  for (QChar c : text) {
    const qsizetype p = from.indexOf(c);
    if (p < 0) {
      result += c;
    } else if (p < to.size()) {
      result += to[p];
    }
  }
  return result;
}

Date TScriptRuntime::DecodeDate(const QString& text, Date fallback) {
  return ParseIsoDate(text, fallback);
}

QString TScriptRuntime::EncodeDate(Date date) { return FormatIsoDate(date); }

ComPtr<IDispatch> TScriptRuntime::CreateObject(const QString& name) {
  return CreateAutoObject(name, this);
}

void TScriptRuntime::CreateThread(const Variant& onCreate, const Variant& body,
                                  const Variant& onTerminate) {
  auto function = [](const Variant& value, const char* role, bool required) -> ComPtr<IDispatch> {
    const Variant v = value.Dereferenced();
    if (v.Type() == VT_DISPATCH && v.DispatchValue()) return ComPtr<IDispatch>(v.DispatchValue());
    const bool none = v.IsEmpty() || v.IsNull() || v.IsMissing() ||
                      (v.Type() == VT_DISPATCH && !v.DispatchValue());
    if (none && !required) return nullptr;
    throw EAutoObjectError(QStringLiteral("CreateThread: the %1 must be a function").arg(QLatin1String(role)));
  };
  ComPtr<IDispatch> create = function(onCreate, "on-create argument", false);
  ComPtr<IDispatch> main = function(body, "body", true);
  ComPtr<IDispatch> terminate = function(onTerminate, "on-terminate argument", false);
  TScriptThread* thread = new TScriptThread(*this, std::move(terminate));
  {
    std::lock_guard lock(FThreadsMutex);
    FThreads.push_back(thread);
  }
  QString error;
  if (!thread->Prepare(main.Get(), create.Get(), &error)) {
    // The thread is not started; passing the message on gives the caller the on-create
    // function's own exception back.
    ThreadEnded(thread);
    throw EAutoObjectError(error.isEmpty() ? QStringLiteral("CreateThread: the on-create function failed") : error);
  }
  thread->Start();
}

void TScriptRuntime::TerminateThreads() { StopThreads(false); }

void TScriptRuntime::StopThreads(bool interrupt) {
  const bool waiting = Thread()->IsCurrent();
  for (;;) {
    {
      std::lock_guard lock(FThreadsMutex);
      if (FThreads.empty()) return;
      for (TScriptThread* thread : FThreads) {
        thread->Terminate();
        if (interrupt) thread->Interrupt();
      }
    }
    // A script thread that waited here would wait for itself.
    if (!waiting) return;
    // Finished threads run their last step on this thread and leave the list.
    if (QCoreApplication::instance()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QCoreApplication::sendPostedEvents(FContext.get());
    }
    QThread::msleep(2);
  }
}

int TScriptRuntime::LiveThreads() const {
  std::lock_guard lock(FThreadsMutex);
  return static_cast<int>(FThreads.size());
}

void TScriptRuntime::ThreadEnded(TScriptThread* thread) {
  {
    std::lock_guard lock(FThreadsMutex);
    std::erase(FThreads, thread);
  }
  delete thread;
}

void TScriptRuntime::ReportFromAnyThread(const TScriptError& error) {
  RunOnThread(Thread(), false, [&] {
    TScriptErrorHandler handler = OnScriptError;
    if (handler) handler(error);
    return true;
  });
}

Variant TScriptRuntime::GetParamArray(std::int32_t n) {
  const QStringList params = Params();
  const qsizetype skip = std::max<qsizetype>(0, n);
  if (skip >= params.size()) return Variant::Null();
  std::vector<Variant> elements;
  for (qsizetype i = skip; i < params.size(); ++i) elements.emplace_back(params[i]);
  return Variant::FromArray(std::move(elements));
}

}  // namespace pw
