// The application's settings: the keys of section "General" of the application's settings
// file, with their defaults. Stateless functions over a TConfigFile; every window that keeps
// an option adds its keys here.
#pragma once

#include "core/ConfigFile.h"

#include <QString>
#include <QStringList>

namespace pw {

inline constexpr char16_t kGeneralSection[] = u"General";
// The application's instance: FileName below, Location cflCommonAppData.
inline constexpr char16_t kApplicationConfigFileName[] = u"Pagewick/config.ini";
inline constexpr int kMaxRecentFilesWritten = 11;

// Sets FileName and Location of the application's instance.
void SetupApplicationConfigFile(TConfigFile& config);

bool ReadShowWelcomeScreenAtStartup(const TConfigFile& config);  // default true
void WriteShowWelcomeScreenAtStartup(TConfigFile& config, bool value);
bool ReadPreviewNewProject(const TConfigFile& config);  // default false
void WritePreviewNewProject(TConfigFile& config, bool value);
// Default: the user's documents folder + "My Web Projects/".
QString DefaultDefaultProjectPath();
QString ReadDefaultProjectPath(const TConfigFile& config);
void WriteDefaultProjectPath(TConfigFile& config, const QString& folder);
// Default: the all-users documents folder + "Web Library/".
QString DefaultLibraryPath();
QString ReadLibraryPath(const TConfigFile& config);
void WriteLibraryPath(TConfigFile& config, const QString& folder);

// The "|"-joined list, most recent first. Reading skips empty entries; writing stores the
// first kMaxRecentFilesWritten entries, leaving out any path that itself holds a '|'.
QStringList ReadRecentFiles(const TConfigFile& config);
void WriteRecentFiles(TConfigFile& config, const QStringList& files);

// The find and replace options with their texts and histories.
struct TSearchSettings {
  bool Backwards = false;
  bool CaseSensitive = false;
  bool FromCaret = false;
  bool SelectionOnly = false;
  bool TextAtCaret = false;
  bool WholeWords = false;
  bool Regex = false;
  QString SearchText;
  QString ReplaceText;
  QStringList SearchTextHistory;  // most recent first
  QStringList ReplaceTextHistory;

  friend bool operator==(const TSearchSettings&, const TSearchSettings&) = default;
};

// Reads the seven flags, two texts and two histories (missing keys give the defaults
// above). TextAtCaret always comes back true: the option is forced on at every start.
TSearchSettings ReadSearchSettings(const TConfigFile& config);
void WriteSearchSettings(TConfigFile& config, const TSearchSettings& settings);

}  // namespace pw
