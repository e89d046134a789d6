#include "ui/ImageHintWindow.h"

#include <QPainter>

namespace pw::ui {

TImageHintWindow::TImageHintWindow(QWidget* parent) : QWidget(parent, Qt::ToolTip) {
  setObjectName(QStringLiteral("ImageHintWindow"));
  setFixedSize(kSize, kSize);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
}

void TImageHintWindow::SetPicture(const QImage& picture) {
  FPicture = picture;
  update();
}

QRect TImageHintWindow::PictureRect(QSize picture, QSize area) {
  if (picture.isEmpty() || area.isEmpty()) return {};
  const QSize size = picture.scaled(area, Qt::KeepAspectRatio);
  return QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
}

void TImageHintWindow::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(PictureRect(FPicture.size(), rect().size()), FPicture);
}

}  // namespace pw::ui
