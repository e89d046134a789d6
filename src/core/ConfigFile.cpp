#include "core/ConfigFile.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cstring>

#include "platform/CodePage.h"
#include "platform/FileIO.h"
#include "platform/RegularFileRead.h"
#include "platform/Paths.h"
#include "platform/KnownFolders.h"

namespace pw {

namespace {

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString WithoutLineBreaks(QString value) {
  value.replace(u'\r', u' ');
  value.replace(u'\n', u' ');
  return value;
}

// The file's text: UTF-8 when it is valid UTF-8 (a BOM is skipped), else the ANSI code page
// so that a file edited by a legacy editor still reads sensibly.
QString DecodeIniBytes(const std::string& bytes) {
  std::string_view view(bytes);
  if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(QByteArrayView(view.data(), static_cast<qsizetype>(view.size())));
  if (!decoder.hasError()) return text;
  return platform::BytesToText(view, 0);
}

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

void PutInt32(std::uint8_t* out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* in) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return static_cast<std::int32_t>(bits);
}

QString General() { return QString::fromUtf16(kGeneralSection); }

}  // namespace

// ---------------------------------------------------------------------------------------
// TConfigDataFile

void TConfigDataFile::SetText(const QString& text) {
  FSections.clear();
  const QStringList lines = text.split(u'\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(u'\r')) line.chop(1);
    // The piece after the last line break is no line of its own.
    if (i == lines.size() - 1 && line.isEmpty()) break;

    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
      QString name = trimmed.mid(1, trimmed.size() - 2).trimmed();
      // "[]" names nothing; it is kept as a stray line so that saving loses nothing.
      if (!name.isEmpty()) {
        FSections.push_back(TSection{std::move(name), {}});
        continue;
      }
    }
    if (FSections.empty()) FSections.push_back(TSection{});
    TLine entry;
    const qsizetype equals = line.indexOf(u'=');
    const bool comment = trimmed.startsWith(u';') || trimmed.startsWith(u'#');
    if (equals > 0 && !comment && !line.left(equals).trimmed().isEmpty()) {
      entry.Key = line.left(equals).trimmed();
      entry.Value = line.mid(equals + 1);
    } else {
      entry.Raw = line;
    }
    FSections.back().Lines.push_back(std::move(entry));
  }
}

QString TConfigDataFile::Text() const {
  QString text;
  for (const TSection& section : FSections) {
    if (!section.Name.isEmpty()) text += u'[' + section.Name + QStringLiteral("]\n");
    for (const TLine& line : section.Lines) {
      text += line.Key.isEmpty() ? line.Raw : line.Key + u'=' + line.Value;
      text += u'\n';
    }
  }
  return text;
}

const TConfigDataFile::TSection* TConfigDataFile::FindSection(const QString& section) const {
  for (const TSection& candidate : FSections) {
    if (SameName(candidate.Name, section)) return &candidate;
  }
  return nullptr;
}

TConfigDataFile::TSection* TConfigDataFile::FindSection(const QString& section) {
  return const_cast<TSection*>(std::as_const(*this).FindSection(section));
}

bool TConfigDataFile::SectionExists(const QString& section) const {
  return !section.isEmpty() && FindSection(section) != nullptr;
}

bool TConfigDataFile::ValueExists(const QString& section, const QString& key) const {
  const TSection* found = FindSection(section);
  if (!found || key.isEmpty()) return false;
  for (const TLine& line : found->Lines) {
    if (SameName(line.Key, key)) return true;
  }
  return false;
}

QStringList TConfigDataFile::Sections() const {
  QStringList names;
  for (const TSection& section : FSections) {
    if (!section.Name.isEmpty()) names.append(section.Name);
  }
  return names;
}

QStringList TConfigDataFile::Keys(const QString& section) const {
  QStringList keys;
  if (const TSection* found = FindSection(section)) {
    for (const TLine& line : found->Lines) {
      if (!line.Key.isEmpty()) keys.append(line.Key);
    }
  }
  return keys;
}

QString TConfigDataFile::ReadString(const QString& section, const QString& key,
                                    const QString& defaultValue) const {
  const TSection* found = FindSection(section);
  if (!found || key.isEmpty()) return defaultValue;
  for (const TLine& line : found->Lines) {
    if (SameName(line.Key, key)) return line.Value;
  }
  return defaultValue;
}

void TConfigDataFile::WriteString(const QString& section, const QString& key, const QString& value) {
  // Names that would not read back as the same section and key are not stored.
  const QString cleanKey = WithoutLineBreaks(key).trimmed();
  const QString cleanSection = WithoutLineBreaks(section).trimmed();
  const bool keyReadsBack = !cleanKey.isEmpty() && !cleanKey.contains(u'=') &&
                           !cleanKey.startsWith(u'[') && !cleanKey.startsWith(u';') &&
                           !cleanKey.startsWith(u'#');
  if (!keyReadsBack || cleanSection.isEmpty() || cleanSection.contains(u']')) {
    return;
  }
  TSection* found = FindSection(cleanSection);
  if (!found) {
    FSections.push_back(TSection{cleanSection, {}});
    found = &FSections.back();
  }
  const QString cleanValue = WithoutLineBreaks(value);
  for (TLine& line : found->Lines) {
    if (SameName(line.Key, cleanKey)) {
      line.Value = cleanValue;
      return;
    }
  }
  // New keys go after the section's last key, before trailing blank lines and comments.
  auto insertAt = found->Lines.end();
  while (insertAt != found->Lines.begin() && std::prev(insertAt)->Key.isEmpty()) --insertAt;
  found->Lines.insert(insertAt, TLine{cleanKey, cleanValue, QString()});
}

void TConfigDataFile::DeleteKey(const QString& section, const QString& key) {
  TSection* found = FindSection(section);
  if (!found || key.isEmpty()) return;
  std::erase_if(found->Lines, [&](const TLine& line) { return SameName(line.Key, key); });
}

void TConfigDataFile::EraseSection(const QString& section) {
  if (section.isEmpty()) return;
  std::erase_if(FSections, [&](const TSection& candidate) { return SameName(candidate.Name, section); });
}

// ---------------------------------------------------------------------------------------
// Value forms

QString EscapeConfigString(const QString& text) {
  QString result;
  result.reserve(text.size() + text.size() / 8);
  for (QChar c : text) {
    if (c == u'\\') {
      result += u"\\\\";
    } else if (c == u'\n') {
      result += u"\\n";
    } else if (c == u'\r') {
      result += u"\\r";
    } else {
      result += c;
    }
  }
  return result;
}

QString UnescapeConfigString(const QString& text) {
  QString result;
  result.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != u'\\' || i + 1 == text.size()) {
      result += c;
      continue;
    }
    const QChar next = text[++i];
    if (next == u'\\') {
      result += u'\\';
    } else if (next == u'n') {
      result += u'\n';
    } else if (next == u'r') {
      result += u'\r';
    } else {
      result += c;
      result += next;
    }
  }
  return result;
}

TWindowPlacement TWindowPlacement::FromNormal(int left, int top, int width, int height,
                                              TShowState state) {
  TWindowPlacement placement;
  placement.NormalLeft = left;
  placement.NormalTop = top;
  placement.NormalRight = left + width;
  placement.NormalBottom = top + height;
  switch (state) {
    case wsNormal: placement.ShowCmd = kShowNormal; break;
    case wsMinimized: placement.ShowCmd = kShowMinimized; break;
    case wsMaximized: placement.ShowCmd = kShowMaximized; break;
  }
  return placement;
}

TWindowPlacement::TShowState TWindowPlacement::State() const {
  switch (ShowCmd) {
    case kShowMaximized: return wsMaximized;
    case kShowMinimized:
    case 6:   // minimize
    case 7:   // show minimised without activating
    case 11:  // force minimize
      return wsMinimized;
    default: return wsNormal;
  }
}

std::vector<std::uint8_t> TWindowPlacement::ToBytes() const {
  std::vector<std::uint8_t> bytes(kSize);
  const std::int32_t fields[] = {Length, Flags, ShowCmd, MinX, MinY, MaxX, MaxY,
                                 NormalLeft, NormalTop, NormalRight, NormalBottom};
  for (int i = 0; i < 11; ++i) PutInt32(bytes.data() + 4 * i, fields[i]);
  return bytes;
}

bool TWindowPlacement::FromBytes(const std::uint8_t* bytes, int size) {
  if (!bytes || size != kSize) return false;
  std::int32_t* fields[] = {&Length, &Flags, &ShowCmd, &MinX, &MinY, &MaxX, &MaxY,
                            &NormalLeft, &NormalTop, &NormalRight, &NormalBottom};
  for (int i = 0; i < 11; ++i) *fields[i] = GetInt32(bytes + 4 * i);
  return true;
}

// ---------------------------------------------------------------------------------------
// TConfigFile

QString ConfigFileLocationFolder(TConfigFileLocation location) {
  using platform::SpecialFolder;
  switch (location) {
    case cflUser: return QString();
    case cflModule: return platform::ModuleFolder();
    case cflAppData: return platform::SpecialFolderPath(SpecialFolder::AppData);
    case cflDocuments: return platform::SpecialFolderPath(SpecialFolder::Documents);
    case cflCommonAppData: return platform::SpecialFolderPath(SpecialFolder::CommonAppData);
    case cflCommonDocuments: return platform::SpecialFolderPath(SpecialFolder::CommonDocuments);
  }
  return QString();
}

TConfigFile::~TConfigFile() {
  if (FAutoSave) Save();
}

void TConfigFile::SetFileName(const QString& fileName) {
  FFileName = fileName;
  UpdateFullPath();
}

void TConfigFile::SetLocation(TConfigFileLocation location) {
  FLocation = location;
  UpdateFullPath();
}

void TConfigFile::UpdateFullPath() {
  if (FFileName.isEmpty()) {
    FFullPath.clear();
    return;
  }
  FFullPath = platform::NormalizeSeparators(ConfigFileLocationFolder(FLocation) + FFileName);
}

void TConfigFile::Loaded() {
  if (FAutoLoad) Load();
}

bool TConfigFile::Load(QString* error) {
  FData.Clear();
  FModificationTime = QDateTime();
  bool ok = true;
  if (!FFullPath.isEmpty() && QFileInfo::exists(FFullPath)) {
    std::string bytes;
    if (platform::ReadRegularFile(FFullPath, kMaxConfigFileBytes, bytes, error)) {
      FData.SetText(DecodeIniBytes(bytes));
      FModificationTime = QFileInfo(FFullPath).lastModified();
    } else {
      ok = false;
    }
  }
  if (OnLoad) OnLoad(*this);
  return ok;
}

bool TConfigFile::Save(QString* error) {
  if (OnSave) OnSave(*this);
  if (FFullPath.isEmpty()) {
    if (error) *error = QStringLiteral("The settings file has no name");
    return false;
  }
  const QByteArray utf8 = FData.Text().toUtf8();
  return platform::WriteWholeFile(
      FFullPath, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), error);
}

bool TConfigFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
  bool isNumber = false;
  const QString text = FData.ReadString(section, key, QString()).trimmed();
  const qlonglong number = text.toLongLong(&isNumber);
  if (isNumber) return number != 0;
  // A hexadecimal number ("$1F" or "0x1F") is a number too.
  QString hex = text;
  if (hex.startsWith(u'$')) {
    hex.remove(0, 1);
  } else if (hex.startsWith(u"0x", Qt::CaseInsensitive)) {
    hex.remove(0, 2);
  } else {
    return defaultValue;
  }
  const qulonglong hexNumber = hex.toULongLong(&isNumber, 16);
  return isNumber && !hex.startsWith(u'-') && !hex.startsWith(u'+') ? hexNumber != 0 : defaultValue;
}

void TConfigFile::WriteBool(const QString& section, const QString& key, bool value) {
  FData.WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString TConfigFile::ReadString(const QString& section, const QString& key,
                                const QString& defaultValue) const {
  return FData.ReadString(section, key, defaultValue);
}

void TConfigFile::WriteString(const QString& section, const QString& key, const QString& value) {
  FData.WriteString(section, key, value);
}

bool TConfigFile::ReadBinary(const QString& section, const QString& key, int size, void* buffer) const {
  if (size < 0 || (!buffer && size > 0)) return false;
  const QString text = FData.ReadString(section, key, QString());
  if (text.size() != 2 * static_cast<qsizetype>(size)) return false;
  std::vector<std::uint8_t> bytes(static_cast<size_t>(size));
  for (int i = 0; i < size; ++i) {
    const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[static_cast<size_t>(i)] = static_cast<std::uint8_t>(high * 16 + low);
  }
  if (size > 0) std::memcpy(buffer, bytes.data(), bytes.size());
  return true;
}

void TConfigFile::WriteBinary(const QString& section, const QString& key, int size, const void* buffer) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  QString text;
  if (size > 0 && buffer) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    text.reserve(2 * size);
    for (int i = 0; i < size; ++i) {
      text += QLatin1Char(kDigits[bytes[i] >> 4]);
      text += QLatin1Char(kDigits[bytes[i] & 15]);
    }
  }
  FData.WriteString(section, key, text);
}

bool TConfigFile::ReadWindowPlacement(const QString& section, const QString& key,
                                      TWindowPlacement& placement) const {
  std::uint8_t bytes[TWindowPlacement::kSize];
  if (!ReadBinary(section, key, TWindowPlacement::kSize, bytes)) return false;
  return placement.FromBytes(bytes, TWindowPlacement::kSize);
}

void TConfigFile::WriteWindowPlacement(const QString& section, const QString& key,
                                       const TWindowPlacement& placement) {
  const std::vector<std::uint8_t> bytes = placement.ToBytes();
  WriteBinary(section, key, static_cast<int>(bytes.size()), bytes.data());
}

QString TConfigFile::ReadFolder(const QString& section, const QString& key,
                                const QString& defaultValue) const {
  const QString value = FData.ReadString(section, key, QString());
  if (value.trimmed().isEmpty()) return defaultValue;
  return platform::IncludeTrailingSeparator(platform::NormalizeSeparators(value));
}

void TConfigFile::WriteFolder(const QString& section, const QString& key, const QString& folder) {
  FData.WriteString(section, key, platform::IncludeTrailingSeparator(platform::NormalizeSeparators(folder)));
}

QStringList TConfigFile::ReadStringList(const QString& section, const QString& key) const {
  const QString text = UnescapeConfigString(FData.ReadString(section, key, QString()));
  QStringList lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    lines.append(text.mid(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.append(text.mid(start));
  return lines;
}

void TConfigFile::WriteStringList(const QString& section, const QString& key, const QStringList& lines) {
  QString text;
  for (const QString& line : lines) text += line + QStringLiteral("\r\n");
  FData.WriteString(section, key, EscapeConfigString(text));
}

// ---------------------------------------------------------------------------------------
// The application's keys

void SetupApplicationConfigFile(TConfigFile& config) {
  config.SetLocation(cflCommonAppData);
  config.SetFileName(QString::fromUtf16(kApplicationConfigFileName));
}

bool ReadShowWelcomeScreenAtStartup(const TConfigFile& config) {
  return config.ReadBool(General(), QStringLiteral("ShowWelcomeScreenAtStartup"), true);
}

void WriteShowWelcomeScreenAtStartup(TConfigFile& config, bool value) {
  config.WriteBool(General(), QStringLiteral("ShowWelcomeScreenAtStartup"), value);
}

bool ReadPreviewNewProject(const TConfigFile& config) {
  return config.ReadBool(General(), QStringLiteral("PreviewNewProject"), false);
}

void WritePreviewNewProject(TConfigFile& config, bool value) {
  config.WriteBool(General(), QStringLiteral("PreviewNewProject"), value);
}

QString DefaultDefaultProjectPath() {
  return platform::SpecialFolderPath(platform::SpecialFolder::Documents) +
         QStringLiteral("My Web Projects/");
}

QString ReadDefaultProjectPath(const TConfigFile& config) {
  return config.ReadFolder(General(), QStringLiteral("DefaultProjectPath"), DefaultDefaultProjectPath());
}

void WriteDefaultProjectPath(TConfigFile& config, const QString& folder) {
  config.WriteFolder(General(), QStringLiteral("DefaultProjectPath"), folder);
}

QString DefaultLibraryPath() {
  return platform::SpecialFolderPath(platform::SpecialFolder::CommonDocuments) +
         QStringLiteral("Web Library/");
}

QString ReadLibraryPath(const TConfigFile& config) {
  return config.ReadFolder(General(), QStringLiteral("LibraryPath"), DefaultLibraryPath());
}

void WriteLibraryPath(TConfigFile& config, const QString& folder) {
  config.WriteFolder(General(), QStringLiteral("LibraryPath"), folder);
}

QStringList ReadRecentFiles(const TConfigFile& config) {
  const QString joined = config.ReadString(General(), QStringLiteral("RecentFiles"), QString());
  QStringList files;
  for (const QString& file : joined.split(u'|')) {
    if (!file.isEmpty()) files.append(file);
  }
  return files;
}

void WriteRecentFiles(TConfigFile& config, const QStringList& files) {
  QStringList kept;
  for (const QString& file : files) {
    if (kept.size() == kMaxRecentFilesWritten) break;
    // A '|' inside a path would read back as two bogus entries.
    if (file.isEmpty() || file.contains(u'|') || file.contains(u'\n') || file.contains(u'\r')) continue;
    kept.append(file);
  }
  config.WriteString(General(), QStringLiteral("RecentFiles"), kept.join(u'|'));
}

TSearchSettings ReadSearchSettings(const TConfigFile& config) {
  const QString section = General();
  TSearchSettings settings;
  settings.Backwards = config.ReadBool(section, QStringLiteral("SearchBackwards"), false);
  settings.CaseSensitive = config.ReadBool(section, QStringLiteral("SearchCaseSensitive"), false);
  settings.FromCaret = config.ReadBool(section, QStringLiteral("SearchFromCaret"), false);
  settings.SelectionOnly = config.ReadBool(section, QStringLiteral("SearchSelectionOnly"), false);
  settings.TextAtCaret = true;  // forced on at every start, whatever is stored
  settings.WholeWords = config.ReadBool(section, QStringLiteral("SearchWholeWords"), false);
  settings.Regex = config.ReadBool(section, QStringLiteral("SearchRegex"), false);
  settings.SearchText = config.ReadString(section, QStringLiteral("SearchText"), QString());
  settings.ReplaceText = config.ReadString(section, QStringLiteral("ReplaceText"), QString());
  settings.SearchTextHistory = config.ReadStringList(section, QStringLiteral("SearchTextHistory"));
  settings.ReplaceTextHistory = config.ReadStringList(section, QStringLiteral("ReplaceTextHistory"));
  return settings;
}

void WriteSearchSettings(TConfigFile& config, const TSearchSettings& settings) {
  const QString section = General();
  config.WriteBool(section, QStringLiteral("SearchBackwards"), settings.Backwards);
  config.WriteBool(section, QStringLiteral("SearchCaseSensitive"), settings.CaseSensitive);
  config.WriteBool(section, QStringLiteral("SearchFromCaret"), settings.FromCaret);
  config.WriteBool(section, QStringLiteral("SearchSelectionOnly"), settings.SelectionOnly);
  config.WriteBool(section, QStringLiteral("SearchTextAtCaret"), settings.TextAtCaret);
  config.WriteBool(section, QStringLiteral("SearchWholeWords"), settings.WholeWords);
  config.WriteBool(section, QStringLiteral("SearchRegex"), settings.Regex);
  config.WriteString(section, QStringLiteral("SearchText"), settings.SearchText);
  config.WriteString(section, QStringLiteral("ReplaceText"), settings.ReplaceText);
  config.WriteStringList(section, QStringLiteral("SearchTextHistory"), settings.SearchTextHistory);
  config.WriteStringList(section, QStringLiteral("ReplaceTextHistory"), settings.ReplaceTextHistory);
}

}  // namespace pw
