// TModuleActions: the central module's action list as Qt actions, with their captions (from
// the "Module" string table), icons and shortcuts, bound to TModule's commands. Commands whose
// windows come later say they are not yet available. Enabled states follow the editor.
// A child of the main window named "Module"; GUI thread only.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QAction;

namespace pw {
class TModule;
}

namespace pw::ui {

class TLocalStrings;
class TLocalizer;
class TScintillaEditor;

class TModuleActions : public QObject {
  Q_OBJECT

 public:
  TModuleActions(TModule& module, TScintillaEditor& editor, QObject* parent);

  // The action of that object name ("SaveAction"); nullptr for an unknown name.
  QAction* Action(const QString& name) const;
  TLocalStrings& Strings() { return *FStrings; }
  TLocalizer& Localizer() { return *FLocalizer; }
  // Re-evaluates every enabled state.
  void Update();

 signals:
  void ExitRequested();
  void FilesRequested();
  void BrowseRequested();

 private:
  QAction* Add(const char* name, const char* caption, const char* icon, const QString& shortcut,
               std::function<void()> handler);
  void NotYetAvailable(QAction* action);
  // Builds the site, then lets the scripts' preview function show it.
  void Preview();

  TModule& FModule;
  TScintillaEditor& FEditor;
  TLocalStrings* FStrings;
  TLocalizer* FLocalizer;
  std::map<QString, QAction*> FActions;
};

}  // namespace pw::ui
