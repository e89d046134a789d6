#include "preview/InternetProtocolFactory.h"

#include "preview/SchemeRegistry.h"

namespace pw {

TInternetProtocolFactory::TInternetProtocolFactory(QString classId, QString className, QString description,
                                                   TCreator creator)
    : FClassId(std::move(classId)),
      FClassName(std::move(className)),
      FDescription(std::move(description)),
      FCreator(std::move(creator)) {}

TInternetProtocolFactory::~TInternetProtocolFactory() { UnregisterScheme(); }

std::unique_ptr<TInternetProtocol> TInternetProtocolFactory::CreateInstance() const {
  return FCreator ? FCreator() : nullptr;
}

void TInternetProtocolFactory::RegisterScheme(const QString& name) {
  if (FRegistered) return;
  FScheme = name.isEmpty() ? FClassName : name;
  FRegistered = TSchemeRegistry::Instance().Register(FScheme, this);
}

void TInternetProtocolFactory::UnregisterScheme() {
  if (!FRegistered) return;
  TSchemeRegistry::Instance().Unregister(FScheme, this);
  FRegistered = false;
}

void TInternetProtocolFactory::UpdateRegistry(bool) {}

}  // namespace pw
