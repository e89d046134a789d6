// TSchemeRegistry: the process's table of the URL schemes the program serves itself, each
// with the factory that makes its protocol objects. Factories enter and leave it through
// RegisterScheme/UnregisterScheme; the browser adapter asks it which factory serves a URL.
//
// Ownership: one instance for the process (Instance()); it borrows the factories, which
// unregister themselves before they are destroyed. Thread-safety: every member is safe to
// call from any thread.
#pragma once

#include <QString>

#include <mutex>
#include <vector>

namespace pw {

class TInternetProtocolFactory;

class TSchemeRegistry {
 public:
  static TSchemeRegistry& Instance();

  // Adds the scheme (without its colon; compared without regard to case). False when the
  // name is empty or another factory holds it.
  bool Register(const QString& scheme, TInternetProtocolFactory* factory);
  // Removes the scheme when that factory holds it.
  void Unregister(const QString& scheme, const TInternetProtocolFactory* factory);
  // The factory of the scheme, or nullptr.
  TInternetProtocolFactory* Find(const QString& scheme) const;
  // The factory of the URL's scheme (the text before its first ':'), or nullptr.
  TInternetProtocolFactory* FindForUrl(const QString& url) const;

 private:
  struct TEntry {
    QString Scheme;
    TInternetProtocolFactory* Factory;
  };
  mutable std::mutex FLock;
  std::vector<TEntry> FEntries;
};

}  // namespace pw
