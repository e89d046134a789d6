// TFTPClient against real servers on loopback: pyftpdlib for FTP and FTPS, sshd for SFTP.
#include "publish/FTPClient.h"

#include "PublishServers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace pw {
namespace {

using tests::TFtpServer;
using tests::TSshServer;

QByteArray Bytes(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
  return bytes;
}

QString WriteLocal(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(bytes);
  return path;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(FTPClientPort, TextAndProtocolGiveThePort) {
  const struct {
    const char* Host;
    const char* Port;
    int Expected;
  } cases[] = {
      {"example.org", "", 21},       {"example.org", "0", 21},     {"example.org", "abc", 21},
      {"example.org", "2121", 2121}, {"example.org", " 2121 ", 2121}, {"example.org", "70000", 21},
      {"example.org", "-5", 21},     {"example.org", "65535", 65535}, {"ftps://example.org", "", 21},
      {"sftp://example.org", "", 22}, {"SFTP://example.org", "0", 22}, {"sftp://example.org", "2222", 2222},
  };
  for (const auto& c : cases) {
    TFTPClient client;
    client.SetHost(c.Host);
    client.SetPort(c.Port);
    EXPECT_EQ(client.EffectivePort(), c.Expected) << c.Host << " port \"" << c.Port << '"';
  }
}

class FTPClientTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    QString why;
    if (!FServer.Start({}, &why)) GTEST_FAIL() << why.toStdString();
    FClient.SetHost("127.0.0.1");
    FClient.SetPort(QString::number(FServer.Port()));
    FClient.SetUserName(TFtpServer::kUser);
    FClient.SetPassword(TFtpServer::kPassword);
    FClient.SetBinary(true);
    FClient.SetPassive(GetParam());
    FClient.SetTimeoutMs(5000);
  }

  TFtpServer FServer;
  TFTPClient FClient;
  QTemporaryDir FLocal;
};

INSTANTIATE_TEST_SUITE_P(DataConnection, FTPClientTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_P(FTPClientTest, PutFileReportsEveryBlockAndStoresTheBytes) {
  const struct {
    int Size;
    std::vector<int64_t> Progress;
  } cases[] = {{0, {0}}, {2048, {1024, 2048, 2048}}, {1500, {1024, 1500}}, {1, {1}}};
  ASSERT_TRUE(FClient.Connect());
  for (const auto& c : cases) {
    std::vector<int64_t> progress;
    FClient.SetOnProgress([&](TFTPClient& sender, int64_t position, int64_t size, bool&) {
      EXPECT_EQ(&sender, &FClient);
      EXPECT_EQ(size, c.Size);
      progress.push_back(position);
    });
    const QString name = QStringLiteral("f%1.bin").arg(c.Size);
    QString error;
    ASSERT_TRUE(FClient.PutFile(WriteLocal(FLocal, name, Bytes(c.Size)), name, &error)) << error.toStdString();
    EXPECT_EQ(progress, c.Progress) << "size " << c.Size;
    EXPECT_EQ(ReadFile(FServer.Root() + "/" + name), Bytes(c.Size)) << "size " << c.Size;
  }
}

TEST_P(FTPClientTest, FoldersRelativeAndAbsolute) {
  ASSERT_TRUE(FClient.Connect());
  EXPECT_EQ(FClient.CurrentDir(), "/");
  EXPECT_FALSE(FClient.ChangeDir("www"));
  EXPECT_TRUE(FClient.MakeDir("www"));
  EXPECT_FALSE(FClient.MakeDir("www"));  // exists already
  ASSERT_TRUE(FClient.ChangeDir("www"));
  ASSERT_TRUE(FClient.MakeDir("css"));
  ASSERT_TRUE(FClient.ChangeDir("css"));
  EXPECT_EQ(FClient.CurrentDir(), "/www/css");
  ASSERT_TRUE(FClient.PutFile(WriteLocal(FLocal, "a b.css", "x"), "a b.css"));
  EXPECT_EQ(ReadFile(FServer.Root() + "/www/css/a b.css"), "x");
  ASSERT_TRUE(FClient.RenameFile("a b.css", "site.css"));
  EXPECT_EQ(ReadFile(FServer.Root() + "/www/css/site.css"), "x");
  ASSERT_TRUE(FClient.ChangeDir("/www"));
  EXPECT_TRUE(FClient.DeleteFile("css/site.css"));
  EXPECT_FALSE(FClient.DeleteFile("css/site.css"));
  EXPECT_FALSE(QFile::exists(FServer.Root() + "/www/css/site.css"));
  // A line break would smuggle a second command to the server.
  EXPECT_FALSE(FClient.MakeDir("x\r\nDELE index.html"));
}

TEST_P(FTPClientTest, ConnectAgainReplacesTheConnection) {
  ASSERT_TRUE(FClient.Connect());
  ASSERT_TRUE(FClient.MakeDir("d"));
  ASSERT_TRUE(FClient.ChangeDir("d"));
  ASSERT_TRUE(FClient.Connect());
  EXPECT_EQ(FClient.CurrentDir(), "/");
  EXPECT_TRUE(FClient.PutFile(WriteLocal(FLocal, "x", "1"), "x"));
  EXPECT_EQ(ReadFile(FServer.Root() + "/x"), "1");
  FClient.Disconnect();
  FClient.Disconnect();
  EXPECT_FALSE(FClient.Connected());
  EXPECT_FALSE(FClient.ChangeDir("d"));
}

TEST_P(FTPClientTest, CancelAfterTheFirstBlockAndMissingFilesFail) {
  ASSERT_TRUE(FClient.Connect());
  int calls = 0;
  FClient.SetOnProgress([&](TFTPClient&, int64_t, int64_t, bool& cancel) {
    ++calls;
    cancel = true;
  });
  EXPECT_FALSE(FClient.PutFile(WriteLocal(FLocal, "big", Bytes(100000)), "big"));
  EXPECT_EQ(calls, 1);
  // Nothing after the cancelled block goes out.
  EXPECT_LE(ReadFile(FServer.Root() + "/big").size(), TFTPClient::kBlockSize);

  calls = 0;
  QString error;
  EXPECT_FALSE(FClient.PutFile(FLocal.filePath("missing"), "missing", &error));
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(QFile::exists(FServer.Root() + "/missing"));
  EXPECT_TRUE(error.contains("missing")) << error.toStdString();
  // The client goes on working after both.
  FClient.SetOnProgress(nullptr);
  EXPECT_TRUE(FClient.PutFile(WriteLocal(FLocal, "after", "ok"), "after"));
}

TEST(FTPClientFailures, WrongCredentialsSilentServerAndDeadServerFail) {
  TFtpServer server;
  QString why;
  ASSERT_TRUE(server.Start({}, &why)) << why.toStdString();
  tests::TSilentServer silent;
  const struct {
    int Port;
    const char* Password;
  } cases[] = {{server.Port(), "wrong"}, {silent.Port(), "secret"}, {tests::FreeTcpPort(), "secret"}};
  for (const auto& c : cases) {
    TFTPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(QString::number(c.Port));
    client.SetUserName("user");
    client.SetPassword(c.Password);
    client.SetTimeoutMs(1000);
    QString error;
    EXPECT_FALSE(client.Connect(&error)) << c.Port;
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(FTPClientSftp, OnlyAKnownHostKeyAndTheSameBlocks) {
  TSshServer server;
  QString why;
  ASSERT_TRUE(server.Start(&why)) << why.toStdString();
  QTemporaryDir local;
  TFTPClient client;
  client.SetHost("sftp://127.0.0.1");
  client.SetPort(QString::number(server.Port()));
  client.SetUserName(server.UserName());
  client.SetPrivateKeyFile(server.ClientKeyFile());
  client.SetTimeoutMs(5000);
  client.SetKnownHostsFile(local.filePath("empty_known_hosts"));
  EXPECT_FALSE(client.Connect()) << "an unlisted host key is refused";
  client.SetKnownHostsFile(server.KnownHostsFile());
  QString error;
  ASSERT_TRUE(client.Connect(&error)) << error.toStdString();
  const QString root = server.Root();
  ASSERT_TRUE(client.ChangeDir(root, &error)) << error.toStdString();
  EXPECT_FALSE(client.ChangeDir("www"));
  std::vector<int64_t> progress;
  client.SetOnProgress([&](TFTPClient&, int64_t position, int64_t, bool&) { progress.push_back(position); });
  ASSERT_TRUE(client.PutFile(WriteLocal(local, "two", Bytes(2048)), "new name", &error)) << error.toStdString();
  EXPECT_EQ(progress, (std::vector<int64_t>{1024, 2048, 2048}));
  EXPECT_EQ(ReadFile(root + "/new name"), Bytes(2048));
  EXPECT_TRUE(client.DeleteFile("new name"));
  EXPECT_FALSE(client.DeleteFile("new name"));
  EXPECT_TRUE(client.PutFile(WriteLocal(local, "two", Bytes(10)), "after a failed command"));
}

}  // namespace
}  // namespace pw
