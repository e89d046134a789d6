// Runs the built pagewick-cli and writes the files it works on.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace pw::tests {

struct TCliResult {
  int ExitCode = -1;
  QString Out;
  QString Err;
};

// The tool under test; PAGEWICK_CLI names another build of it (an older one, to see a test fail).
inline QString CliPath() { return qEnvironmentVariable("PAGEWICK_CLI", QStringLiteral(PW_CLI_PATH)); }

inline TCliResult RunCli(const QStringList& args, const QString& workingDir = QString()) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PAGEWICK_ANSI_CODEPAGE", "1252");
  process.setProcessEnvironment(env);
  if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
  process.start(CliPath(), args);
  process.waitForFinished(60000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

inline void Put(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

inline QByteArray Get(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace pw::tests
