#include "core/ConfigFile.h"

#include <QFileInfo>

#include <cstring>

#include "platform/FileIO.h"
#include "platform/Hex.h"
#include "platform/KnownFolders.h"
#include "platform/LineBreaks.h"
#include "platform/Paths.h"
#include "platform/RegularFileRead.h"
#include "platform/TextDecoding.h"

namespace pw {

namespace {

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

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
  const QString cleanKey = platform::WithoutLineBreaks(key).trimmed();
  const QString cleanSection = platform::WithoutLineBreaks(section).trimmed();
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
  const QString cleanValue = platform::WithoutLineBreaks(value);
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
      // A file edited by a legacy editor may be in the ANSI code page; it still reads sensibly.
      FData.SetText(platform::DecodeUnmarkedText(bytes));
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
  std::string bytes;
  if (text.size() != 2 * static_cast<qsizetype>(size) || !platform::FromHexExact(text.toStdU16String(), bytes))
    return false;
  if (size > 0) std::memcpy(buffer, bytes.data(), bytes.size());
  return true;
}

void TConfigFile::WriteBinary(const QString& section, const QString& key, int size, const void* buffer) {
  std::string hex;
  if (size > 0 && buffer)
    hex = platform::ToHex(std::string_view(static_cast<const char*>(buffer), static_cast<size_t>(size)));
  FData.WriteString(section, key, QString::fromLatin1(hex));
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

}  // namespace pw
