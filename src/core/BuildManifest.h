// TBuildManifest: what the last build into an output folder wrote, kept in a hidden file of the
// project folder (".pagewick-build-" and a digest of the output folder's path), so that a build
// whose inputs have not changed since can leave the output as it is without rendering a page.
// The output folder itself holds nothing but the site.
//
// The inputs are named by a key: the content text, every file of the template folder (name,
// size, time), the paths the build uses and the program itself. The files are recorded with
// their size, modification time and inode; a file changed, replaced or removed since makes the
// manifest stale. Only builds in which no script ran may be recorded, since a script may give
// other results from the same inputs. A value type; its methods touch only its file and the
// files it lists. Safe to use from one thread at a time.
#pragma once

#include "platform/FileIO.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <string_view>

namespace pw {

class TBuildManifest {
 public:
  // No manifest is kept (Matches fails, Store does nothing) without a project folder.
  TBuildManifest(const QString& projectFolder, const QString& outputFolder);

  // The key of a build's inputs; settings holds the paths and options it depends on. Empty
  // when the inputs cannot be named (a template folder of too many files).
  static QByteArray InputsKey(std::string_view content, const QString& templateFolder, const QStringList& settings);

  // True when the stored manifest has this key and every file it lists is still the file that
  // build left (files: their paths, in the order they were written).
  bool Matches(const QByteArray& key, QStringList* files) const;
  // Records the key and the files as they are now; false (and no manifest) when one of them
  // cannot be examined or the manifest cannot be written. known: stamps the writer took from
  // the open files (the last one of a file written twice); the others are examined here.
  bool Store(const QByteArray& key, const QStringList& files,
             const QHash<QString, platform::TFileStamp>& known = {}) const;
  // Removes the manifest, so that a build that fails halfway is not taken for a finished one.
  void Forget() const;

 private:
  QString FFolder;  // with a trailing '/'
  QString FPath;
};

}  // namespace pw
