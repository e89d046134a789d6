// TFileListObject ("FileList"): scans folders into a list of TFileInfo entries, sorts them,
// finds duplicate files by size and MD5 content digest, and deletes (to the freedesktop trash
// or for good) or moves the selected ones. TFileInfo is one entry, handed to scripts as an
// object of its own. Folder arguments take '\' and '/'; results use '/', folders ending in
// '/'. Hidden entries (names starting with '.') and symbolic links are skipped, so a link
// cycle never makes a scan endless. Reference-counted; the list is guarded by a mutex, an
// entry's marks by its own, so a list handed to a script thread may be used from both sides.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "scripting/AutoObject.h"

namespace pw {

// A scanned folder: its path (ending in '/') and date. Shared by the entries of its files.
struct TFolderInfo {
  QString Path;
  QDateTime Date;
};

class TFileInfo : public TCustomAutoObject {
  PW_AUTO_CLASS(TFileInfo, TCustomAutoObject)

 public:
  TFileInfo(std::shared_ptr<const TFolderInfo> folder, QString name, QDateTime date, std::int64_t size);

  QString Name();
  QString Path();
  QString FileName();
  QString Folder();
  Variant FolderDate();
  Variant Date();
  std::int64_t Size();
  std::int32_t Group();
  void SetGroup(std::int32_t group);
  bool Selected();
  void SetSelected(bool selected);

  const TFolderInfo& FolderInfo() const { return *FFolder; }
  QDateTime FileDate() const { return FDate; }
  // The MD5 digest of the whole file, read on first need and then kept; false when the file
  // cannot be read (such a file is nobody's duplicate).
  bool Digest(QByteArray& digest);

 protected:
  ~TFileInfo() override = default;

 private:
  std::shared_ptr<const TFolderInfo> FFolder;
  QString FName;
  QDateTime FDate;
  std::int64_t FSize;
  std::mutex FMutex;
  std::int32_t FGroup = 0;
  bool FSelected = false;
  bool FDigestRead = false;
  bool FDigestOk = false;
  QByteArray FDigest;
};

class TFileListObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TFileListObject, TCustomAutoObject)

 public:
  // A MoveSelection tries this many numbered names in all before it gives up on the rest.
  static constexpr int kMaxNumberedNames = 10000;

  TFileListObject() = default;

  // Mask: one or more wildcard patterns separated by ';', matched ignoring case; "*.*" and an
  // empty mask match every file. Returns the number of files added; 0 for a folder scanned
  // before or one that does not exist.
  std::int32_t AddFiles(const QString& folder, const QString& mask, bool recursive);
  void RemoveAll();
  void SortByName();
  void SortBySize();
  void SortByDate();
  std::int32_t SelectDuplicates();
  void Clear();
  // Moves every selected file into the folder, named folder + name, or name + n + extension
  // when that exists (one counter n = 0, 1, ... for the whole call, at most kMaxNumberedNames
  // tries). Returns the number of files moved: a missing folder moves none.
  std::int32_t MoveSelection(const QString& folder);
  // Returns the number of files deleted; the entries stay in the list.
  std::int32_t DeleteSelection(bool toTrash);
  ComPtr<TFileInfo> Files(std::int32_t index);
  std::int32_t Length();

 protected:
  ~TFileListObject() override = default;

 private:
  using TFiles = std::vector<ComPtr<TFileInfo>>;
  // Scans one folder's files into the list; with the lock held.
  int ScanFolder(const QString& path, const QDateTime& date, const QStringList& filters);
  TFiles SelectedFiles();
  bool KnownFolder(const QString& path) const;

  std::mutex FMutex;
  std::vector<std::shared_ptr<TFolderInfo>> FFolders;
  QStringList FCanonicalFolders;
  TFiles FFiles;
};

}  // namespace pw
