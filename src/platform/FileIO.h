// Whole-file reading and writing. Writes go through a temporary file in the same folder and a
// rename, so a crash never leaves a half-written file; missing folders are created.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace pw::platform {

// Reads the whole file into bytes. False (and bytes untouched) when it cannot be read.
bool ReadWholeFile(const QString& path, std::string& bytes, QString* error = nullptr);

// Writes bytes as the whole new content of the file, through a temporary and a rename,
// creating the file's folder with its parents when missing. False with a message on failure;
// the old file is then unchanged.
bool WriteWholeFile(const QString& path, std::string_view bytes, QString* error = nullptr);

// Creates the folder with its parents; true when it exists afterwards. False with the reason
// alone ("Permission denied", "Not a directory" where a file stands in the way; the caller
// names the folder).
bool ForceDirectories(const QString& folder, QString* error = nullptr);

// The names of the folder's entries (files, folders, links alike) as the file system holds
// them; false when the folder cannot be read.
bool ListFolderNames(const QString& folder, std::unordered_set<std::string>& names);

// What tells one version of a regular file from another without reading it: its size, its
// modification time and its inode (a file replaced by a rename has another).
struct TFileStamp {
  std::int64_t Size = -1;  // -1: not known
  std::int64_t Seconds = 0;
  std::int64_t Nanoseconds = 0;
  std::uint64_t Inode = 0;
  bool Known() const { return Size >= 0; }
  friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};
// The stamp of an open file; not known when it cannot be examined or is no regular file.
TFileStamp StampOf(int fd);

bool FileExists(const QString& path);
bool DirectoryExists(const QString& path);

}  // namespace pw::platform
