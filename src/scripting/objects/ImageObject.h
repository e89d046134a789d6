// TImageObject: one picture for scripts and for the host (the editor's image hint, template
// thumbnails), held as a 32-bit ARGB image. It decodes every format Qt's image plugins read,
// resamples with real kernels (ImageResampler) and encodes with the writers Qt offers, JPEG
// at quality 100. Pictures whose decoded size would pass kMaxPixels are refused before any
// pixel is decoded, so a hostile header cannot exhaust memory. Not registered by name:
// scripts get one from the browser object. Reference-counted; the picture is guarded by a
// mutex, so an object handed to a script thread may be used from both sides.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <mutex>

#include "scripting/AutoObject.h"

class QIODevice;
class QPainter;
class QRect;

namespace pw {

class TImageObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TImageObject, TCustomAutoObject)

 public:
  // 64 Mpixels: 256 MiB as ARGB, far above any photograph a site shows.
  static constexpr qint64 kMaxPixels = qint64{64} * 1024 * 1024;

  TImageObject() = default;

  // Mode 0: the picture becomes the largest size of its aspect ratio inside width × height;
  // mode 1: width × height filled with colour (ARGB), the picture fitted inside and centred;
  // other modes: width × height, the picture covering it, centred, the overflow cut off.
  // Filter 0 nearest, 1 linear, 2 cubic, 3 Lanczos, others box. A size below 1 or a result
  // above kMaxPixels is a script error; an empty picture stays empty.
  void Resize(std::int32_t width, std::int32_t height, std::int32_t mode, std::int32_t filter, std::int64_t colour);
  // True when a picture was decoded; false, with the picture empty, otherwise.
  bool Load(const QString& file);
  bool LoadFromBlob(const Variant& bytes);
  // JPEG for the extensions .jpg and .jpeg (any case), PNG otherwise, written through a
  // temporary file and a rename. False, with any existing file untouched, when the picture is
  // empty or cannot be written.
  bool Save(const QString& file);
  // The picture encoded as "image/" + format (lower-cased) says; empty when there is no such
  // writer or the picture is empty.
  Variant SaveToBlob(const QString& format);
  void Empty();
  bool IsEmpty();
  // False when there is no clipboard (no display, or a program without a graphical
  // application object).
  bool CopyToClipboard();
  std::int32_t Width();
  std::int32_t Height();

  // Host side.
  bool LoadFromStream(QIODevice& stream);
  void Draw(QPainter& painter, const QRect& target);
  QImage Image();
  void SetImage(const QImage& image);

 protected:
  ~TImageObject() override = default;

 private:
  std::mutex FMutex;
  QImage FImage;
};

// The rectangle a w × h picture takes inside W × H when fitted (cover false) or covering
// (cover true), keeping its aspect ratio and centred. A zero source side counts as 1.
QRect FitRect(int w, int h, int W, int H, bool cover);

}  // namespace pw
