// Folder-per-case build tests. Each folder below tests/build that holds a site.pwproj is one
// case: its project and template folder are copied to a temporary folder, built there with
// `pagewick-cli build --out`, and the output must equal the case's expected/ folder file for
// file. A new case is a new folder; PW_UPDATE_BUILD_CASES=1 writes the expected/ folders from
// the current output (to be read and checked before committing).
#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <cstdlib>

namespace pw::tests {
namespace {

const QString kCases = QStringLiteral(PW_SOURCE_DIR "/tests/build/");

// Copies every file below from into to, keeping the relative paths.
void CopyTree(const QString& from, const QString& to) {
  for (const auto& [relative, bytes] : ReadTree(from))
    Put(to + u'/' + relative, QByteArray::fromStdString(bytes));
}

QStringList CaseNames() {
  QStringList names;
  for (const QString& name : QDir(kCases).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
    if (QFile::exists(kCases + name + "/site.pwproj")) names.append(name);
  return names;
}

TEST(BuildCases, EveryCaseBuildsItsExpectedFolder) {
  const QStringList names = CaseNames();
  EXPECT_GE(names.size(), 6);
  const bool update = std::getenv("PW_UPDATE_BUILD_CASES") != nullptr;
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString work = dir.path();
    Put(work + "/site.pwproj", Get(kCases + name + "/site.pwproj"));
    CopyTree(kCases + name + "/template", work + "/template");

    const TCliResult r = RunCli({"build", work + "/site.pwproj", "--out", work + "/out", "--quiet"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Err, "");
    const TFileTree output = ReadTree(work + "/out");
    const QString expected = kCases + name + "/expected";
    if (update) {
      QDir(expected).removeRecursively();
      CopyTree(work + "/out", expected);
      continue;
    }
    const TFileTree wanted = ReadTree(expected);
    EXPECT_FALSE(wanted.empty());
    for (const auto& [relative, bytes] : wanted) {
      const auto found = output.find(relative);
      if (found == output.end()) {
        ADD_FAILURE() << "not written: " << relative.toStdString();
        continue;
      }
      EXPECT_EQ(found->second, bytes) << relative.toStdString();
    }
    for (const auto& [relative, bytes] : output)
      EXPECT_TRUE(wanted.count(relative)) << "written but not expected: " << relative.toStdString();
  }
}

}  // namespace
}  // namespace pw::tests
