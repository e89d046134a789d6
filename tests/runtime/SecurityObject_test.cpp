// The security object through real scripts: signatures from a container verified without one,
// private keys moved under a password, Twofish against known answers and round trips, MD5,
// the machine identifier, and hostile input (random key blobs, container names that try to
// leave the container folder, signed blocks whose length lies).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "RuntimeFixture.h"
#include "scripting/objects/RsaKey.h"
#include "scripting/objects/SecurityObject.h"
#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"

namespace pw::tests {
namespace {

class SecurityObjectTest : public RuntimeFixture {
 protected:
  SecurityObjectTest() : FData("XDG_DATA_HOME", FHome.path().toStdString()) {
    Run(QStringLiteral(
        "var sec = CreateObject('Security');"
        "function bytes(a) { return new Uint8Array(a); }"
        "function hex(b) { var s = ''; b = new Uint8Array(b);"
        "  for (var i = 0; i < b.length; i++) s += (b[i] < 16 ? '0' : '') + b[i].toString(16).toUpperCase();"
        "  return s; }"
        "function unhex(s) { var a = []; for (var i = 0; i < s.length; i += 2) a.push(parseInt(s.substr(i, 2), 16));"
        "  return bytes(a); }"));
  }

  QTemporaryDir FHome;
  TScopedEnvironment FData;
};

TEST_F(SecurityObjectTest, ASignatureVerifiesWithTheExportedPublicKeyOnly) {
  Run(QStringLiteral(
      "var made = sec.CreateContainer('signer') && sec.CreateSignKey('signer', 1024);"
      "var data = bytes([1, 2, 3, 4, 5, 6, 7, 8]);"
      "var sig = sec.Sign('signer', data); var pub = sec.ExportSignPublicKey('signer');"
      "var changed = bytes([1, 2, 3, 4, 5, 6, 7, 9]);"));
  for (const TCase& c : {
           TCase{"made", "true"},
           TCase{"new Uint8Array(sig).length + ':' + new Uint8Array(pub).length", "128:148"},
           TCase{"sec.VerifySign(data, sig, pub)", "true"},
           TCase{"sec.VerifySign(changed, sig, pub)", "false"},
           // A second container cannot be made over the first, and a missing one signs nothing.
           TCase{"sec.CreateContainer('signer')", "false"},
           TCase{"typeof sec.Sign('nobody', data)", "undefined"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(TSecurityObject::ContainerFile(QStringLiteral("signer"))).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Text(QStringLiteral("sec.DeleteContainer('signer') + ':' + sec.DeleteContainer('signer')")),
            QStringLiteral("true:false"));
}

TEST_F(SecurityObjectTest, APrivateKeyMovesUnderItsPasswordOnly) {
  Run(QStringLiteral(
      "sec.CreateContainer('a'); sec.CreateSignKey('a', 512);"
      "var blob = sec.ExportSignPrivateKey('a', 'pässword');"
      "sec.CreateContainer('b');"
      "var wrong = sec.ImportSignPrivateKey('b', blob, 'password');"
      "var right = sec.ImportSignPrivateKey('b', blob, 'pässword');"
      "var data = bytes([42]);"));
  EXPECT_EQ(Text(QStringLiteral("wrong + ':' + right")), QStringLiteral("false:true"));
  EXPECT_EQ(Text(QStringLiteral("sec.VerifySign(data, sec.Sign('b', data), sec.ExportSignPublicKey('a'))")),
            QStringLiteral("true"));
  // The blob is enciphered after its header: the key's numbers do not show.
  EXPECT_EQ(Text(QStringLiteral("hex(blob).substr(0, 16) + ':' + (hex(blob).indexOf('52534132') == -1)")),
            QStringLiteral("0702000000240000:true"));
  // A public key never replaces a key pair.
  EXPECT_EQ(Text(QStringLiteral("sec.ImportSignPublicKey('b', sec.ExportSignPublicKey('a')) + ':' + "
                                "(typeof sec.Sign('b', data))")),
            QStringLiteral("true:object"));
}

TEST_F(SecurityObjectTest, HostileKeysAndNamesAreRefused) {
  Run(QStringLiteral("var junk = []; for (var i = 0; i < 2000; i++) junk.push((i * 7919 + 13) % 256);"
                     "var r = bytes(junk); r[0] = 7; r[1] = 2; r[4] = 0; r[5] = 0x24;"));
  for (const TCase& c : {
           TCase{"sec.CreateContainer('x') && sec.ImportSignPrivateKey('x', r, 'p')", "false"},
           TCase{"sec.ImportSignPublicKey('x', r)", "false"},
           TCase{"sec.VerifySign(bytes([1]), bytes([1]), r)", "false"},
           TCase{"sec.VerifySign(bytes([1]), bytes([1]), 'text')", "false"},
           TCase{"sec.CreateSignKey('x', 100) + ':' + sec.CreateSignKey('x', 1000000)", "false:false"},
           TCase{"sec.CreateContainer('')", "false"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  // Names with separators and dots stay files of the container folder.
  for (const char* name : {"../escape", "..", "a/b", "a\\\\b", "/etc/passwd"}) {
    const QString script = QStringLiteral("sec.CreateContainer('%1')").arg(QString::fromUtf8(name));
    EXPECT_EQ(Text(script), QStringLiteral("true")) << name;
  }
  const QDir folder(TSecurityObject::ContainerFolder());
  EXPECT_EQ(folder.entryList(QDir::Files).size(), 6);
  EXPECT_EQ(QDir(FHome.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("pagewick")});
}

// Twofish's published answers for an all-zero block under 128-, 192- and 256-bit keys: with an
// all-zero vector and plain text, the first cipher byte is the answer's first byte.
TEST_F(SecurityObjectTest, TwofishMatchesKnownAnswersAndRoundTripsEveryLength) {
  for (const TCase& c : {
           TCase{"00000000000000000000000000000000", "9F"},
           TCase{"0123456789ABCDEFFEDCBA98765432100011223344556677", "CF"},
           TCase{"0123456789ABCDEFFEDCBA987654321000112233445566778899AABBCCDDEEFF", "37"},
       }) {
    EXPECT_EQ(Text(QStringLiteral("hex(sec.TwoFishEncrypt(unhex('%1'), new Uint8Array(16), new Uint8Array(1)))")
                       .arg(QString::fromUtf8(c.Expression))),
              QString::fromUtf8(c.Expected));
  }
  EXPECT_EQ(Text(QStringLiteral(
                "(function () { var key = unhex('00112233445566778899AABBCCDDEEFF'), iv = unhex('0F0E0D0C0B0A09080706050403020100');"
                "  for (var n = 0; n <= 65; n++) { var p = []; for (var i = 0; i < n; i++) p.push((i * 31 + n) & 255);"
                "    var c = sec.TwoFishEncrypt(key, iv, bytes(p));"
                "    if (n > 0 && hex(c) == hex(bytes(p))) return 'unchanged at ' + n;"
                "    if (hex(sec.TwoFishDecrypt(key, iv, c)) != hex(bytes(p))) return 'differs at ' + n; }"
                "  return 'ok'; })()")),
            QStringLiteral("ok"));
  for (const char* refused : {"sec.TwoFishEncrypt(new Uint8Array(33), new Uint8Array(16), bytes([1]))",
                              "sec.TwoFishEncrypt(new Uint8Array(16), new Uint8Array(15), bytes([1]))",
                              "sec.TwoFishDecrypt(new Uint8Array(0), new Uint8Array(16), bytes([1]))"}) {
    EXPECT_EQ(Text(QStringLiteral("typeof ") + QString::fromUtf8(refused)), QStringLiteral("undefined")) << refused;
  }
}

TEST_F(SecurityObjectTest, DigestsAndTheMachineIdentifier) {
  EXPECT_EQ(Text(QStringLiteral("sec.MD5(bytes([97, 98, 99]))")), QStringLiteral("900150983CD24FB0D6963F7D28E17F72"));
  EXPECT_EQ(Text(QStringLiteral("sec.MD5(bytes([]))")), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
  EXPECT_EQ(Text(QStringLiteral("sec.GetHWID() == sec.GetHWID() && /^[0-9A-F]{16}$/.test(sec.GetHWID())")),
            QStringLiteral("true"));
}

TEST(SignedBlock, OnlyAVerifiedPayloadIsHandedBack) {
  TRsaKey key;
  ASSERT_TRUE(key.Generate(512));
  const QByteArray payload("packaged document");
  const QByteArray signature = key.Sign(payload);
  QByteArray length(4, '\0');
  for (int i = 0; i < 4; ++i) length[i] = static_cast<char>((signature.size() >> (8 * i)) & 0xFF);
  const QByteArray block = payload + signature + length;
  QByteArray out;
  EXPECT_TRUE(VerifySignedBlock(block, key.PublicBlob(), out));
  EXPECT_EQ(out, payload);
  QByteArray tampered = block;
  tampered[0] = 'P';
  EXPECT_FALSE(VerifySignedBlock(tampered, key.PublicBlob(), out));
  EXPECT_TRUE(out.isEmpty());
  // Lengths that leave no payload, or point before the start.
  for (const QByteArray& bad : {QByteArray("\x10\x00\x00\x00", 4), QByteArray("ab\xff\xff\xff\xff", 6),
                                signature + length, QByteArray()}) {
    EXPECT_FALSE(VerifySignedBlock(bad, key.PublicBlob(), out));
    EXPECT_TRUE(out.isEmpty());
  }
}

}  // namespace
}  // namespace pw::tests
