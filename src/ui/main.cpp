// pagewick: the desktop application. Until the main window exists it only says so.
#include <QApplication>
#include <QMessageBox>

#include <csignal>

int main(int argc, char** argv) {
  // Past a file-size limit a write fails and is reported instead of killing the application.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QMessageBox::information(nullptr, "Pagewick", "The main window is not built yet.");
  return 0;
}
