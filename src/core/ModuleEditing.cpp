// The markup editing commands of TModule: headings, inline wrappers, list and preformatted
// prefixes, links and images, each producing exactly the markup the converter reads.
#include "core/Module.h"

#include "generator/Generator.h"

#include <algorithm>

namespace pw {
namespace {

// The heading level a line starts with (1 to 3), or 0.
int HeadingLevel(const QString& line) {
  for (int level = 1; level <= 3; ++level) {
    if (line.startsWith(QString(level, u'=') + u' ')) return level;
  }
  return 0;
}

// Whether path starts with folder, without regard to case; an empty folder holds nothing.
bool StartsWithFolder(const QString& path, const QString& folder) {
  return !folder.isEmpty() && path.startsWith(folder, Qt::CaseInsensitive);
}

QString Slashed(QString path) { return path.replace(u'\\', u'/'); }

// The output folder of the last build of this project; before one, the folder a build starts
// from ($out_path may move it while the build runs).
QString OutputFolder(TModule& module) {
  TGenerator& generator = module.Generator();
  if (!generator.OutPath().isEmpty() && generator.BasePath() == module.BasePath())
    return generator.ContentPath();
  return module.BasePath() + QStringLiteral("html/");
}

}  // namespace

bool TModule::SelectionAvailable() const {
  return FEditor.SelectionStart() != FEditor.SelectionEnd();
}

void TModule::WrapSelection(const QString& marker) {
  if (!SelectionAvailable()) return;
  const QString text = FEditor.SelectedText();
  FEditor.ReplaceRange(FEditor.SelectionStart(), FEditor.SelectionEnd(), marker + text + u']');
}

void TModule::CmBold() { WrapSelection(QStringLiteral("_[")); }
void TModule::CmItalic() { WrapSelection(QStringLiteral("__[")); }
void TModule::CmBoldItalic() { WrapSelection(QStringLiteral("___[")); }

void TModule::SetHeaderLevel(int level) {
  const int line = FEditor.Caret().Line;
  const QString text = FEditor.Line(line);
  const int current = HeadingLevel(text);
  QString result;
  if (current == level) result = text.mid(level + 1);  // the command's own level: removed
  else if (current == 0) result = QString(level, u'=') + u' ' + text;
  else if (level > current) result = QString(level - current, u'=') + text;
  else result = text.mid(current - level);
  FEditor.BeginUndoAction();
  FEditor.ReplaceRange({line, 0}, {line, static_cast<int>(text.size())}, result);
  FEditor.EndUndoAction();
}

void TModule::CmHeader1() { SetHeaderLevel(1); }
void TModule::CmHeader2() { SetHeaderLevel(2); }
void TModule::CmHeader3() { SetHeaderLevel(3); }

void TModule::ToggleLinePrefix(const QString& other, const QString& own) {
  const TTextPos start = FEditor.SelectionStart();
  const TTextPos end = FEditor.SelectionEnd();
  int last = end.Line;
  // A selection that ends in the first column does not take in that line.
  if (SelectionAvailable() && end.Column == 0) last = std::max(start.Line, end.Line - 1);
  const QString otherPrefix = other + u' ';
  const QString ownPrefix = own + u' ';
  FEditor.BeginUndoAction();
  for (int line = start.Line; line <= last; ++line) {
    const QString text = FEditor.Line(line);
    QString result;
    if (text.startsWith(otherPrefix)) result = ownPrefix + text.mid(2);
    else if (text.startsWith(ownPrefix)) result = text.mid(2);
    else result = ownPrefix + text;
    FEditor.ReplaceRange({line, 0}, {line, static_cast<int>(text.size())}, result);
  }
  FEditor.EndUndoAction();
}

void TModule::CmUnorderedList() { ToggleLinePrefix(QStringLiteral("#"), QStringLiteral("*")); }
void TModule::CmOrderedList() { ToggleLinePrefix(QStringLiteral("*"), QStringLiteral("#")); }
void TModule::CmPreformatted() { ToggleLinePrefix(QStringLiteral(" "), QStringLiteral(">")); }

void TModule::CmInsertLink() {
  const TTextPos start = FEditor.SelectionStart();
  if (SelectionAvailable()) {
    // The caret waits just after "*[" for the address to be typed before the text.
    FEditor.ReplaceRange(start, FEditor.SelectionEnd(), "*[" + FEditor.SelectedText() + u']');
    FEditor.SetCaret({start.Line, start.Column + 2});
    return;
  }
  FEditor.ReplaceRange(start, start, "*[" + FLinkAddress + u' ' + FLinkText + u']');
  const TTextPos address{start.Line, start.Column + 2};
  FEditor.SetSelection(address, {address.Line, address.Column + int(FLinkAddress.size())});
}

QString TModule::ImageInsertPath(const QString& file) {
  const QString path = Slashed(file);
  const QString output = Slashed(OutputFolder(*this));
  if (StartsWithFolder(path, output)) return path.mid(output.size());
  // The output folder sits one level below the project's folder.
  const QString project = Slashed(ProjectFolder());
  if (StartsWithFolder(path, project)) return "../" + path.mid(project.size());
  return path;
}

void TModule::CmInsertImage() {
  TFileDialog dialog;
  dialog.Title = QStringLiteral("Insert Image");
  dialog.Filter = QStringLiteral("All image files|*.jpg;*.png;*.gif");
  dialog.InitialDir = OutputFolder(*this);
  if (!FHost.OpenFileDialog(dialog)) return;
  const QString path = ImageInsertPath(dialog.FileName);
  const QString tail =
      SelectionAvailable() ? " alt=\"" + FEditor.SelectedText() + "\"]" : QStringLiteral("]");
  const TTextPos start = FEditor.SelectionStart();
  FEditor.ReplaceRange(start, FEditor.SelectionEnd(), "![" + path + tail);
  const TTextPos name{start.Line, start.Column + 2};
  FEditor.SetSelection(name, {name.Line, name.Column + int(path.size())});
}

}  // namespace pw
