// One script error as the script engine reports it to its host's error handler: parse errors,
// run-time errors and exceptions that leave a script function called from native code.
// A plain value; handlers receive it by reference and may copy it.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

#include "scripting/Unknown.h"

namespace pw {

// The engine has already reported the error to the host's error handler; callers should not
// report it again.
inline constexpr HRESULT SCRIPT_E_REPORTED = static_cast<HRESULT>(0x80020101u);

struct TScriptError {
  // The kind of error as the engine names it ("SyntaxError", "ReferenceError", "Error"), or
  // the source of a native exception (the class that raised it).
  QString Source;
  // The error message, without the kind in front.
  QString Description;
  // 0x80004005 (E_FAIL) unless a native member raised another code.
  int32_t SCode = static_cast<int32_t>(0x80004005);
  // Zero-based line within the text given to AddCode (its first line is 0); -1 when the
  // engine could not tell (a thrown value that is not an Error object, and a few errors the
  // engine raises without a position, such as a property write on an undefined global in
  // top-level code that follows another statement).
  int Line = -1;
  // Zero-based character position within that line (0 when only the line is known); -1 when
  // the line is unknown.
  int CharPosition = -1;
  // The text of that line, without its line break; empty when unknown.
  QString SourceLineText;
};

using TScriptErrorHandler = std::function<void(const TScriptError&)>;

}  // namespace pw
