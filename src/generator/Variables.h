// TVariables: the ordered, case-insensitive name → value store behind the generator's and
// every section's variables. Keys need not be unique: Add appends, lookups find the first.
// Owned by value by its generator or section; the script Dictionary object wraps one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pw {

// A value that only the script layer understands (a function, an object). The generator
// keeps it alive and asks it for its text.
class IScriptObject {
 public:
  virtual ~IScriptObject() = default;
  virtual std::string ToText() const = 0;
};

// A variable's value: empty, text (UTF-8), integer, number, Boolean or a script object.
using TValue = std::variant<std::monostate, std::string, std::int64_t, double, bool,
                            std::shared_ptr<IScriptObject>>;

// The value as text: "" for empty, "True"/"False" for Booleans, the shortest round-trip
// form for numbers, the object's own text for script objects.
std::string ValueToText(const TValue& value);

// Compares two UTF-8 names ignoring letter case (ASCII fast path, Unicode folding else).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

class TVariables {
 public:
  struct TEntry {
    std::string Key;  // UTF-8
    TValue Value;
  };

  int Length() const { return static_cast<int>(FEntries.size()); }
  // Position of the first entry with that key, -1 when absent.
  int IndexOf(std::string_view key) const;
  bool Exists(std::string_view key) const { return IndexOf(key) >= 0; }
  // The first entry's value, or nullptr when absent. The pointer lives until the next change.
  const TValue* Find(std::string_view key) const;
  // Appends a new entry even when the key exists; returns its position.
  int Add(std::string_view key, TValue value);
  // Replaces the first entry's value, or appends a new entry.
  void Set(std::string_view key, TValue value);
  // Deletes the first entry with that key, if any.
  void Remove(std::string_view key);
  // Deletes the entry at that position; out-of-range positions are ignored.
  void RemoveAt(int index);
  void RemoveAll() { FEntries.clear(); }
  // Stable sort by key ignoring case.
  void Sort();

  // TEntry access by position; callers check the range (0 <= index < Length()).
  const TEntry& At(int index) const { return FEntries[static_cast<size_t>(index)]; }
  TEntry& At(int index) { return FEntries[static_cast<size_t>(index)]; }

 private:
  std::vector<TEntry> FEntries;
};

}  // namespace pw
