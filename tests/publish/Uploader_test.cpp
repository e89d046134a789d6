// The upload engine against a real FTP server on loopback: what goes where, what is recorded,
// and which log lines tell it.
#include "publish/Uploader.h"

#include "PublishServers.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace pw {
namespace {

using tests::TFtpServer;

QString Md5(const QByteArray& bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

void Put(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray Get(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct TRun {
  QStringList Log;  // text, then " #" and the icon
  QStringList UploadedFiles;
  bool Succeeded = false;
};

class UploaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QString why;
    ASSERT_TRUE(FServer.Start(FServerOptions, &why)) << why.toStdString();
    QDir().mkpath(FServer.Root() + "/www");
    FSettings.Server = "127.0.0.1";
    FSettings.Port = QString::number(FServer.Port());
    FSettings.UserName = TFtpServer::kUser;
    FSettings.Password = TFtpServer::kPassword;
    FSettings.RemoteRoot = "/www";
    Put(Site("index.html"), "<p>home</p>");
    Put(Site("css/site.css"), "p{}");
    // Hidden files and folders never count, in any run.
    Put(Site(".htpasswd"), "secret");
    Put(Site(".git/config"), "x");
    Put(Site("img/.thumbs"), "x");
  }

  QString Site(const QString& relative) const { return FSite.path() + "/" + relative; }
  QString Remote(const QString& relative) const { return FServer.Root() + "/" + relative; }

  TRun Upload(const QStringList& recorded, int lang = kLangEnglish,
              const std::function<void(TUploader&, const QString&, int64_t)>& onProgress = nullptr) {
    TUploader uploader(FSite.path(), FSettings, recorded);
    uploader.SetOptions(FOptions);
    uploader.SetLanguage(lang);
    TRun run;
    uploader.SetOnLog([&](const QString& text, TUploadIcon icon, const QString&) {
      run.Log << text + " #" + QString::number(static_cast<int>(icon));
    });
    if (onProgress) {
      uploader.SetOnProgress([&](const QString& path, int64_t position, int64_t) { onProgress(uploader, path, position); });
    }
    uploader.RunUpload();
    run.UploadedFiles = uploader.UploadedFiles();
    run.Succeeded = uploader.RunSucceeded();
    return run;
  }

  tests::TFtpServerOptions FServerOptions;
  TFtpServer FServer;
  QTemporaryDir FSite;
  TUploadSettings FSettings;
  TUploadOptions FOptions;
};

TEST_F(UploaderTest, SendsIntoTheRootAndItsNewSubfolderAndRecordsTheDigests) {
  for (const char* root : {"/www", "/www/"}) {
    FSettings.RemoteRoot = root;
    const TRun run = Upload({});
    EXPECT_TRUE(run.Succeeded);
    EXPECT_EQ(run.Log, (QStringList{"Prepare files... #0", "Found files: 2 #0", "Uploading... #0",
                                    "Open: 127.0.0.1 #0", QString("Change working directory: ") + root + " #0",
                                    "Uploaded: site.css #1", "Uploaded: index.html #1", "Close: 127.0.0.1 #0",
                                    "Upload successfully complete #1"}))
        << root;
    EXPECT_EQ(run.UploadedFiles, (QStringList{"css\\site.css=" + Md5("p{}"), "index.html=" + Md5("<p>home</p>")}));
    EXPECT_EQ(Get(Remote("www/index.html")), "<p>home</p>");
    EXPECT_EQ(Get(Remote("www/css/site.css")), "p{}");
    EXPECT_FALSE(QDir(Remote("www/www")).exists());
    EXPECT_EQ(QDir(Remote("www")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"css", "index.html"}));
  }
}

TEST_F(UploaderTest, ChangesOnlyComparesDigestsAndNamesWithoutCase) {
  const TRun first = Upload({});
  ASSERT_TRUE(first.Succeeded);
  // Nothing changed: nothing to send, and no connection is needed for that.
  FServer.Stop();
  const TRun second = Upload(first.UploadedFiles);
  EXPECT_TRUE(second.Succeeded);
  EXPECT_EQ(second.Log, (QStringList{"Prepare files... #0", "All files already uploaded #1"}));
  EXPECT_EQ(second.UploadedFiles, first.UploadedFiles);
  // Names recorded in another case, or with forward slashes, are the same files.
  const QStringList upper{"CSS/Site.CSS=" + Md5("p{}"), "INDEX.HTML=" + Md5("<p>home</p>")};
  EXPECT_EQ(Upload(upper).Log, second.Log);

  QString why;
  ASSERT_TRUE(FServer.Start({}, &why)) << why.toStdString();
  QDir().mkpath(FServer.Root() + "/www");
  FSettings.Port = QString::number(FServer.Port());
  Put(Site("index.html"), "<p>home!</p>");  // one byte more
  QFile::remove(Remote("www/css/site.css"));
  const TRun changed = Upload(upper);
  EXPECT_TRUE(changed.Log.contains("Found files: 1 #0")) << changed.Log.join('\n').toStdString();
  EXPECT_TRUE(changed.Log.contains("Uploaded: index.html #1"));
  EXPECT_EQ(changed.UploadedFiles, (QStringList{upper[0], "INDEX.HTML=" + Md5("<p>home!</p>")}));
  EXPECT_FALSE(QFile::exists(Remote("www/css/site.css")));

  FSettings.ChangesOnly = false;
  const TRun all = Upload(changed.UploadedFiles);
  EXPECT_TRUE(all.Log.contains("Found files: 2 #0"));
  EXPECT_EQ(all.UploadedFiles, changed.UploadedFiles);
  EXPECT_EQ(Get(Remote("www/css/site.css")), "p{}");
}

TEST_F(UploaderTest, RootsThatCannotBeEntered) {
  const struct {
    const char* Root;
    const char* Line;
  } cases[] = {{"", "Invalid directory:  #2"}, {"/nowhere", "Invalid directory: /nowhere #2"}};
  for (const auto& c : cases) {
    FSettings.RemoteRoot = c.Root;
    const TRun run = Upload({});
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Log.mid(3), (QStringList{"Open: 127.0.0.1 #0", c.Line, "Close: 127.0.0.1 #0"}));
  }
  EXPECT_FALSE(QFile::exists(Remote("index.html")));
  EXPECT_FALSE(QFile::exists(Remote("www/index.html")));
}

TEST_F(UploaderTest, ARootRelativeToTheLoginFolderIsNotWalkedTwice) {
  FSettings.RemoteRoot = "www";
  ASSERT_TRUE(Upload({}).Succeeded);
  EXPECT_EQ(Get(Remote("www/css/site.css")), "p{}");
  EXPECT_FALSE(QDir(Remote("www/www")).exists());
}

TEST_F(UploaderTest, RussianLogLines) {
  FSettings.RemoteRoot = "/www";
  const TRun run = Upload({}, kLangRussian);
  EXPECT_EQ(run.Log.first(), QString::fromUtf8("Подготовка файлов... #0"));
  EXPECT_TRUE(run.Log.contains(QString::fromUtf8("Опубликован: index.html #1")));
  EXPECT_EQ(run.Log.last(), QString::fromUtf8("Публикация успешно завершена #1"));
}

TEST_F(UploaderTest, AFailedFileStopsTheRunAndIsNotRecorded) {
  Put(Site("a/big.bin"), QByteArray(4 << 20, 'b'));
  // The server dies while the big file is on its way.
  const TRun killed = Upload({}, kLangEnglish, [&](TUploader&, const QString& path, int64_t position) {
    if (path == "a\\big.bin" && position == 1024) FServer.Kill();
  });
  EXPECT_FALSE(killed.Succeeded);
  EXPECT_EQ(killed.Log.last(), "Upload error: big.bin #2");
  EXPECT_FALSE(killed.Log.join('\n').contains("index.html")) << "no file is tried after the failure";
  for (const QString& line : killed.UploadedFiles) EXPECT_FALSE(line.startsWith("a\\big.bin")) << line.toStdString();
}

TEST_F(UploaderTest, AMissingLocalFileFailsItCleanly) {
  // css\site.css goes first; index.html vanishes meanwhile.
  const TRun run = Upload({}, kLangEnglish, [&](TUploader&, const QString&, int64_t) { QFile::remove(Site("index.html")); });
  EXPECT_FALSE(run.Succeeded);
  EXPECT_EQ(run.Log.last(), "Upload error: index.html #2");
  EXPECT_FALSE(QFile::exists(Remote("www/index.html")));
}

TEST_F(UploaderTest, StopBetweenFilesKeepsTheRunAndWhatWasSent) {
  const TRun run = Upload({}, kLangEnglish, [&](TUploader& uploader, const QString&, int64_t) { uploader.RequestStop(); });
  EXPECT_TRUE(run.Succeeded);
  EXPECT_EQ(run.Log.last(), "Change working directory: /www #0") << "no lines once stopping";
  EXPECT_EQ(run.UploadedFiles, QStringList{"css\\site.css=" + Md5("p{}")});
  EXPECT_FALSE(QFile::exists(Remote("www/index.html")));
}

TEST_F(UploaderTest, TestRunLogsEachStep) {
  const struct {
    const char* Root;
    bool Complete;
    QStringList Tail;
  } cases[] = {
      {"/www", true, {"Change working directory: /www #0", "Close: 127.0.0.1 #0", "Test successfully complete #1"}},
      {"/none", false, {"Invalid directory: /none #2", "Close: 127.0.0.1 #0"}},
  };
  for (const auto& c : cases) {
    FSettings.RemoteRoot = c.Root;
    TUploader uploader(FSite.path(), FSettings, {});
    QStringList log;
    uploader.SetOnLog([&](const QString& text, TUploadIcon icon, const QString&) {
      log << text + " #" + QString::number(static_cast<int>(icon));
    });
    EXPECT_EQ(uploader.RunTest(), c.Complete);
    EXPECT_EQ(log, QStringList({"Testing... #0", "Open: 127.0.0.1 #0"}) + c.Tail);
  }
}

class UploaderReadOnlyTest : public UploaderTest {
 protected:
  void SetUp() override {
    FServerOptions.ReadOnly = {"www"};
    UploaderTest::SetUp();
  }
};

TEST_F(UploaderReadOnlyTest, AFolderThatCannotBeMadeGetsNoFileAndAReadOnlyRootFailsTheFirst) {
  QFile::remove(Site("index.html"));
  const TRun noFolder = Upload({});
  EXPECT_FALSE(noFolder.Succeeded);
  EXPECT_EQ(noFolder.Log.last(), "Upload error: site.css #2");
  EXPECT_FALSE(QFile::exists(Remote("www/site.css"))) << "never written into another folder";
  EXPECT_FALSE(QFile::exists(Remote("www/css/site.css")));

  QDir(Site("css")).removeRecursively();
  Put(Site("index.html"), "i");
  const TRun readOnly = Upload({});
  EXPECT_FALSE(readOnly.Succeeded);
  EXPECT_EQ(readOnly.Log.last(), "Upload error: index.html #2");
}

TEST_F(UploaderTest, ParallelAtomicUploadLeavesNoTemporaryFiles) {
  QStringList expected;
  for (int i = 0; i < 30; ++i) {
    const QString name = QStringLiteral("d%1/p%2.html").arg(i % 3).arg(i);
    Put(Site(name), QByteArray::number(i));
  }
  Put(FServer.Root() + "/www/d0/p0.html", "old");
  FOptions.Atomic = true;
  FOptions.Jobs = 4;
  const TRun run = Upload({});
  ASSERT_TRUE(run.Succeeded) << run.Log.join('\n').toStdString();
  EXPECT_EQ(run.UploadedFiles.size(), 32);
  EXPECT_TRUE(run.UploadedFiles[0].startsWith("css\\site.css="));  // recorded in scan order
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(Get(Remote(QStringLiteral("www/d%1/p%2.html").arg(i % 3).arg(i))), QByteArray::number(i));
  }
  for (const char* d : {"www", "www/d0", "www/d1", "www/d2"}) {
    EXPECT_TRUE(QDir(Remote(d)).entryList({"*.pwtmp"}, QDir::Files | QDir::Hidden).isEmpty()) << d;
  }
}

TEST(UploaderSecure, FtpsAndSftpCarryTheSameRun) {
  QTemporaryDir site;
  Put(site.path() + "/index.html", "i");
  Put(site.path() + "/css/site.css", "c");
  const QStringList expected{"css\\site.css=" + Md5("c"), "index.html=" + Md5("i")};

  tests::TFtpServer ftps;
  QString why;
  ASSERT_TRUE(ftps.Start({.Tls = true, .ReadOnly = {}}, &why)) << why.toStdString();
  QDir().mkpath(ftps.Root() + "/www");
  TUploadSettings settings{"ftps://127.0.0.1", QString::number(ftps.Port()), "user", "secret", "/www"};
  TUploadOptions options;
  TUploader untrusted(site.path(), settings, {});
  untrusted.RunUpload();
  EXPECT_FALSE(untrusted.RunSucceeded()) << "a certificate nobody vouches for is refused";
  options.CAFile = ftps.CertFile();
  TUploader overTls(site.path(), settings, {});
  overTls.SetOptions(options);
  QString reasons;
  overTls.SetOnLog([&](const QString&, TUploadIcon, const QString& reason) { reasons += reason; });
  overTls.RunUpload();
  EXPECT_TRUE(overTls.RunSucceeded()) << reasons.toStdString();
  EXPECT_EQ(overTls.UploadedFiles(), expected);
  EXPECT_EQ(Get(ftps.Root() + "/www/css/site.css"), "c");

  tests::TSshServer sshd;
  ASSERT_TRUE(sshd.Start(&why)) << why.toStdString();
  settings = {"sftp://127.0.0.1", QString::number(sshd.Port()), sshd.UserName(), "", sshd.Root() + "/"};
  options.KnownHostsFile = sshd.KnownHostsFile();
  options.PrivateKeyFile = sshd.ClientKeyFile();
  options.Atomic = true;
  TUploader overSsh(site.path(), settings, {});
  overSsh.SetOptions(options);
  reasons.clear();
  overSsh.SetOnLog([&](const QString&, TUploadIcon, const QString& reason) { reasons += reason; });
  Put(sshd.Root() + "/index.html", "old");  // the rename replaces it
  overSsh.RunUpload();
  EXPECT_TRUE(overSsh.RunSucceeded()) << reasons.toStdString();
  EXPECT_EQ(overSsh.UploadedFiles(), expected);
  EXPECT_EQ(Get(sshd.Root() + "/css/site.css"), "c");
  EXPECT_EQ(Get(sshd.Root() + "/index.html"), "i");
}

}  // namespace
}  // namespace pw
