// A started runtime on the test's thread, with the data objects registered, the script errors
// it reports collected, and short ways to run script text and read values as text.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QStringList>
#include <QThread>

#include "runtime/ScriptRuntime.h"
#include "scripting/objects/ScriptObjects.h"

namespace pw::tests {

// The process's QCoreApplication, made on first use: threads hand work to its event loop.
inline QCoreApplication& RuntimeApp() {
  static int argc = 1;
  static char name[] = "pw_tests_runtime";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
  return *app;
}

// One row of a table of script expressions and the text they give.
struct TCase {
  const char* Expression;
  const char* Expected;
};

class RuntimeFixture : public ::testing::Test {
 protected:
  RuntimeFixture() {
    RuntimeApp();
    RegisterScriptObjects();
    runtime.SetParams({});
    runtime.OnScriptError = [this](const TScriptError& error) { errors << error.Description; };
    EXPECT_EQ(runtime.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    EXPECT_EQ(runtime.Start(), S_OK);
  }

  void Run(const QString& code) { EXPECT_EQ(runtime.AddCode(code), S_OK) << code.toStdString(); }

  // String(expression), evaluated in the runtime; reported errors show as "error: ...".
  QString Text(const QString& expression) {
    Variant value;
    const qsizetype before = errors.size();
    if (FAILED(runtime.Evaluate(QStringLiteral("String(") + expression + QLatin1Char(')'), &value))) {
      return QStringLiteral("error: ") + errors.mid(before).join(QLatin1Char('|'));
    }
    return value.StringValue();
  }

  // The message of the exception the statement throws, or "no error".
  QString ErrorOf(const QString& statement) {
    return Text(QStringLiteral("(function(){ try { ") + statement +
                QStringLiteral("; return 'no error'; } catch (e) { return e.message; } })()"));
  }

  // Processes events until no script thread of the runtime is left (or a few seconds pass).
  bool WaitForThreads(int ms = 5000);

  QStringList errors;
  TScriptRuntime runtime;
};

inline bool RuntimeFixture::WaitForThreads(int ms) {
  for (int waited = 0; runtime.LiveThreads() > 0 && waited < ms; waited += 5) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(5);
  }
  return runtime.LiveThreads() == 0;
}

}  // namespace pw::tests
