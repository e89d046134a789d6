// pw_ui_screenshot PROJECT OUT.png [LANG]: opens the project in the main window, lets it settle
// and saves a picture of the window. Used by scripts/screenshot.sh under Xvfb.
#include "ui/Localization.h"
#include "ui/MainForm.h"
#include "ui/ScintillaEditor.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: pw_ui_screenshot PROJECT OUT.png [LANG]\n");
    return 2;
  }
  pw::ui::TLocalization::Instance().SetLangId(args.size() > 3 ? args[3].toInt() : 1033);
  pw::ui::TMainForm form;
  form.resize(960, 640);
  form.show();
  if (!form.Start({args[1]})) return 1;
  // A caret inside the page shows the highlighting around it.
  form.GoToPage(1);
  QTimer::singleShot(1500, &app, [&] {
    const bool saved = form.grab().save(args[2]);
    app.exit(saved ? 0 : 1);
  });
  const int rc = app.exec();
  form.Editor().SetModified(false);  // nothing to ask about on the way out
  return rc;
}
