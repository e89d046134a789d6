// TConfigFile: an INI settings file in a well-known folder that is read whole into memory
// (TConfigDataFile) and written back whole on request, with its value forms. TModule owns the
// application's instance; the application's keys live in ApplicationSettings.h and the window
// placement record in WindowPlacement.h.
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

}  // namespace pw
