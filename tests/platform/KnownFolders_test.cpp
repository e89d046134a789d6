#include "platform/KnownFolders.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"

namespace pw::tests {
using namespace pw::platform;
namespace {


TEST(KnownFoldersTest, PagewickHomeRootsAllFour) {
  TScopedEnvironment home("PAGEWICK_HOME", std::string("/tmp/pwhome"));
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::Documents), u"/tmp/pwhome/documents/"_qs);
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::AppData), u"/tmp/pwhome/appdata/"_qs);
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::CommonAppData), u"/tmp/pwhome/common-appdata/"_qs);
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::CommonDocuments), u"/tmp/pwhome/common-documents/"_qs);
  TScopedEnvironment trailing("PAGEWICK_HOME", std::string("/tmp/pwhome/"));
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::AppData), u"/tmp/pwhome/appdata/"_qs);
}

TEST(KnownFoldersTest, XdgVariablesChooseUserFolders) {
  TScopedEnvironment home("PAGEWICK_HOME", std::nullopt);
  TScopedEnvironment config("XDG_CONFIG_HOME", std::string("/tmp/xdg-config"));
  TScopedEnvironment documents("XDG_DOCUMENTS_DIR", std::string("/tmp/xdg-docs"));
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::AppData), u"/tmp/xdg-config/"_qs);
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::Documents), u"/tmp/xdg-docs/"_qs);
  // A relative value is ignored.
  TScopedEnvironment relative("XDG_CONFIG_HOME", std::string("relative/config"));
  const QString folder = SpecialFolderPath(SpecialFolder::AppData);
  EXPECT_TRUE(folder.startsWith(u'/'));
  EXPECT_TRUE(folder.endsWith(u"/.config/"_qs));
}

TEST(KnownFoldersTest, EveryFolderIsAbsoluteAndEndsInSeparator) {
  TScopedEnvironment home("PAGEWICK_HOME", std::nullopt);
  for (SpecialFolder folder : {SpecialFolder::Documents, SpecialFolder::AppData,
                               SpecialFolder::CommonAppData, SpecialFolder::CommonDocuments}) {
    const QString path = SpecialFolderPath(folder);
    EXPECT_TRUE(path.startsWith(u'/')) << path.toStdString();
    EXPECT_TRUE(path.endsWith(u'/')) << path.toStdString();
  }
}

// Whoever runs the tests, the shared folders follow the rule: the system-wide folder when
// this user may write there, otherwise the user's own folder.
TEST(KnownFoldersTest, SharedFoldersFallBackToTheUsersOwn) {
  TScopedEnvironment home("PAGEWICK_HOME", std::nullopt);
  const QFileInfo etcXdg(u"/etc/xdg"_qs);
  const QString expectedAppData = etcXdg.isDir() && etcXdg.isWritable()
                                      ? u"/etc/xdg/"_qs
                                      : SpecialFolderPath(SpecialFolder::AppData);
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::CommonAppData), expectedAppData);

  const QFileInfo shared(u"/srv/pagewick"_qs), srv(u"/srv"_qs);
  const bool sharedUsable = shared.exists() ? shared.isDir() && shared.isWritable()
                                            : srv.isDir() && srv.isWritable();
  EXPECT_EQ(SpecialFolderPath(SpecialFolder::CommonDocuments),
            sharedUsable ? u"/srv/pagewick/"_qs : SpecialFolderPath(SpecialFolder::Documents));
}

TEST(KnownFoldersTest, ModuleFolderHoldsThisProgram) {
  const QString folder = ModuleFolder();
  ASSERT_TRUE(folder.endsWith(u'/'));
  EXPECT_TRUE(QFileInfo::exists(folder + u"pw_tests_platform"_qs)) << folder.toStdString();
}

}  // namespace
}  // namespace pw::tests
