// The one QApplication of a GUI test binary, created on first use. Windows draw offscreen
// unless a platform is chosen, so the tests run with or without an X server.
#pragma once

#include <QApplication>

namespace pw::tests {

inline QApplication& GuiApplication() {
  static int argc = 1;
  static char name[] = "pw_tests_ui";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: at exit Qt's own globals may already be gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace pw::tests
