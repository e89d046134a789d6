// Every library may include only from itself and from the libraries below it. Each library
// sees all of src/ on its include path, so nothing but this test stops an upward include.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <map>
#include <set>

namespace pw::tests {
namespace {

const QString kCore = QStringLiteral("core");

// The folders below src/ and the folders each may include from, besides itself.
const std::map<QString, std::set<QString>>& AllowedIncludes() {
  static const std::map<QString, std::set<QString>> table = [] {
    const std::set<QString> belowCore = {"runtime", "scripting/objects", "scripting", "generator", "markup", "platform"};
    std::set<QString> belowServices = belowCore;
    belowServices.insert(kCore);
    std::set<QString> belowUi = belowServices;
    belowUi.insert({"preview", "publish", "packaged"});
    return std::map<QString, std::set<QString>>{
        {"platform", {}},
        {"markup", {"platform"}},
        {"generator", {"markup", "platform"}},
        {"scripting", {"platform"}},
        {"scripting/objects", {"scripting", "platform"}},
        {"runtime", {"scripting/objects", "scripting", "generator", "markup", "platform"}},
        {kCore, belowCore},
        {"preview", belowServices},
        {"publish", belowServices},
        {"packaged", belowServices},
        {"ui", belowUi},
        {"cli", belowUi},
    };
  }();
  return table;
}

// The library folder of a path below src/: the longest folder of the table it lies in.
QString LibraryOf(const QString& relative) {
  QString best;
  for (const auto& [folder, allowed] : AllowedIncludes()) {
    if (relative.startsWith(folder + u'/') && folder.size() > best.size()) best = folder;
  }
  return best;
}

TEST(Layering, TheTableNamesEveryFolderAndOnlyRefersToItsOwnFolders) {
  for (const auto& [folder, allowed] : AllowedIncludes()) {
    for (const QString& other : allowed) {
      EXPECT_TRUE(AllowedIncludes().count(other)) << qPrintable(folder) << " -> " << qPrintable(other);
      EXPECT_FALSE(AllowedIncludes().at(other).count(folder)) << "cycle " << qPrintable(folder) << " <-> "
                                                              << qPrintable(other);
    }
  }
  EXPECT_EQ(LibraryOf("scripting/objects/X.h"), "scripting/objects");
  EXPECT_EQ(LibraryOf("scripting/X.h"), "scripting");
  EXPECT_EQ(LibraryOf("coreish/X.h"), "");
}

TEST(Layering, EveryIncludeUnderSrcGoesDownward) {
  const QString src = QStringLiteral(PW_SOURCE_DIR "/src/");
  const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*"([^"]+)\")"),
                                   QRegularExpression::MultilineOption);
  int files = 0;
  QDirIterator it(src, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString relative = path.mid(src.size());
    const QString from = LibraryOf(relative);
    ASSERT_FALSE(from.isEmpty()) << "a source file outside every library: " << qPrintable(relative);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    const QString text = QString::fromUtf8(file.readAll());
    ++files;
    for (auto match = include.globalMatch(text); match.hasNext();) {
      const QString target = match.next().captured(1);
      if (!target.contains(u'/')) continue;  // a file beside it, in the same library
      const QString to = LibraryOf(target);
      EXPECT_FALSE(to.isEmpty()) << qPrintable(relative) << " includes " << qPrintable(target)
                                 << ", which lies in no library";
      if (to.isEmpty() || to == from) continue;
      EXPECT_TRUE(AllowedIncludes().at(from).count(to))
          << qPrintable(relative) << " (" << qPrintable(from) << ") may not include " << qPrintable(target) << " ("
          << qPrintable(to) << ")";
    }
  }
  EXPECT_GT(files, 50);
}

}  // namespace
}  // namespace pw::tests
