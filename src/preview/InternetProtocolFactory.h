// TInternetProtocolFactory: makes the protocol objects of one URL scheme and enters the scheme
// in the process's scheme registry while a browser needs it. The owner of the scheme (the
// preview module, the packaged-document runtime) owns its factory.
//
// Thread-safety: CreateInstance may be called from any thread; registering belongs to the
// owner's thread.
#pragma once

#include "preview/InternetProtocol.h"

#include <QString>

#include <functional>
#include <memory>

namespace pw {

class TInternetProtocolFactory {
 public:
  using TCreator = std::function<std::unique_ptr<TInternetProtocol>()>;

  // classId and className name the protocol class (the class name is the scheme's default
  // name); description is what a system registration would show.
  TInternetProtocolFactory(QString classId, QString className, QString description, TCreator creator);
  virtual ~TInternetProtocolFactory();
  TInternetProtocolFactory(const TInternetProtocolFactory&) = delete;
  TInternetProtocolFactory& operator=(const TInternetProtocolFactory&) = delete;

  std::unique_ptr<TInternetProtocol> CreateInstance() const;

  // Enters the scheme (the class name when name is empty) in the registry for the life of the
  // process or until UnregisterScheme. Nothing happens when this factory is registered already;
  // when another factory holds the name the scheme stays unregistered.
  void RegisterScheme(const QString& name = QString());
  void UnregisterScheme();
  bool IsRegistered() const { return FRegistered; }
  // The registered name; empty until the first RegisterScheme.
  const QString& Scheme() const { return FScheme; }

  const QString& ClassId() const { return FClassId; }
  const QString& ClassName() const { return FClassName; }
  const QString& Description() const { return FDescription; }

  // Where a system keeps permanent protocol-handler entries this would write or remove them.
  // Linux has no such registry and a browser finds our schemes only through the process's own
  // registry, so this writes nothing.
  virtual void UpdateRegistry(bool doRegister);

 private:
  QString FClassId;
  QString FClassName;
  QString FDescription;
  TCreator FCreator;
  QString FScheme;
  bool FRegistered = false;
};

}  // namespace pw
