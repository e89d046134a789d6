#include "platform/Paths.h"

#include <gtest/gtest.h>

#include "platform/QStringPrinter.h"

namespace pw::platform {
namespace {

TEST(PathsTest, SeparatorsAndTrailingSeparator) {
  EXPECT_EQ(NormalizeSeparators(u"a\\b/c\\"_qs), u"a/b/c/"_qs);
  EXPECT_EQ(IncludeTrailingSeparator(u""_qs), u""_qs);
  EXPECT_EQ(IncludeTrailingSeparator(u"/srv/site"_qs), u"/srv/site/"_qs);
  EXPECT_EQ(IncludeTrailingSeparator(u"/srv/site/"_qs), u"/srv/site/"_qs);
  EXPECT_EQ(IncludeTrailingSeparator(u"C:\\Sites\\"_qs), u"C:\\Sites/"_qs);
}

TEST(PathsTest, AbsoluteRule) {
  EXPECT_TRUE(IsAbsolutePath(u"/etc/passwd"_qs));
  EXPECT_TRUE(IsAbsolutePath(u"\\share\\x"_qs));
  EXPECT_TRUE(IsAbsolutePath(u"C:\\Windows"_qs));
  EXPECT_TRUE(IsAbsolutePath(u"c:x"_qs));
  EXPECT_TRUE(IsAbsolutePath(u"http://example.com/"_qs));
  EXPECT_FALSE(IsAbsolutePath(u""_qs));
  EXPECT_FALSE(IsAbsolutePath(u"images/a.png"_qs));
  EXPECT_FALSE(IsAbsolutePath(u"..\\up"_qs));
}

TEST(PathsTest, PartsOfAPathWithEitherSeparator) {
  EXPECT_EQ(ExtractFileDir(u"C:\\site\\html\\index.html"_qs), u"C:/site/html/"_qs);
  EXPECT_EQ(ExtractFileDir(u"/srv/site/index.html"_qs), u"/srv/site/"_qs);
  EXPECT_EQ(ExtractFileDir(u"index.html"_qs), u""_qs);
  EXPECT_EQ(ExtractFileName(u"a\\b/c.txt"_qs), u"c.txt"_qs);
  EXPECT_EQ(ExtractFileName(u"folder/"_qs), u""_qs);
  EXPECT_EQ(ExtractFileExt(u"a/b/page.HTML"_qs), u".HTML"_qs);
  EXPECT_EQ(ExtractFileExt(u"archive.tar.gz"_qs), u".gz"_qs);
  // A dot in a folder name is no extension of the file.
  EXPECT_EQ(ExtractFileExt(u"my.site\\readme"_qs), u""_qs);
  EXPECT_EQ(ExtractFileExt(u"noext"_qs), u""_qs);
}

TEST(PathsTest, ChangeFileExt) {
  EXPECT_EQ(ChangeFileExt(u"site/project.pwproj"_qs, u".pwtmpl"_qs), u"site/project.pwtmpl"_qs);
  EXPECT_EQ(ChangeFileExt(u"my.site/project"_qs, u".pwproj"_qs), u"my.site/project.pwproj"_qs);
  EXPECT_EQ(ChangeFileExt(u"page.html"_qs, u""_qs), u"page"_qs);
}

TEST(PathsTest, ConfinedJoinStaysBelowRoot) {
  EXPECT_EQ(ConfinedJoin(u"/srv/out"_qs, u"index.html"_qs), u"/srv/out/index.html"_qs);
  EXPECT_EQ(ConfinedJoin(u"/srv/out/"_qs, u"images\\a.png"_qs), u"/srv/out/images/a.png"_qs);
  EXPECT_EQ(ConfinedJoin(u"C:\\out\\"_qs, u"a/./b//c"_qs), u"C:/out/a/b/c"_qs);
  EXPECT_EQ(ConfinedJoin(u"/srv/out"_qs, u"a/../b.html"_qs), u"/srv/out/b.html"_qs);
  EXPECT_EQ(ConfinedJoin(u"/srv/out"_qs, u"css/"_qs), u"/srv/out/css/"_qs);
  EXPECT_EQ(ConfinedJoin(u"/srv/out"_qs, u""_qs), u"/srv/out/"_qs);
}

TEST(PathsTest, ConfinedJoinRefusesEscapes) {
  const QString root = u"/srv/out"_qs;
  EXPECT_EQ(ConfinedJoin(root, u".."_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"../secret"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"..\\secret"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"a/../../secret"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"a\\..\\..\\b"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"/etc/passwd"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"\\etc\\passwd"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"C:\\Windows\\win.ini"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"c:win.ini"_qs), QString());
  EXPECT_EQ(ConfinedJoin(root, u"a"_qs + QChar(u'\0') + u"b"_qs), QString());
}

}  // namespace
}  // namespace pw::platform
