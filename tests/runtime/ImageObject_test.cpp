// The image object through real scripts: the three resize modes with the fitting rule, the
// kernels on pictures whose right answer is known, the encoders chosen by extension and by
// format, and hostile pictures (truncated data, a huge header) refused without a crash.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <utility>

#include "RuntimeFixture.h"
#include "scripting/objects/ImageObject.h"
#include "scripting/objects/ImageResampler.h"
#include "support/QStringPrinter.h"

namespace pw::tests {
namespace {

class ImageObjectTest : public RuntimeFixture {
 protected:
  ImageObjectTest() {
    runtime.AddItem(QStringLiteral("img"), FImage->AsDispatch(), false);
    Run(QStringLiteral("var dir = '%1';").arg(FDir.path()));
  }

  ComPtr<TImageObject> FImage = MakeAutoObject<TImageObject>();
  QTemporaryDir FDir;
};

QImage Filled(int w, int h, QRgb colour) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(colour);
  return image;
}

TEST_F(ImageObjectTest, ResizeModesFollowTheFittingRule) {
  for (const TCase& c : {
           TCase{"0", "100x50 ffff0000"},
           TCase{"1", "100x100 ff0000ff ffff0000 ff0000ff"},  // 25-pixel bands above and below
           TCase{"2", "100x100 ffff0000 ffff0000 ffff0000"},  // covered, the sides cut off
       }) {
    FImage->SetImage(Filled(400, 200, 0xFFFF0000));
    Run(QStringLiteral("img.Resize(100, 100, %1, 3, 0xFF0000FF);").arg(QString::fromUtf8(c.Expression)));
    const QImage out = FImage->Image();
    QString text = QStringLiteral("%1x%2").arg(out.width()).arg(out.height());
    const QList<int> rows = out.height() == 100 ? QList<int>{24, 25, 75} : QList<int>{25};
    for (int y : rows) text += QLatin1Char(' ') + QString::number(out.pixel(50, y), 16);
    EXPECT_EQ(text, QString::fromUtf8(c.Expected)) << "mode " << c.Expression;
  }
  EXPECT_EQ(FitRect(0, 0, 10, 20, false), QRect(0, 5, 10, 10));
  EXPECT_EQ(FitRect(3, 1, 100, 100, false), QRect(0, 33, 100, 33));
  EXPECT_NE(ErrorOf(QStringLiteral("img.Resize(0, 10, 0, 0, 0)")), QStringLiteral("no error"));
}

// A two-level step says what each kernel does: nearest keeps the levels, the others blend at
// the edge, and only the kernels with negative lobes (cubic, Lanczos) overshoot beside it.
TEST(ImageResampler, KernelsBehaveAsTheirShapesSay) {
  QImage source(8, 1, QImage::Format_ARGB32);
  for (int x = 0; x < 8; ++x) source.setPixel(x, 0, x < 4 ? 0xFF404040 : 0xFFC0C0C0);
  auto red = [](const QImage& image, int x) { return qRed(image.pixel(x, 0)); };
  auto extremes = [&](const QImage& image) {
    int low = 255, high = 0;
    for (int x = 0; x < image.width(); ++x) {
      low = std::min(low, red(image, x));
      high = std::max(high, red(image, x));
    }
    return std::pair{low, high};
  };
  const QImage nearest = Resample(source, 16, 1, TResampleFilter::rfNearest);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(red(nearest, x), x < 8 ? 0x40 : 0xC0) << x;
  const QImage linear = Resample(source, 16, 1, TResampleFilter::rfLinear);
  EXPECT_GT(red(linear, 8), 0x80);
  EXPECT_LT(red(linear, 7), 0x80);
  EXPECT_EQ(extremes(linear), (std::pair{0x40, 0xC0}));
  for (auto filter : {TResampleFilter::rfCubic, TResampleFilter::rfLanczos}) {
    const auto [low, high] = extremes(Resample(source, 16, 1, filter));
    EXPECT_LT(low, 0x40) << static_cast<int>(filter);
    EXPECT_GT(high, 0xC0) << static_cast<int>(filter);
  }
  // Same size: the interpolating kernels give the picture back.
  for (auto filter : {TResampleFilter::rfNearest, TResampleFilter::rfLinear, TResampleFilter::rfCubic,
                      TResampleFilter::rfLanczos, TResampleFilter::rfBox}) {
    EXPECT_EQ(Resample(source, 8, 1, filter), source) << static_cast<int>(filter);
  }
  // Shrinking averages every pixel: an alternating pattern halves to grey.
  QImage stripes(64, 1, QImage::Format_ARGB32);
  for (int x = 0; x < 64; ++x) stripes.setPixel(x, 0, x % 2 ? 0xFFFFFFFF : 0xFF000000);
  const QImage small = Resample(stripes, 8, 1, TResampleFilter::rfLanczos);
  EXPECT_NEAR(red(small, 4), 128, 8);
}

TEST_F(ImageObjectTest, EncodersFollowTheExtensionAndTheFormat) {
  FImage->SetImage(Filled(20, 10, 0xFF336699));
  auto head = [&](const char* name) {
    QFile file(FDir.path() + QLatin1Char('/') + QString::fromUtf8(name));
    return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
  };
  Run(QStringLiteral("img.Save(dir + '/a.JPG'); img.Save(dir + '/b.jpeg'); img.Save(dir + '/c.gif');"));
  EXPECT_EQ(head("a.JPG").left(3), QByteArray("\xFF\xD8\xFF"));
  EXPECT_EQ(head("b.jpeg").left(3), QByteArray("\xFF\xD8\xFF"));
  EXPECT_EQ(head("c.gif"), QByteArray("\x89PNG"));
  for (const TCase& c : {
           TCase{"new Uint8Array(img.SaveToBlob('PNG'))[1]", "80"},  // 'P'
           TCase{"new Uint8Array(img.SaveToBlob('jpeg'))[0]", "255"},
           TCase{"typeof img.SaveToBlob('nonesuch')", "undefined"},
           TCase{"img.LoadFromBlob(img.SaveToBlob('png')) + ':' + img.Width + 'x' + img.Height", "true:20x10"},
           TCase{"img.Load(dir + '/a.JPG') + ':' + img.Width", "true:20"},
           TCase{"(img.Empty(), img.IsEmpty()) + ':' + img.Save(dir + '/a.JPG') + ':' + img.CopyToClipboard()",
                 "true:false:false"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  // The failed save above left the earlier file as it was.
  EXPECT_EQ(head("a.JPG").left(3), QByteArray("\xFF\xD8\xFF"));
}

// The CRC-32 of PNG chunks, so that a forged header passes the decoder's checks.
quint32 Crc32(const QByteArray& bytes) {
  quint32 crc = 0xFFFFFFFF;
  for (char c : bytes) {
    crc ^= static_cast<quint8>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

TEST_F(ImageObjectTest, HostilePicturesAreRefused) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  Filled(64, 64, 0xFF00FF00).save(&buffer, "PNG");
  // A valid header announcing 30,000 x 30,000 pixels, with the rest of a small picture.
  QByteArray huge = png;
  const char side[4] = {0, 0, 0x75, 0x30};
  huge.replace(16, 4, QByteArray(side, 4)).replace(20, 4, QByteArray(side, 4));
  const quint32 crc = Crc32(huge.mid(12, 17));
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  QFile file(FDir.path() + QStringLiteral("/huge.png"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(huge);
  file.close();
  QFile truncated(FDir.path() + QStringLiteral("/cut.png"));
  ASSERT_TRUE(truncated.open(QIODevice::WriteOnly));
  truncated.write(png.left(png.size() / 2));
  truncated.close();
  for (const TCase& c : {
           TCase{"img.Load(dir + '/huge.png') + ':' + img.IsEmpty()", "false:true"},
           TCase{"img.Load(dir + '/cut.png') + ':' + img.IsEmpty()", "false:true"},
           TCase{"img.Load(dir + '/missing.png')", "false"},
           TCase{"img.LoadFromBlob(new Uint8Array([1, 2, 3]))", "false"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

}  // namespace
}  // namespace pw::tests
