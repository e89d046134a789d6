#include "core/Texts.h"

#include <utility>

namespace pw {
namespace {

// Message keys, and property paths of the module's actions and dialogs.
const std::pair<std::string_view, const char*> kEnglish[] = {
    {"Title", "Pagewick"},
    {"SaveChanges", "Save changes to %s?"},
    {"Untitled", "Untitled"},
    {"Project", "Project"},
    {"DeletePageQuestion", "Delete '%s'?"},
    {"DefaultPageTitle", "My Web Project"},
    {"DefaultKeywords", "Page keywords"},
    {"DefaultDescription", "Page description"},
    {"DefaultPageContent", "Write here content of your web project..."},
    {"CannotSave", "Cannot save %s"},
    {"CannotOpen", "Cannot open %s"},
    {"SaveTypeUnavailable", "Saving in this file type is not available."},
    {"NotYetAvailable", "This command is not yet available."},
    {"ErrorPageTitle", "Error"},
    {"ErrorPageHeader", "Page not found"},
    {"ErrorPageText", "The page cannot be displayed. Check the project for wrong links or wrong page names."},
    {"NewAction.Caption", "New..."},
    {"OpenAction.Caption", "Open..."},
    {"SaveAction.Caption", "Save"},
    {"SaveAsAction.Caption", "Save As..."},
    {"AddPageAction.Caption", "Add Page"},
    {"DeletePageAction.Caption", "Delete Page"},
    {"ExitAction.Caption", "Exit"},
    {"OpenDialog.Title", "Open Project"},
    {"OpenDialog.Filter", "Web Site Project (*.pwproj)|*.pwproj;*.pwpproj|All Files (*.*)|*.*"},
    {"SaveDialog.Filter",
     "Web Site Project (*.pwproj)|*.pwproj|Web Site Template (*.pwtmpl)|*.pwtmpl|Tavrin Document (*.tavrin)|*.tavrin"},
};

TTextSource gSource = nullptr;

}  // namespace

void SetTextSource(TTextSource source) { gSource = source; }

QString EnglishText(std::string_view key) {
  for (const auto& [k, text] : kEnglish) {
    if (k == key) return QString::fromUtf8(text);
  }
  return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

QString LocalText(std::string_view key) {
  if (gSource) {
    QString text = gSource(key);
    if (!text.isEmpty()) return text;
  }
  return EnglishText(key);
}

QString LocalFormat(std::string_view key, const QString& arg) {
  QString text = LocalText(key);
  const qsizetype at = text.indexOf(QLatin1String("%s"));
  if (at >= 0) text.replace(at, 2, arg);
  return text;
}

}  // namespace pw
