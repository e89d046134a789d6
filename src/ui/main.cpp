// pagewick: the desktop application. Until the main window exists it only says so.
#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMessageBox::information(nullptr, "Pagewick", "The main window is not built yet.");
  return 0;
}
