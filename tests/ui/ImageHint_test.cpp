#include "ui/ImageHint.h"
#include "ui/ImageHintWindow.h"

#include "GuiApplication.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using ui::TImageHint;

TEST(ImageHintTest, TheNameUnderTheMouseNeedsAnOpeningAndAClosingCharacter) {
  const struct {
    const char* Line;
    int Column;  // 0-based
    const char* Name;
  } cases[] = {
      {"![logo] x", 4, "logo"},
      {"![logo] x", 2, "logo"},
      {"(img/a.png, b)", 5, "img/a.png"},
      {"x [logo alt] y", 4, "logo"},
      {"![logo", 4, ""},             // the end of the line closes nothing
      {"logo] x", 1, ""},            // nothing opens it
      {"{logo} x", 2, ""},           // "{" is not an opening
      {"[a\\b.png]", 4, ""},         // a backslash cuts the name: no hint
      {"[a\\b.png]", 1, ""},
      {"[logo]", 0, ""},             // on the bracket itself
      {"[logo]", 99, ""},
      {"[logo]", -1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TImageHint::NameAt(c.Line, c.Column), c.Name) << c.Line << " @" << c.Column;
}

class ImageHintFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApplication();
    ASSERT_TRUE(FDir.isValid());
  }
  QString Folder() const { return FDir.path() + "/"; }
  void Picture(const QString& relative, QSize size = {4, 2}) {
    const QString path = FDir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(path, "PNG")) << path.toStdString();
  }
  QTemporaryDir FDir;
};

TEST_F(ImageHintFilesTest, ExtensionsAreTriedInOrder) {
  Picture("logo.gif");
  Picture("logo.png");
  Picture("photo.JPG");
  EXPECT_EQ(TImageHint::FindImageFile("logo", Folder()), Folder() + "logo.gif");
  EXPECT_EQ(TImageHint::FindImageFile("logo.png", Folder()), Folder() + "logo.png");
  EXPECT_EQ(TImageHint::FindImageFile("logo.bmp", Folder()), Folder() + "logo.gif");
  EXPECT_EQ(TImageHint::FindImageFile("photo.JPG", Folder()), Folder() + "photo.JPG");
  EXPECT_EQ(TImageHint::FindImageFile("none", Folder()), "");
}

TEST_F(ImageHintFilesTest, FoldersAreSearchedOutputThenImagesThenTheOthers) {
  const QStringList header{"$title x", "$image_path {$URL}pics/", "[index.html]", "$out_path elsewhere"};
  TImageHint hint;
  Picture("html/zz/logo.jpg");
  EXPECT_TRUE(hint.FindHintImage(header, "![logo]", Folder(), 4));
  EXPECT_TRUE(hint.PicturePath().endsWith("html/zz/logo.jpg"));
  Picture("html/pics/logo.png");
  hint.Clear();
  EXPECT_TRUE(hint.FindHintImage(header, "![logo]", Folder(), 4));
  EXPECT_TRUE(hint.PicturePath().endsWith("html/pics/logo.png"));
  Picture("html/logo.gif");
  hint.Clear();
  EXPECT_TRUE(hint.FindHintImage(header, "![logo]", Folder(), 4));
  EXPECT_TRUE(hint.PicturePath().endsWith("html/logo.gif"));
  // The same name again keeps the picture and still answers.
  EXPECT_TRUE(hint.FindHintImage(header, "![logo]", Folder(), 5));

  // A missing picture clears the hint; so does a file that is not a picture.
  EXPECT_FALSE(hint.FindHintImage(header, "![nothing]", Folder(), 4));
  EXPECT_TRUE(hint.Picture().isNull());
  QFile fake(FDir.filePath("html/fake.png"));
  ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
  fake.write("not a picture");
  fake.close();
  EXPECT_FALSE(hint.FindHintImage(header, "![fake]", Folder(), 4));
}

TEST(ImageHintWindowTest, PicturesFillTheSquareWithTheirProportions) {
  GuiApplication();
  ui::TImageHintWindow window;
  EXPECT_EQ(window.size(), QSize(128, 128));
  const QSize area(128, 128);
  EXPECT_EQ(ui::TImageHintWindow::PictureRect({400, 200}, area), QRect(0, 32, 128, 64));
  EXPECT_EQ(ui::TImageHintWindow::PictureRect({10, 20}, area), QRect(32, 0, 64, 128));
  EXPECT_EQ(ui::TImageHintWindow::PictureRect({0, 0}, area), QRect());
}

}  // namespace
}  // namespace pw::tests
