#include "generator/Variables.h"
#include "platform/AsciiCase.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace pw {

namespace {

struct TextOf {
  std::string operator()(std::monostate) const { return {}; }
  std::string operator()(const std::string& text) const { return text; }
  std::string operator()(std::int64_t number) const { return std::to_string(number); }
  std::string operator()(double number) const {
    if (std::isnan(number)) return "NaN";
    if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
    if (number == std::trunc(number) && std::fabs(number) < 1e15)
      return std::to_string(static_cast<std::int64_t>(number));
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
  }
  std::string operator()(bool flag) const { return flag ? "True" : "False"; }
  std::string operator()(const std::shared_ptr<IScriptObject>& object) const {
    return object ? object->ToText() : std::string();
  }
};


}  // namespace

std::string ValueToText(const TValue& value) { return std::visit(TextOf{}, value); }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  bool ascii = true;
  if (a.size() == b.size()) {
    for (size_t i = 0; i < a.size(); ++i) {
      unsigned char ca = static_cast<unsigned char>(a[i]);
      unsigned char cb = static_cast<unsigned char>(b[i]);
      if ((ca | cb) & 0x80) {
        ascii = false;
        break;
      }
      if (platform::LowerAsciiChar(static_cast<char>(ca)) != platform::LowerAsciiChar(static_cast<char>(cb))) return false;
    }
    if (ascii) return true;
  } else {
    // Different byte lengths can still match when case folding changes the UTF-8 length.
    auto hasHigh = [](std::string_view s) {
      return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) & 0x80; });
    };
    if (!hasHigh(a) && !hasHigh(b)) return false;
  }
  return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
             .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                      Qt::CaseInsensitive) == 0;
}

int TVariables::IndexOf(std::string_view key) const {
  for (size_t i = 0; i < FEntries.size(); ++i)
    if (SameNameIgnoringCase(FEntries[i].Key, key)) return static_cast<int>(i);
  return -1;
}

const TValue* TVariables::Find(std::string_view key) const {
  int index = IndexOf(key);
  return index < 0 ? nullptr : &FEntries[static_cast<size_t>(index)].Value;
}

int TVariables::Add(std::string_view key, TValue value) {
  FEntries.push_back(TEntry{std::string(key), std::move(value)});
  return static_cast<int>(FEntries.size()) - 1;
}

void TVariables::Set(std::string_view key, TValue value) {
  int index = IndexOf(key);
  if (index < 0)
    Add(key, std::move(value));
  else
    FEntries[static_cast<size_t>(index)].Value = std::move(value);
}

void TVariables::Remove(std::string_view key) { RemoveAt(IndexOf(key)); }

void TVariables::RemoveAt(int index) {
  if (index < 0 || index >= Length()) return;
  FEntries.erase(FEntries.begin() + index);
}

void TVariables::Sort() {
  std::stable_sort(FEntries.begin(), FEntries.end(), [](const TEntry& x, const TEntry& y) {
    return QString::fromUtf8(x.Key).compare(QString::fromUtf8(y.Key), Qt::CaseInsensitive) < 0;
  });
}

}  // namespace pw
