// pagewick-cli script FILE.js [ARGS...]: runs a script in a runtime without windows. The top
// level runs first, then main(args) when the script defines it; a number main returns is the
// exit code. Script threads still running when main returns are waited for. Any script error is
// reported on standard error and makes the exit code 1.
#include "cli/Commands.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/ScriptedBuild.h"
#include "platform/FileIO.h"
#include "runtime/ScriptErrorReport.h"
#include "runtime/ScriptRuntime.h"
#include "scripting/objects/ScriptObjects.h"

namespace pw::cli {

namespace {

int ExitCodeOf(const Variant& result) {
  const Variant value = result.Dereferenced();
  switch (value.Type()) {
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_R4:
    case VT_R8:
    case VT_CY: {
      Variant code;
      if (SUCCEEDED(VariantChangeTypeEx(code, value, LOCALE_USER_DEFAULT, 0, VT_I4))) {
        return static_cast<int>(code.IntValue());
      }
      return 1;  // NaN or beyond an exit code's range
    }
    default:
      return 0;
  }
}

}  // namespace

// Everything after FILE.js belongs to the script, options included, so the shared parser (which
// knows a fixed set of positionals) does not apply here.
int RunScript(const TArgs& args) {
  if (args.empty() || args[0].empty()) return UsageError("script", QStringLiteral("no script file given"));
  const QString file = ArgText(args[0]);
  std::string bytes;
  QString error;
  if (!platform::ReadWholeFile(file, bytes, &error)) {
    PrintError(QStringLiteral("cannot read script %1: %2").arg(file, error));
    return 1;
  }
  QString source = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (source.startsWith(QChar(0xFEFF))) source.remove(0, 1);
  QStringList params;
  for (std::size_t i = 1; i < args.size(); ++i) params << ArgText(args[i]);

  const auto app = EnsureApplication();
  RegisterScriptObjects();
  bool failed = false;
  int exitCode = 0;
  {
    TScriptRuntime runtime;
    runtime.SetParams(params);
    runtime.OnScriptError = [&](const TScriptError& scriptError) {
      failed = true;
      const QByteArray report = ScriptErrorReport(scriptError, 0, source).toLocal8Bit() + '\n';
      std::fwrite(report.constData(), 1, static_cast<std::size_t>(report.size()), stderr);
      std::fflush(stderr);
    };
    runtime.SetLanguage(QString::fromLatin1(TActiveScript::kJavaScript));
    runtime.AddCode(source);
    runtime.Start();
    if (!failed && runtime.FunctionExists(QStringLiteral("main"))) {
      std::vector<Variant> list;
      for (const QString& param : params) list.emplace_back(param);
      Variant result;
      if (runtime.CallFunction(QStringLiteral("main"), {Variant::FromArray(std::move(list))}, nullptr, &result)) {
        exitCode = ExitCodeOf(result);
      }
    }
    // Threads the script started finish their work and their on-terminate steps.
    while (runtime.LiveThreads() > 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(2);
    }
  }
  std::fflush(stdout);
  return failed ? 1 : exitCode;
}

}  // namespace pw::cli
