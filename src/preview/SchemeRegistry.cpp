#include "preview/SchemeRegistry.h"

namespace pw {

TSchemeRegistry& TSchemeRegistry::Instance() {
  static TSchemeRegistry registry;
  return registry;
}

bool TSchemeRegistry::Register(const QString& scheme, TInternetProtocolFactory* factory) {
  if (scheme.isEmpty() || !factory) return false;
  std::lock_guard lock(FLock);
  for (const TEntry& entry : FEntries) {
    if (entry.Scheme.compare(scheme, Qt::CaseInsensitive) == 0) return entry.Factory == factory;
  }
  FEntries.push_back({scheme, factory});
  return true;
}

void TSchemeRegistry::Unregister(const QString& scheme, const TInternetProtocolFactory* factory) {
  std::lock_guard lock(FLock);
  std::erase_if(FEntries, [&](const TEntry& entry) {
    return entry.Factory == factory && entry.Scheme.compare(scheme, Qt::CaseInsensitive) == 0;
  });
}

TInternetProtocolFactory* TSchemeRegistry::Find(const QString& scheme) const {
  std::lock_guard lock(FLock);
  for (const TEntry& entry : FEntries) {
    if (entry.Scheme.compare(scheme, Qt::CaseInsensitive) == 0) return entry.Factory;
  }
  return nullptr;
}

TInternetProtocolFactory* TSchemeRegistry::FindForUrl(const QString& url) const {
  const qsizetype colon = url.indexOf(u':');
  return colon > 0 ? Find(url.left(colon)) : nullptr;
}

}  // namespace pw
