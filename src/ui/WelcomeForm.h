// TWelcomeForm: the small window offered at start-up without a project argument, with
// shortcuts to the first steps: getting started, a new project, opening one, the web site. A
// link closes the window and then runs its command before the modal run returns, so that the
// wizard or the open dialog takes its place. Whether it shows at start-up is kept in the
// settings file ("General"/"ShowWelcomeScreenAtStartup"), written however it is closed.
// Created by the main window for one modal run; GUI thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QToolButton;

namespace pw {
class TModule;
}

namespace pw::ui {

class TModuleActions;

class TWelcomeForm : public QDialog {
  Q_OBJECT

 public:
  TWelcomeForm(TModule& module, TModuleActions& actions, QWidget* parent = nullptr);

  // Also reached by Close and Escape: stores the check box before closing.
  void done(int result) override;

 private:
  // A link in blue with an action's icon; clicking it closes the window, then triggers the
  // action.
  QToolButton* AddLink(const char* name, const char* text, const char* actionName);

  TModule& FModule;
  TModuleActions& FActions;
  QCheckBox* FShowCheckBox = nullptr;
};

}  // namespace pw::ui
