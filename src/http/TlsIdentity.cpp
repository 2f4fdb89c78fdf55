#include "http/TlsIdentity.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <sys/random.h>

#include <ctime>
#include <memory>

#include "http/PrivateFile.h"
#include "platform/Files.h"

namespace ruvo::http {

namespace {

constexpr std::size_t kMaxPemBytes = 256 * 1024;
constexpr std::time_t kDay = 24 * 60 * 60;
constexpr std::time_t kValidFor = 10 * 365 * kDay;

struct CertificateFree {
  void operator()(gnutls_x509_crt_int* crt) const { gnutls_x509_crt_deinit(crt); }
};
using Certificate = std::unique_ptr<gnutls_x509_crt_int, CertificateFree>;
struct KeyFree {
  void operator()(gnutls_x509_privkey_int* key) const { gnutls_x509_privkey_deinit(key); }
};
using PrivateKey = std::unique_ptr<gnutls_x509_privkey_int, KeyFree>;

gnutls_datum_t Datum(const std::string& text) {
  return {reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
          static_cast<unsigned int>(text.size())};
}

std::string TakeDatum(gnutls_datum_t& datum) {
  std::string text(reinterpret_cast<const char*>(datum.data), datum.size);
  gnutls_free(datum.data);
  datum.data = nullptr;
  return text;
}

std::string Base64(const unsigned char* bytes, std::size_t size) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < size; i += 3) {
    const unsigned value = (bytes[i] << 16) | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < size ? bytes[i + 2] : 0);
    text += kDigits[(value >> 18) & 63];
    text += kDigits[(value >> 12) & 63];
    text += i + 1 < size ? kDigits[(value >> 6) & 63] : '=';
    text += i + 2 < size ? kDigits[value & 63] : '=';
  }
  return text;
}

// The first certificate of a PEM text (the server's; a chain may follow).
Certificate FirstCertificate(const std::string& pem) {
  gnutls_x509_crt_t* list = nullptr;
  unsigned int count = 0;
  const gnutls_datum_t data = Datum(pem);
  if (gnutls_x509_crt_list_import2(&list, &count, &data, GNUTLS_X509_FMT_PEM, 0) < 0 ||
      count == 0) {
    return nullptr;
  }
  Certificate first(list[0]);
  for (unsigned int i = 1; i < count; ++i) gnutls_x509_crt_deinit(list[i]);
  gnutls_free(list);
  return first;
}

// The fingerprint and the pin of the identity's certificate, once it is known to be its
// key's; false when the two do not parse or do not belong together.
bool Describe(TlsIdentity& identity, std::string& problem) {
  const Certificate certificate = FirstCertificate(identity.certificatePem);
  if (!certificate) {
    problem = identity.certificateFile + " holds no PEM certificate";
    return false;
  }
  gnutls_certificate_credentials_t credentials = nullptr;
  if (gnutls_certificate_allocate_credentials(&credentials) < 0) {
    problem = "no memory for the certificate";
    return false;
  }
  const gnutls_datum_t chain = Datum(identity.certificatePem);
  const gnutls_datum_t key = Datum(identity.keyPem);
  const int loaded = gnutls_certificate_set_x509_key_mem2(credentials, &chain, &key,
                                                          GNUTLS_X509_FMT_PEM, nullptr, 0);
  gnutls_certificate_free_credentials(credentials);
  if (loaded < 0) {
    problem = "the certificate " + identity.certificateFile +
              " and its key do not go together or do not parse (an unencrypted PEM key is "
              "needed): " +
              gnutls_strerror(loaded);
    return false;
  }
  unsigned char digest[32];
  std::size_t size = sizeof digest;
  if (gnutls_x509_crt_get_fingerprint(certificate.get(), GNUTLS_DIG_SHA256, digest, &size) < 0) {
    problem = "no fingerprint of " + identity.certificateFile;
    return false;
  }
  identity.fingerprint.clear();
  for (std::size_t i = 0; i < size; ++i) {
    static const char kHex[] = "0123456789ABCDEF";
    if (i > 0) identity.fingerprint += ':';
    identity.fingerprint += kHex[digest[i] >> 4];
    identity.fingerprint += kHex[digest[i] & 15];
  }
  size = sizeof digest;
  if (gnutls_x509_crt_get_key_id(certificate.get(), GNUTLS_KEYID_USE_SHA256, digest, &size) < 0) {
    problem = "no public key hash of " + identity.certificateFile;
    return false;
  }
  identity.publicKeyPin = "sha256//" + Base64(digest, size);
  identity.expires = gnutls_x509_crt_get_expiration_time(certificate.get());
  return true;
}

// A new key and its self-signed certificate, in PEM; false when GnuTLS cannot make them.
bool MakeSelfSigned(const std::vector<std::string>& names, std::string& certificatePem,
                    std::string& keyPem) {
  gnutls_x509_privkey_t rawKey = nullptr;
  gnutls_x509_crt_t rawCertificate = nullptr;
  if (gnutls_x509_privkey_init(&rawKey) < 0) return false;
  const PrivateKey key(rawKey);
  if (gnutls_x509_crt_init(&rawCertificate) < 0) return false;
  const Certificate certificate(rawCertificate);
  if (gnutls_x509_privkey_generate(key.get(), GNUTLS_PK_ECDSA,
                                   GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0) < 0) {
    return false;
  }
  unsigned char serial[16];
  if (::getrandom(serial, sizeof serial, 0) != static_cast<ssize_t>(sizeof serial)) return false;
  serial[0] &= 0x7f;  // a positive number
  const std::time_t now = std::time(nullptr);
  const std::string commonName = "ruvo_drv";
  bool ok =
      gnutls_x509_crt_set_version(certificate.get(), 3) >= 0 &&
      gnutls_x509_crt_set_serial(certificate.get(), serial, sizeof serial) >= 0 &&
      gnutls_x509_crt_set_activation_time(certificate.get(), now - kDay) >= 0 &&
      gnutls_x509_crt_set_expiration_time(certificate.get(), now + kValidFor) >= 0 &&
      gnutls_x509_crt_set_dn_by_oid(certificate.get(), GNUTLS_OID_X520_COMMON_NAME, 0,
                                    commonName.data(),
                                    static_cast<unsigned int>(commonName.size())) >= 0 &&
      gnutls_x509_crt_set_key(certificate.get(), key.get()) >= 0 &&
      // Its own authority, so that a till may also trust it as a CA file (curl --cacert).
      gnutls_x509_crt_set_basic_constraints(certificate.get(), 1, 0) >= 0 &&
      gnutls_x509_crt_set_key_usage(certificate.get(),
                                    GNUTLS_KEY_DIGITAL_SIGNATURE | GNUTLS_KEY_KEY_CERT_SIGN) >= 0 &&
      gnutls_x509_crt_set_key_purpose_oid(certificate.get(), GNUTLS_KP_TLS_WWW_SERVER, 0) >= 0;
  for (const std::string& name : names) {
    unsigned char address[16];
    if (::inet_pton(AF_INET, name.c_str(), address) == 1) {
      ok = ok && gnutls_x509_crt_set_subject_alt_name(certificate.get(), GNUTLS_SAN_IPADDRESS,
                                                      address, 4, GNUTLS_FSAN_APPEND) >= 0;
    } else if (::inet_pton(AF_INET6, name.c_str(), address) == 1) {
      ok = ok && gnutls_x509_crt_set_subject_alt_name(certificate.get(), GNUTLS_SAN_IPADDRESS,
                                                      address, 16, GNUTLS_FSAN_APPEND) >= 0;
    } else if (!name.empty()) {
      ok = ok &&
           gnutls_x509_crt_set_subject_alt_name(certificate.get(), GNUTLS_SAN_DNSNAME, name.data(),
                                                static_cast<unsigned int>(name.size()),
                                                GNUTLS_FSAN_APPEND) >= 0;
    }
  }
  unsigned char keyId[32];
  std::size_t keyIdSize = sizeof keyId;
  ok = ok &&
       gnutls_x509_crt_get_key_id(certificate.get(), GNUTLS_KEYID_USE_SHA1, keyId, &keyIdSize) >=
           0 &&
       gnutls_x509_crt_set_subject_key_id(certificate.get(), keyId, keyIdSize) >= 0 &&
       gnutls_x509_crt_sign2(certificate.get(), certificate.get(), key.get(), GNUTLS_DIG_SHA256,
                             0) >= 0;
  gnutls_datum_t pem{};
  if (!ok || gnutls_x509_crt_export2(certificate.get(), GNUTLS_X509_FMT_PEM, &pem) < 0)
    return false;
  certificatePem = TakeDatum(pem);
  if (gnutls_x509_privkey_export2(key.get(), GNUTLS_X509_FMT_PEM, &pem) < 0) return false;
  keyPem = TakeDatum(pem);
  return true;
}

std::optional<TlsIdentity> ReadIdentity(const std::string& certificateFile,
                                        const std::string& keyFile, bool madeHere,
                                        std::string& problem) {
  TlsIdentity identity;
  identity.certificateFile = certificateFile;
  identity.madeHere = madeHere;
  std::optional<std::string> certificate = ReadFileBytes(certificateFile);
  if (!certificate) {
    problem = "cannot read the certificate " + certificateFile;
    return std::nullopt;
  }
  identity.certificatePem = std::move(*certificate);
  // The key is the server's secret: readable by others, anyone on the machine could pose
  // as the driver to the tills.
  std::optional<std::string> key = ReadPrivateFile(keyFile, kMaxPemBytes, problem);
  if (!key) return std::nullopt;
  identity.keyPem = std::move(*key);
  if (!Describe(identity, problem)) return std::nullopt;
  return identity;
}

}  // namespace

std::optional<TlsIdentity> LoadOrMakeTlsIdentity(const std::string& workingFolder,
                                                 const std::string& certificateFile,
                                                 const std::string& keyFile,
                                                 const std::vector<std::string>& names,
                                                 std::string& problem) {
  const auto inFolder = [&](const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : JoinPath(workingFolder, path);
  };
  if (!certificateFile.empty() || !keyFile.empty()) {
    if (certificateFile.empty() || keyFile.empty()) {
      problem = "CertificatHttp and CheieHttp are named together";
      return std::nullopt;
    }
    return ReadIdentity(inFolder(certificateFile), inFolder(keyFile), false, problem);
  }
  const std::string certificatePath = JoinPath(workingFolder, kCertificateFileName);
  const std::string keyPath = JoinPath(workingFolder, kKeyFileName);
  if (FileExists(certificatePath)) return ReadIdentity(certificatePath, keyPath, true, problem);
  std::string certificatePem;
  std::string keyPem;
  if (!MakeSelfSigned(names, certificatePem, keyPem)) {
    problem = "cannot make a self-signed certificate";
    return std::nullopt;
  }
  // The key first: a certificate is never there without its key. A key left alone by a
  // start that ended between the two is replaced.
  ::unlink(keyPath.c_str());
  if (!WritePrivateFile(workingFolder, keyPath, keyPem, problem)) return std::nullopt;
  if (!WritePrivateFile(workingFolder, certificatePath, certificatePem, problem)) {
    // Another start made its pair meanwhile: the key may be ours and not its certificate's,
    // which the reading tells.
    if (!FileExists(certificatePath)) return std::nullopt;
    problem.clear();
  }
  return ReadIdentity(certificatePath, keyPath, true, problem);
}

}  // namespace ruvo::http
