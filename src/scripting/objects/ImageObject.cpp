#include "scripting/objects/ImageObject.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRect>
#include <QSaveFile>

#include "scripting/objects/ByteArrayObject.h"
#include "scripting/objects/ImageResampler.h"

namespace pw {

PW_AUTO_MEMBERS(TImageObject,
    AutoMethod(1, "Resize", &TImageObject::Resize),
    AutoMethod(2, "Load", &TImageObject::Load),
    AutoMethod(3, "LoadFromBlob", &TImageObject::LoadFromBlob),
    AutoMethod(4, "Save", &TImageObject::Save),
    AutoMethod(5, "SaveToBlob", &TImageObject::SaveToBlob),
    AutoMethod(6, "Empty", &TImageObject::Empty),
    AutoMethod(7, "IsEmpty", &TImageObject::IsEmpty),
    AutoMethod(8, "CopyToClipboard", &TImageObject::CopyToClipboard),
    AutoGetter(9, "Width", &TImageObject::Width),
    AutoGetter(10, "Height", &TImageObject::Height))

namespace {

using TLock = std::lock_guard<std::mutex>;

// Rounds to the nearest integer, halves away from zero, without overflow for any int sides.
int MulDiv(qint64 a, qint64 b, qint64 c) { return static_cast<int>((2 * a * b + c) / (2 * c)); }

// Decodes with the size checked first; a null image when it cannot be read or is too large.
QImage Decode(QIODevice& device) {
  QImageReader reader(&device);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && qint64{size.width()} * size.height() > TImageObject::kMaxPixels) return QImage();
  QImage image;
  if (!reader.read(&image)) return QImage();
  if (qint64{image.width()} * image.height() > TImageObject::kMaxPixels) return QImage();
  return image.convertToFormat(QImage::Format_ARGB32);
}

bool Encode(const QImage& image, QIODevice& device, const QByteArray& format) {
  if (image.isNull()) return false;
  QImageWriter writer(&device, format);
  if (format == "jpeg") writer.setQuality(100);
  // JPEG has no alpha: transparent parts would turn black, so they are laid on white.
  if (format == "jpeg" && image.hasAlphaChannel()) {
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return writer.write(flat);
  }
  return writer.write(image);
}

}  // namespace

QRect FitRect(int w, int h, int W, int H, bool cover) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  const double a = static_cast<double>(H) / h;
  const double b = static_cast<double>(W) / w;
  const bool fullWidth = cover ? a < b : a > b;
  if (fullWidth) {
    const int height = MulDiv(h, W, w);
    return QRect(0, (H - height) / 2, W, height);
  }
  const int width = MulDiv(w, H, h);
  return QRect((W - width) / 2, 0, width, H);
}

void TImageObject::Resize(std::int32_t width, std::int32_t height, std::int32_t mode, std::int32_t filter,
                          std::int64_t colour) {
  if (width < 1 || height < 1 || qint64{width} * height > kMaxPixels) {
    throw EAutoObjectError(QStringLiteral("A picture cannot be resized to %1 x %2 (at most %3 pixels)")
                               .arg(width)
                               .arg(height)
                               .arg(kMaxPixels));
  }
  TLock lock(FMutex);
  if (FImage.isNull()) return;
  const TResampleFilter kernel = filter >= 0 && filter <= 3 ? static_cast<TResampleFilter>(filter)
                                                            : TResampleFilter::rfBox;
  const QRect target = FitRect(FImage.width(), FImage.height(), width, height, mode != 0 && mode != 1);
  if (target.width() < 1 || target.height() < 1) {
    throw EAutoObjectError(QStringLiteral("A %1 x %2 picture has no size inside %3 x %4")
                               .arg(FImage.width())
                               .arg(FImage.height())
                               .arg(width)
                               .arg(height));
  }
  if (qint64{target.width()} * target.height() > kMaxPixels) {
    throw EAutoObjectError(QStringLiteral("Covering %1 x %2 would make a picture too large").arg(width).arg(height));
  }
  const QImage scaled = Resample(FImage, target.width(), target.height(), kernel);
  if (mode == 0) {
    FImage = scaled;
    return;
  }
  QImage canvas(width, height, QImage::Format_ARGB32);
  canvas.fill(QColor::fromRgba(static_cast<QRgb>(colour & 0xFFFFFFFF)));
  QPainter painter(&canvas);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(target.topLeft(), scaled);
  painter.end();
  FImage = canvas;
}

bool TImageObject::Load(const QString& file) {
  QFile device(file);
  QImage image;
  if (device.open(QIODevice::ReadOnly)) image = Decode(device);
  SetImage(image);
  return !image.isNull();
}

bool TImageObject::LoadFromBlob(const Variant& bytes) {
  QByteArray data = BytesOfValue(bytes);
  QBuffer buffer(&data);
  return buffer.open(QIODevice::ReadOnly) && LoadFromStream(buffer);
}

bool TImageObject::LoadFromStream(QIODevice& stream) {
  const QImage image = Decode(stream);
  SetImage(image);
  return !image.isNull();
}

bool TImageObject::Save(const QString& file) {
  const QString lower = file.toLower();
  const QByteArray format =
      lower.endsWith(QStringLiteral(".jpg")) || lower.endsWith(QStringLiteral(".jpeg")) ? "jpeg" : "png";
  const QImage image = Image();
  if (image.isNull()) return false;
  QSaveFile out(file);
  return out.open(QIODevice::WriteOnly) && Encode(image, out, format) && out.commit();
}

Variant TImageObject::SaveToBlob(const QString& format) {
  const QByteArray mime = "image/" + format.toLower().toLatin1();
  const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mime);
  const QImage image = Image();
  if (formats.isEmpty() || image.isNull()) return Variant();
  const QByteArray name = formats.contains("jpeg") ? QByteArray("jpeg") : formats.first();
  QByteArray data;
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::WriteOnly) || !Encode(image, buffer, name)) return Variant();
  return Variant::FromBytes(data);
}

void TImageObject::Empty() { SetImage(QImage()); }

bool TImageObject::IsEmpty() {
  TLock lock(FMutex);
  return FImage.width() == 0 || FImage.height() == 0;
}

bool TImageObject::CopyToClipboard() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  const QImage image = Image();
  if (!app || image.isNull()) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  clipboard->setImage(image);
  return true;
}

std::int32_t TImageObject::Width() {
  TLock lock(FMutex);
  return FImage.width();
}

std::int32_t TImageObject::Height() {
  TLock lock(FMutex);
  return FImage.height();
}

void TImageObject::Draw(QPainter& painter, const QRect& target) {
  const QImage image = Image();
  if (image.isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
  painter.restore();
}

QImage TImageObject::Image() {
  TLock lock(FMutex);
  return FImage;
}

void TImageObject::SetImage(const QImage& image) {
  QImage copy = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32);
  TLock lock(FMutex);
  FImage = std::move(copy);
}

}  // namespace pw
