// pagewick: the desktop application. Start-up: the language (Russian unless --lang or
// PAGEWICK_LANG choose another), the main window with the central module, then the project
// named on the command line or the deferred reopen of the most recent one.
#include "ui/Localization.h"
#include "ui/MainForm.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
  // Past a file-size limit a write fails and is reported instead of killing the application.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pagewick"));

  int lang = pw::ui::LangRussian;
  bool ok = false;
  const int fromEnvironment = qEnvironmentVariableIntValue("PAGEWICK_LANG", &ok);
  if (ok && fromEnvironment > 0) lang = fromEnvironment;
  QStringList args = QApplication::arguments().mid(1);
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--lang") && i + 1 < args.size()) {
      const int chosen = args[i + 1].toInt(&ok);
      if (ok && chosen > 0) lang = chosen;
      args.remove(i, 2);
      break;
    }
  }
  pw::ui::TLocalization::Instance().SetLangId(lang);

  pw::ui::TMainForm form;
  form.show();
  form.Start(args);
  return app.exec();
}
