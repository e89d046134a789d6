// Signs a file with a key kept in a container, checks the signature with the public key alone,
// and enciphers the file with Twofish.
//   pagewick-cli script examples/scripts/sign-file.js FILE
function main(args) {
  if (args.length < 1) {
    Alert('usage: sign-file.js FILE');
    return 2;
  }
  var sec = CreateObject('Security');
  var data = CreateObject('Bytes').Load(args[0]).GetData();
  var container = 'pagewick-example';
  if (!sec.ExportSignPublicKey(container)) {
    // A first run makes the container and its key pair; later runs reuse them.
    if (!sec.CreateContainer(container) || !sec.CreateSignKey(container, 2048)) {
      Alert('the key container could not be made');
      return 1;
    }
  }
  var signature = sec.Sign(container, data);
  var publicKey = sec.ExportSignPublicKey(container);
  Alert('MD5 ' + sec.MD5(data));
  Alert('signature verifies: ' + sec.VerifySign(data, signature, publicKey));
  CreateObject('Bytes').SetData(signature).Save(args[0] + '.sig');
  CreateObject('Bytes').SetData(publicKey).Save(args[0] + '.pub');

  var key = sec.MD5('a passphrase');  // 32 hex digits: use them as a 32-byte key
  var iv = new Uint8Array(16);
  var sealed = sec.TwoFishEncrypt(key, iv, data);
  Alert('round trip: ' + (sec.MD5(sec.TwoFishDecrypt(key, iv, sealed)) == sec.MD5(data)));
  Alert('this machine: ' + sec.GetHWID());
  return 0;
}
