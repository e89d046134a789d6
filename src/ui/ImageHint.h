// TImageHint: finds the picture named under the mouse in the page text, for the editor's image
// hint. A name written between "(" or "[" and a blank, ")", "," or "]" is looked up in the
// output folder, the image folder and the other sub-folders of the output folder; the picture
// found is kept loaded until another one is needed.
// Owned by the main window; GUI thread only.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace pw::ui {

class TImageHint {
 public:
  // Whether a picture is named at column (1-based) of line. The folders come from the
  // directives of the text's first lines (read up to the first section header) and, when
  // relative, from projectFolder. The picture is then Picture().
  bool FindHintImage(const QStringList& firstLines, const QString& line,
                     const QString& projectFolder, int column);
  // The file of name in folder (ending in "/"): the name with ".jpg", ".gif" or ".png" added or
  // put in place of its extension; empty when none exists.
  static QString FindImageFile(const QString& name, const QString& folder);
  // The image name around column (0-based) of line, or empty.
  static QString NameAt(const QString& line, int column);

  const QImage& Picture() const { return FPicture; }
  const QString& PicturePath() const { return FPicturePath; }
  void Clear();

 private:
  void Load(const QString& path);

  QString FLastName;
  QString FPicturePath;
  QImage FPicture;
};

}  // namespace pw::ui
