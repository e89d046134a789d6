#include "ui/ModuleActions.h"

#include "core/Module.h"
#include "core/Texts.h"
#include "ui/LocalStrings.h"
#include "ui/Localization.h"
#include "ui/Localizer.h"
#include "ui/ScintillaEditor.h"

#include <QAction>
#include <QIcon>

namespace pw::ui {
namespace {

// The core's texts in the language the windows show, from the newest live "Module" table.
QString ModuleText(std::string_view key) {
  const auto& tables = TLocalization::Instance().Tables();
  for (auto it = tables.rbegin(); it != tables.rend(); ++it) {
    if ((*it)->Section() != QLatin1String("Module")) continue;
    QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    // The core names an action's caption as its own tables do; a Qt action calls it "text".
    if (name.endsWith(QLatin1String(".Caption"))) name = name.chopped(8) + QStringLiteral(".text");
    return (*it)->GetString(name);
  }
  return {};
}

}  // namespace

TModuleActions::TModuleActions(TModule& module, TScintillaEditor& editor, QObject* parent)
    : QObject(parent), FModule(module), FEditor(editor) {
  setObjectName(QStringLiteral("Module"));
  // Outside a desktop session Qt knows no icon theme; the packaged Adwaita theme stands in.
  if (!QIcon::hasThemeIcon(QStringLiteral("document-open"))) QIcon::setThemeName(QStringLiteral("Adwaita"));
  TModule& m = module;
  TScintillaEditor& e = editor;
  const auto later = [this](const char* name) { return [this, name] { NotYetAvailable(Action(name)); }; };
  Add("NewAction", "New...", "document-new", "Ctrl+N", [&m] { m.CmNew(); });
  Add("OpenAction", "Open...", "document-open", "Ctrl+O", [&m] { m.CmOpen(); });
  Add("SaveAction", "Save", "document-save", "Ctrl+S", [&m] { m.CmSave(); });
  Add("SaveAsAction", "Save As...", "document-save-as", "", [&m] { m.CmSaveAs(); });
  Add("ExitAction", "Exit", "application-exit", "", [this] { emit ExitRequested(); });
  Add("UndoAction", "Undo", "edit-undo", "Ctrl+Z", [&e] { e.undo(); });
  Add("RedoAction", "Redo", "edit-redo", "Ctrl+Y", [&e] { e.redo(); });
  Add("CutAction", "Cut", "edit-cut", "Ctrl+X", [&e] { e.cut(); });
  Add("CopyAction", "Copy", "edit-copy", "Ctrl+C", [&e] { e.copy(); });
  Add("PasteAction", "Paste", "edit-paste", "Ctrl+V", [&e] { e.paste(); });
  Add("DeleteAction", "Delete", "edit-delete", "Del", [&e] { e.removeSelectedText(); });
  Add("SelectAllAction", "Select All", "edit-select-all", "Ctrl+A", [&e] { e.selectAll(); });
  Add("FindAction", "Find...", "edit-find", "Ctrl+F", later("FindAction"));
  Add("FindNextAction", "Find Next", "go-next", "F3", later("FindNextAction"));
  Add("ReplaceAction", "Replace...", "edit-find-replace", "Ctrl+R", later("ReplaceAction"));
  Add("Header1Action", "Header 1", "format-text-heading-1", "", [&m] { m.CmHeader1(); });
  Add("Header2Action", "Header 2", "format-text-heading-2", "", [&m] { m.CmHeader2(); });
  Add("Header3Action", "Header 3", "format-text-heading-3", "", [&m] { m.CmHeader3(); });
  Add("BoldAction", "Bold", "format-text-bold", "Ctrl+B", [&m] { m.CmBold(); });
  Add("ItalicAction", "Italic", "format-text-italic", "Ctrl+I", [&m] { m.CmItalic(); });
  Add("BoldItalicAction", "Bold Italic", "format-text-underline", "", [&m] { m.CmBoldItalic(); });
  Add("InsertLinkAction", "Insert Link", "insert-link", "Ctrl+L", [&m] { m.CmInsertLink(); });
  Add("InsertImageAction", "Insert Image...", "insert-image", "", [&m] { m.CmInsertImage(); });
  Add("UnorderedListAction", "Unordered List", "format-list-unordered", "", [&m] { m.CmUnorderedList(); });
  Add("OrderedListAction", "Ordered List", "format-list-ordered", "", [&m] { m.CmOrderedList(); });
  Add("PreformattedAction", "Text", "text-x-generic", "", [&m] { m.CmPreformatted(); });
  Add("AddPageAction", "Add Page", "list-add", "", [&m] { m.CmAddPage(); });
  Add("DeletePageAction", "Delete Page", "list-remove", "", [&m] { m.CmDeletePage(); });
  Add("TemplateEditAction", "Template Editor..", "document-properties", "", later("TemplateEditAction"));
  Add("FilesAction", "Files...", "folder", "F8", [this] { emit FilesRequested(); });
  Add("UploadAction", "Upload...", "network-server", "F5", later("UploadAction"));
  Add("BrowseAction", "Browse...", "web-browser", "Ctrl+F7", [this] { emit BrowseRequested(); });
  Add("PreviewAction", "Preview...", "document-print-preview", "F9", [this] { Preview(); });
  Add("OptionsAction", "Options...", "preferences-system", "", later("OptionsAction"));
  Add("HomePageAction", "Pagewick Home Page", "go-home", "", later("HomePageAction"));
  Add("GettingStartedAction", "Getting Started...", "help-contents", "", later("GettingStartedAction"));
  Add("AboutAction", "About...", "help-about", "", later("AboutAction"));

  FStrings = new TLocalStrings(this);
  FStrings->SetSection(QStringLiteral("Module"));
  FStrings->SetUnlocalizableNames({QStringLiteral("ConfigFile.FileName")});
  QString error;
  FStrings->Load(QStringLiteral(":/strings/Module.ini"), &error);
  FLocalizer = new TLocalizer(this);
  SetTextSource(&ModuleText);
}

QAction* TModuleActions::Add(const char* name, const char* caption, const char* icon,
                             const QString& shortcut, std::function<void()> handler) {
  auto* action = new QAction(QString::fromUtf8(caption), this);
  action->setObjectName(QString::fromLatin1(name));
  const QString iconName = QString::fromLatin1(icon);
  action->setIcon(QIcon::fromTheme(iconName, QIcon::fromTheme(iconName + QStringLiteral("-symbolic"))));
  if (!shortcut.isEmpty()) action->setShortcut(QKeySequence(shortcut));
  connect(action, &QAction::triggered, this, [this, handler] {
    handler();
    Update();
  });
  FActions[action->objectName()] = action;
  return action;
}

QAction* TModuleActions::Action(const QString& name) const {
  const auto it = FActions.find(name);
  return it == FActions.end() ? nullptr : it->second;
}

void TModuleActions::NotYetAvailable(QAction* action) {
  FModule.Host().ShowMessage(action->text().remove(QStringLiteral("...")),
                             FStrings->GetString(QStringLiteral("NotYetAvailable")),
                             TMessageKind::Information);
}

void TModuleActions::Preview() {
  if (!FModule.BuildSite()) return;
  // The scripts may show the site their own way; the built-in preview window comes later.
  if (!FModule.RunPreviewScript()) NotYetAvailable(Action("PreviewAction"));
}

void TModuleActions::Update() {
  const bool selected = FEditor.hasSelectedText();
  for (const char* name : {"CutAction", "CopyAction", "DeleteAction", "BoldAction", "ItalicAction",
                           "BoldItalicAction"})
    Action(name)->setEnabled(selected);
  Action("UndoAction")->setEnabled(FEditor.isUndoAvailable());
  Action("RedoAction")->setEnabled(FEditor.isRedoAvailable());
  Action("PasteAction")->setEnabled(!FEditor.isReadOnly());
  Action("DeletePageAction")->setEnabled(FModule.CanDeletePage());
}

}  // namespace pw::ui
