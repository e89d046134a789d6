// The digests of many files at once, in every engine this processor runs, against Qt's MD5:
// lengths around the block and padding boundaries and the read chunk, files that end while
// other lanes go on, and files that cannot be read (missing, a folder, a pipe) among readable
// ones.
#include "publish/FileDigests.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <random>

#include <sys/stat.h>

namespace pw {
namespace {

TEST(FileDigests, EveryEngineMatchesMd5AtEveryBoundary) {
  QTemporaryDir dir;
  std::mt19937 random(14);
  QStringList paths, expected;
  // 55/56 and 119/120: one closing block or two; 64 Ki: the read chunk.
  const int lengths[] = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 4096, 65535, 65536, 65537, 65600, 300001};
  for (int copy = 0; copy < 3; ++copy) {
    for (int length : lengths) {
      QByteArray bytes(length, Qt::Uninitialized);
      for (char& c : bytes) c = static_cast<char>(random());
      const QString path = dir.filePath(QStringLiteral("f%1_%2").arg(length).arg(copy));
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(bytes);
      paths << path;
      expected << QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    }
  }
  // Unreadable files among the others: the rest is hashed all the same.
  paths.insert(5, dir.filePath("missing"));
  expected.insert(5, QString());
  paths.insert(20, dir.path());
  expected.insert(20, QString());
  // A pipe would block a plain open until some writer came.
  const QString pipe = dir.filePath("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  paths.insert(30, pipe);
  expected.insert(30, QString());

  for (TDigestEngine engine : {TDigestEngine::deOneByOne, TDigestEngine::deLanesAvx2, TDigestEngine::deLanesAvx512}) {
    if (!DigestEngineSupported(engine)) continue;
    for (int threads : {1, 3}) {
      const std::vector<TFileDigest> digests = DigestFiles(paths, engine, threads);
      ASSERT_EQ(digests.size(), static_cast<size_t>(paths.size()));
      for (qsizetype i = 0; i < paths.size(); ++i) {
        const TFileDigest& d = digests[static_cast<size_t>(i)];
        const auto where = ::testing::Message() << "engine " << static_cast<int>(engine) << ", " << threads
                                                << " threads, " << paths[i].toStdString();
        EXPECT_EQ(d.Digest, expected[i]) << where;
        EXPECT_EQ(d.Readable, !expected[i].isEmpty()) << where;
        if (!d.Readable) {
          EXPECT_TRUE(d.Error.contains(paths[i])) << where << ": " << d.Error.toStdString();
        }
      }
    }
  }
}

}  // namespace
}  // namespace pw
