// TConfigFile: the application's settings file, an INI file in a well-known folder that is
// read whole into memory (TConfigDataFile) and written back whole on request. TModule owns
// the application's instance; the value forms and the keys of section "General" live here.
//
// The INI file is UTF-8 without a byte-order mark, LF line ends (CR LF and a leading BOM are
// accepted; a file that is not valid UTF-8 is read in the ANSI code page). Section and key
// names compare without regard to case. Unknown sections, keys and comment lines are kept,
// in their order, on save. Load and Save report failure by a false result and an optional
// message; a missing file is no failure and reads as empty.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace pw {

// ---------------------------------------------------------------------------------------
// The in-memory INI file.

class TConfigDataFile {
 public:
  // Replaces the content with the parsed text.
  void SetText(const QString& text);
  // The file's text: "[section]" headers and "key=value" lines, each ending in '\n'.
  QString Text() const;
  void Clear() { FSections.clear(); }

  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& key) const;
  QStringList Sections() const;
  QStringList Keys(const QString& section) const;

  // The stored value, or defaultValue when the key is absent.
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  // Replaces the value in place, or appends the key (and the section) when absent. A line
  // break inside the value would cut the file's line in two, so CR and LF become spaces.
  // Names that would not read back (an empty key, a key holding '=' or starting with '[',
  // ';' or '#', an empty section or one holding ']') are not stored.
  void WriteString(const QString& section, const QString& key, const QString& value);
  void DeleteKey(const QString& section, const QString& key);
  void EraseSection(const QString& section);

 private:
  struct TLine {
    QString Key;  // empty for a line that is not key=value (comment, blank, stray text)
    QString Value;
    QString Raw;  // the line as read, for lines without a key
  };
  struct TSection {
    QString Name;  // empty for lines before the first header
    std::vector<TLine> Lines;
  };

  const TSection* FindSection(const QString& section) const;
  TSection* FindSection(const QString& section);

  std::vector<TSection> FSections;
};

// ---------------------------------------------------------------------------------------
// Value forms.

// Doubles every backslash, then writes LF as "\n" and CR as "\r".
QString EscapeConfigString(const QString& text);
// "\\" gives one backslash, "\n" a line feed, "\r" a carriage return; a backslash before any
// other character (or at the end) stays together with that character.
QString UnescapeConfigString(const QString& text);

// The record the window-placement keys store: eleven 32-bit integers, 44 bytes, written as
// 88 hex digits in memory order (little-endian). Plain data; the UI converts it from and to
// its window geometry with FromNormal/State/Normal*.
struct TWindowPlacement {
  static constexpr int kSize = 44;
  enum TShowState { wsNormal, wsMinimized, wsMaximized };
  // Show commands and flags as the record stores them.
  static constexpr std::int32_t kShowNormal = 1;
  static constexpr std::int32_t kShowMinimized = 2;
  static constexpr std::int32_t kShowMaximized = 3;
  static constexpr std::int32_t kRestoreToMaximized = 2;  // flag

  std::int32_t Length = kSize;
  std::int32_t Flags = 0;
  std::int32_t ShowCmd = kShowNormal;
  std::int32_t MinX = -1, MinY = -1;  // minimised position; -1 = let the system choose
  std::int32_t MaxX = -1, MaxY = -1;  // maximised position
  std::int32_t NormalLeft = 0, NormalTop = 0, NormalRight = 0, NormalBottom = 0;

  // A placement of the restored (normal) rectangle with the given state.
  static TWindowPlacement FromNormal(int left, int top, int width, int height, TShowState state);
  TShowState State() const;
  int NormalWidth() const { return NormalRight - NormalLeft; }
  int NormalHeight() const { return NormalBottom - NormalTop; }

  // The 44 bytes of the record, and back (false, and nothing changed, for another length).
  std::vector<std::uint8_t> ToBytes() const;
  bool FromBytes(const std::uint8_t* bytes, int size);

  friend bool operator==(const TWindowPlacement&, const TWindowPlacement&) = default;
};

// ---------------------------------------------------------------------------------------
// The settings file.

enum TConfigFileLocation {
  cflUser,             // FileName alone is the path
  cflModule,           // the folder of the program file
  cflAppData,          // the user's application-data folder
  cflDocuments,        // the user's documents folder
  cflCommonAppData,    // the all-users application-data folder
  cflCommonDocuments,  // the all-users documents folder
};

// The folder a location selects, ending in '/' (empty for cflUser).
QString ConfigFileLocationFolder(TConfigFileLocation location);

// The largest settings file read; a real one holds a few kilobytes of keys and histories.
constexpr std::int64_t kMaxConfigFileBytes = std::int64_t(16) << 20;

class TConfigFile {
 public:
  TConfigFile() = default;
  // Saves first when AutoSave is set (OnSave must then still be safe to call).
  ~TConfigFile();
  TConfigFile(const TConfigFile&) = delete;
  TConfigFile& operator=(const TConfigFile&) = delete;

  // FileName is relative to the Location's folder; '\' separators are accepted. Changing
  // either recomputes FullPath at once; the in-memory content stays.
  const QString& FileName() const { return FFileName; }
  void SetFileName(const QString& fileName);
  TConfigFileLocation Location() const { return FLocation; }
  void SetLocation(TConfigFileLocation location);
  const QString& FullPath() const { return FFullPath; }

  bool AutoLoad() const { return FAutoLoad; }
  void SetAutoLoad(bool value) { FAutoLoad = value; }
  bool AutoSave() const { return FAutoSave; }
  void SetAutoSave(bool value) { FAutoSave = value; }
  // Call once the properties are set: loads when AutoLoad is set.
  void Loaded();

  // Called after every Load and at the start of every Save.
  std::function<void(TConfigFile&)> OnLoad;
  std::function<void(TConfigFile&)> OnSave;

  // Re-reads the file (absent = empty), remembers its modification time, calls OnLoad.
  // False when the file exists but cannot be read (the content is then empty).
  bool Load(QString* error = nullptr);
  // Calls OnSave, then writes the whole file through a temporary and a rename, creating its
  // folder. False when it cannot be written (the old file is then unchanged).
  bool Save(QString* error = nullptr);
  // The file's modification time as last loaded (invalid when it was absent).
  const QDateTime& LoadedModificationTime() const { return FModificationTime; }

  TConfigDataFile& Data() { return FData; }
  const TConfigDataFile& Data() const { return FData; }

  // bool: "1"/"0" on writing; on reading a number (non-zero = true), else the default.
  bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
  void WriteBool(const QString& section, const QString& key, bool value);
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  void WriteString(const QString& section, const QString& key, const QString& value);

  // Hex form, two digits per byte (either case on reading). True and buffer filled only when
  // the stored text has exactly 2 * size hex digits.
  bool ReadBinary(const QString& section, const QString& key, int size, void* buffer) const;
  void WriteBinary(const QString& section, const QString& key, int size, const void* buffer);

  // False (placement untouched) when the key is absent or not exactly 88 hex digits. The
  // record is not checked further: the UI keeps a restored window on a visible screen.
  bool ReadWindowPlacement(const QString& section, const QString& key, TWindowPlacement& placement) const;
  void WriteWindowPlacement(const QString& section, const QString& key, const TWindowPlacement& placement);

  // Folder form: written with a trailing '/', read with '\' turned into '/' and a trailing
  // '/' added. An absent or empty value gives defaultValue.
  QString ReadFolder(const QString& section, const QString& key, const QString& defaultValue) const;
  void WriteFolder(const QString& section, const QString& key, const QString& folder);

  // Escaped-string form (EscapeConfigString) of a list of lines, each ended by CR LF.
  QStringList ReadStringList(const QString& section, const QString& key) const;
  void WriteStringList(const QString& section, const QString& key, const QStringList& lines);

 private:
  void UpdateFullPath();

  QString FFileName;
  TConfigFileLocation FLocation = cflUser;
  QString FFullPath;
  bool FAutoLoad = false;
  bool FAutoSave = false;
  QDateTime FModificationTime;
  TConfigDataFile FData;
};

// ---------------------------------------------------------------------------------------
// The application's keys, all in section "General".

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
