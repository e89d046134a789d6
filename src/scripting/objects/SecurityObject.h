// TSecurityObject ("Security"): key containers, RSA signatures over MD5, MD5 digests, Twofish
// in 8-bit cipher feedback and a machine identifier for scripts. Stateless: every call opens the
// named container and closes it again, so one object may be used from any thread.
//
// A key container is one file in the container folder ($XDG_DATA_HOME/pagewick/keys/, folder
// mode 0700), readable by the owner alone (0600), holding nothing (a new container) or one key
// blob as TRsaKey writes it. Container names map to file names with every character other
// than ASCII letters, digits, '-' and '_' percent-encoded, so no name ('/', "..", NUL) reaches
// outside the folder. Failures give false or an empty value, never a script error.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

#include "scripting/AutoObject.h"

namespace pw {

class TSecurityObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TSecurityObject, TCustomAutoObject)

 public:
  TSecurityObject() = default;

  bool CreateContainer(const QString& container);
  bool DeleteContainer(const QString& container);
  // bits 0 means 1024.
  bool CreateSignKey(const QString& container, std::int32_t bits);
  Variant ExportSignPublicKey(const QString& container);
  Variant ExportSignPrivateKey(const QString& container, const QString& password);
  bool ImportSignPublicKey(const QString& container, const Variant& blob);
  bool ImportSignPrivateKey(const QString& container, const Variant& blob, const QString& password);
  Variant Sign(const QString& container, const Variant& data);
  bool VerifySign(const Variant& data, const Variant& signature, const Variant& publicKey);
  // An empty value when Twofish cannot take the key or the vector (see TwofishCfb8).
  Variant TwoFishEncrypt(const Variant& key, const Variant& iv, const Variant& data);
  Variant TwoFishDecrypt(const Variant& key, const Variant& iv, const Variant& data);
  QString MD5(const Variant& data);
  QString GetHWID();

  // The folder of the containers, ending in '/'; empty when the user has no data folder.
  static QString ContainerFolder();
  // The file of a container; empty for a name that cannot be one (empty or too long).
  static QString ContainerFile(const QString& container);

 protected:
  ~TSecurityObject() override = default;
};

// The machine identifier GetHWID gives: 16 upper-case hex digits of the MD5 digest of
// /etc/machine-id and the root file system's identifier, stable across runs and reboots.
QString MachineIdentifier();

}  // namespace pw
