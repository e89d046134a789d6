#include "platform/Paths.h"

#include <gtest/gtest.h>

#include "support/QStringPrinter.h"

namespace pw::tests {
using namespace pw::platform;
namespace {

struct TPathCase {
  QString (*Function)(const QString&);
  QString Input;
  QString Expected;
};

TEST(PathsTest, PartsOfAPathWithEitherSeparator) {
  const TPathCase cases[] = {
      {NormalizeSeparators, u"a\\b/c\\"_qs, u"a/b/c/"_qs},
      {IncludeTrailingSeparator, u""_qs, u""_qs},
      {IncludeTrailingSeparator, u"/srv/site"_qs, u"/srv/site/"_qs},
      {IncludeTrailingSeparator, u"/srv/site/"_qs, u"/srv/site/"_qs},
      {IncludeTrailingSeparator, u"C:\\Sites\\"_qs, u"C:\\Sites/"_qs},
      {ExtractFileDir, u"C:\\site\\html\\index.html"_qs, u"C:/site/html/"_qs},
      {ExtractFileDir, u"/srv/site/index.html"_qs, u"/srv/site/"_qs},
      {ExtractFileDir, u"index.html"_qs, u""_qs},
      {ExtractFileName, u"a\\b/c.txt"_qs, u"c.txt"_qs},
      {ExtractFileName, u"folder/"_qs, u""_qs},
      {ExtractFileExt, u"a/b/page.HTML"_qs, u".HTML"_qs},
      {ExtractFileExt, u"archive.tar.gz"_qs, u".gz"_qs},
      {ExtractFileExt, u"my.site\\readme"_qs, u""_qs},  // a dot in a folder name is no extension
      {ExtractFileExt, u"noext"_qs, u""_qs},
  };
  for (const TPathCase& c : cases) EXPECT_EQ(c.Function(c.Input), c.Expected) << c.Input.toStdString();
  EXPECT_EQ(ChangeFileExt(u"site/project.pwproj"_qs, u".pwtmpl"_qs), u"site/project.pwtmpl"_qs);
  EXPECT_EQ(ChangeFileExt(u"my.site/project"_qs, u".pwproj"_qs), u"my.site/project.pwproj"_qs);
  EXPECT_EQ(ChangeFileExt(u"page.html"_qs, u""_qs), u"page"_qs);
}

TEST(PathsTest, AbsoluteRule) {
  for (const QString& path : {u"/etc/passwd"_qs, u"\\share\\x"_qs, u"C:\\Windows"_qs, u"c:x"_qs, u"http://example.com/"_qs}) {
    EXPECT_TRUE(IsAbsolutePath(path)) << path.toStdString();
  }
  for (const QString& path : {u""_qs, u"images/a.png"_qs, u"..\\up"_qs}) EXPECT_FALSE(IsAbsolutePath(path)) << path.toStdString();
}

TEST(PathsTest, ConfinedJoinStaysBelowRoot) {
  const struct {
    QString Root, Relative, Expected;
  } cases[] = {
      {u"/srv/out"_qs, u"index.html"_qs, u"/srv/out/index.html"_qs},
      {u"/srv/out/"_qs, u"images\\a.png"_qs, u"/srv/out/images/a.png"_qs},
      {u"C:\\out\\"_qs, u"a/./b//c"_qs, u"C:/out/a/b/c"_qs},
      {u"/srv/out"_qs, u"a/../b.html"_qs, u"/srv/out/b.html"_qs},
      {u"/srv/out"_qs, u"css/"_qs, u"/srv/out/css/"_qs},
      {u"/srv/out"_qs, u""_qs, u"/srv/out/"_qs},
      {u"C:\\out"_qs, u"."_qs, u"C:/out/"_qs},
  };
  for (const auto& c : cases) EXPECT_EQ(ConfinedJoin(c.Root, c.Relative), c.Expected) << c.Relative.toStdString();
  for (const QString& escape : {u".."_qs, u"../secret"_qs, u"..\\secret"_qs, u"a/../../secret"_qs, u"a\\..\\..\\b"_qs,
                                u"/etc/passwd"_qs, u"\\etc\\passwd"_qs, u"C:\\Windows\\win.ini"_qs, u"c:win.ini"_qs,
                                u"a"_qs + QChar(u'\0') + u"b"_qs}) {
    EXPECT_EQ(ConfinedJoin(u"/srv/out"_qs, escape), QString()) << escape.toStdString();
  }
}

}  // namespace
}  // namespace pw::tests
