#include "ui/Localization.h"

#include <algorithm>

namespace pw::ui {

TLocalization& TLocalization::Instance() {
  static TLocalization instance;
  return instance;
}

void TLocalization::Add(TLocalStrings* table) { FTables.push_back(table); }

void TLocalization::Remove(TLocalStrings* table) {
  FTables.erase(std::remove(FTables.begin(), FTables.end(), table), FTables.end());
}

}  // namespace pw::ui
