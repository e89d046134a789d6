// The file list through real scripts: scanning once per folder, sorting by date, duplicate sets
// by content (never between files that cannot be read), moves with numbered names and into a
// missing folder, and deletion to the trash.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "RuntimeFixture.h"
#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"

namespace pw::tests {
namespace {

class FileListObjectTest : public RuntimeFixture {
 protected:
  FileListObjectTest() : FData("XDG_DATA_HOME", (FRoot.path() + QStringLiteral("/data")).toStdString()) {
    Run(QStringLiteral("var list = CreateObject('FileList'); var root = '%1';").arg(FRoot.path()));
  }

  // Writes a file under the root with the given age in days.
  void Write(const QString& name, const QByteArray& content, int ageDays) {
    const QString path = FRoot.path() + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.flush();  // a later flush would set the date again
    file.setFileTime(QDateTime::currentDateTime().addDays(-ageDays), QFileDevice::FileModificationTime);
  }

  bool Exists(const QString& name) const { return QFile::exists(FRoot.path() + QLatin1Char('/') + name); }

  QTemporaryDir FRoot;
  TScopedEnvironment FData;
};

TEST_F(FileListObjectTest, ScansEachFolderOnceAndSortsOldestFirst) {
  Write(QStringLiteral("pics/new.jpg"), "1", 1);
  Write(QStringLiteral("pics/old.JPG"), "22", 30);
  Write(QStringLiteral("pics/note.txt"), "333", 5);
  Write(QStringLiteral("pics/.hidden.jpg"), "4444", 2);
  Write(QStringLiteral("pics/sub/deep.jpg"), "55555", 10);
  Write(QStringLiteral("pics/.cache/skip.jpg"), "6", 10);
  ASSERT_TRUE(QFile::link(FRoot.path() + QStringLiteral("/pics"), FRoot.path() + QStringLiteral("/pics/sub/loop")));
  Run(QStringLiteral("var first = list.AddFiles(root + '/pics', '*.jpg', true);"
                     "var again = list.AddFiles(root + '\\\\pics\\\\', '*.jpg', true);"
                     "list.SortByDate();"));
  for (const TCase& c : {
           TCase{"first + ':' + again + ':' + list.Length", "3:0:3"},
           TCase{"list.Files(0).Name + ',' + list(1).Name + ',' + list.Files(2).Name", "old.JPG,deep.jpg,new.jpg"},
           TCase{"list(1).Folder + ':' + (list(1).Path == root + '/pics/sub/') + ':' + list(1).Size", "sub:true:5"},
           TCase{"list(0).Date < list(2).Date", "true"},
           TCase{"(list.RemoveAll(), list.AddFiles(root + '/pics', '*.*', false)) + ':' + list.Length", "3:3"},
           TCase{"list.AddFiles(root + '/missing', '*.*', false)", "0"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

TEST_F(FileListObjectTest, DuplicatesAreSetsOfEqualContent) {
  Write(QStringLiteral("d/a.bin"), "same", 3);
  Write(QStringLiteral("d/b.bin"), "same", 1);
  Write(QStringLiteral("d/c.bin"), "diff", 2);
  Write(QStringLiteral("d/e.bin"), "xy", 2);
  Write(QStringLiteral("d/f.bin"), "xy", 4);
  // Two files of one size that vanish after the scan have no content to compare.
  Write(QStringLiteral("d/g.bin"), "gone!", 4);
  Write(QStringLiteral("d/h.bin"), "gone!", 4);
  Run(QStringLiteral("list.AddFiles(root + '/d', '*.bin', false);"));
  ASSERT_TRUE(QFile::remove(FRoot.path() + QStringLiteral("/d/g.bin")));
  ASSERT_TRUE(QFile::remove(FRoot.path() + QStringLiteral("/d/h.bin")));
  Run(QStringLiteral("var n = list.SelectDuplicates();"
                     "function mark(name) { for (var i = 0; i < list.Length; i++)"
                     "  if (list(i).Name == name) return list(i).Group + (list(i).Selected ? 's' : '-'); }"));
  // Sets are numbered in size order, so the pair of 2-byte files is set 1.
  EXPECT_EQ(Text(QStringLiteral("n + ' ' + mark('a.bin') + mark('b.bin') + mark('c.bin') + mark('e.bin') + mark('f.bin') + mark('g.bin')")),
            QStringLiteral("4 2s2s0-1s1s0-"));
  EXPECT_EQ(Text(QStringLiteral("(list.Clear(), mark('a.bin')) + list.SelectDuplicates()")), QStringLiteral("0-4"));
}

TEST_F(FileListObjectTest, MovesTakeNumberedNamesAndAMissingFolderMovesNothing) {
  Write(QStringLiteral("src/a.txt"), "one", 1);
  Write(QStringLiteral("src/b.txt"), "two", 1);
  Write(QStringLiteral("dst/a.txt"), "old", 1);
  Write(QStringLiteral("dst/a0.txt"), "old", 1);
  Run(QStringLiteral("list.AddFiles(root + '/src', '*.txt', false);"
                     "for (var i = 0; i < list.Length; i++) list(i).Selected = true;"));
  EXPECT_EQ(Text(QStringLiteral("list.MoveSelection(root + '/nowhere/')")), QStringLiteral("0"));
  EXPECT_TRUE(Exists(QStringLiteral("src/a.txt")));
  EXPECT_EQ(Text(QStringLiteral("list.MoveSelection(root + '\\\\dst')")), QStringLiteral("2"));
  for (const char* name : {"dst/a1.txt", "dst/b.txt", "dst/a.txt", "dst/a0.txt"}) {
    EXPECT_TRUE(Exists(QString::fromUtf8(name))) << name;
  }
  EXPECT_FALSE(Exists(QStringLiteral("src/a.txt")));
}

TEST_F(FileListObjectTest, DeletionGoesToTheTrashOrForGood) {
  Write(QStringLiteral("t/keep.txt"), "k", 1);
  Write(QStringLiteral("t/trash.txt"), "t", 1);
  Write(QStringLiteral("t/gone.txt"), "g", 1);
  Run(QStringLiteral("list.AddFiles(root + '/t', '*.txt', false); list.SortByName();"));
  EXPECT_EQ(Text(QStringLiteral("(list(2).Selected = true, list.DeleteSelection(true))")), QStringLiteral("1"));
  EXPECT_FALSE(Exists(QStringLiteral("t/trash.txt")));
  EXPECT_TRUE(Exists(QStringLiteral("data/Trash/files/trash.txt")));
  EXPECT_EQ(Text(QStringLiteral("(list(2).Selected = false, list(0).Selected = true, list.DeleteSelection(false))")),
            QStringLiteral("1"));
  EXPECT_FALSE(Exists(QStringLiteral("t/gone.txt")));
  EXPECT_TRUE(Exists(QStringLiteral("t/keep.txt")));
  // Entries stay; deleting a file that is gone already counts nothing.
  EXPECT_EQ(Text(QStringLiteral("list.Length + ':' + list.DeleteSelection(false)")), QStringLiteral("3:0"));
}

}  // namespace
}  // namespace pw::tests
