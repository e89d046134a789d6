// TImageHintWindow: the 128 x 128 tooltip window of the editor's image hint. It shows the
// picture as large as fits with its proportions kept, centred, whatever the picture's size.
// Owned by the main window; GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>

namespace pw::ui {

class TImageHintWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSize = 128;

  explicit TImageHintWindow(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  // Where the picture is drawn inside the window.
  static QRect PictureRect(QSize picture, QSize area);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage FPicture;
};

}  // namespace pw::ui
