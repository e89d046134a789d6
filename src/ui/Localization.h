// TLocalization: the one application-wide registry of localization tables. It knows every live
// TLocalStrings in creation order, the current language and the default language that message
// lookups fall back to. Languages are Windows language identifiers: 1033 English, 1049 Russian.
// The instance lives for the whole process; GUI thread only.
#pragma once

#include <vector>

namespace pw::ui {

class TLocalStrings;

inline constexpr int LangEnglish = 1033;
inline constexpr int LangRussian = 1049;

class TLocalization {
 public:
  static TLocalization& Instance();

  int LangId() const { return FLangId; }
  int DefaultLangId() const { return FDefaultLangId; }
  // Only records the language; TLocalizer applies it to the tables.
  void SetLangId(int langId) { FLangId = langId; }
  void SetDefaultLangId(int langId) { FDefaultLangId = langId; }

  const std::vector<TLocalStrings*>& Tables() const { return FTables; }
  void Add(TLocalStrings* table);
  void Remove(TLocalStrings* table);

 private:
  TLocalization() = default;

  std::vector<TLocalStrings*> FTables;
  int FLangId = LangEnglish;
  int FDefaultLangId = LangEnglish;
};

}  // namespace pw::ui
