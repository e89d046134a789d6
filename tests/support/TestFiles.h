// File helpers shared by the tests: a whole file, or a whole folder tree, as bytes.
#pragma once

#include "platform/FileIO.h"

#include <QDir>
#include <QDirIterator>

#include <map>
#include <string>

namespace pw::tests {

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadOr(const QString& path) {
  std::string bytes;
  return platform::ReadWholeFile(path, bytes) ? bytes : "<missing>";
}

using TFileTree = std::map<QString, std::string>;

// Every file below folder, hidden ones included, by its path relative to folder.
inline TFileTree ReadTree(const QString& folder) {
  TFileTree files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files[QDir(folder).relativeFilePath(path)] = ReadOr(path);
  }
  return files;
}

}  // namespace pw::tests
