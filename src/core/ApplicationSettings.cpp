#include "core/ApplicationSettings.h"

#include "platform/KnownFolders.h"

namespace pw {

namespace {

QString General() { return QString::fromUtf16(kGeneralSection); }

}  // namespace

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
