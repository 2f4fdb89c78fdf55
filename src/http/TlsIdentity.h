#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ruvo::http {

// What the HTTPS server presents: a certificate (with its chain) and its key, in PEM, and
// what a till pins: the certificate's SHA-256 fingerprint and its public key's.
struct TlsIdentity {
  std::string certificatePem;
  std::string keyPem;
  std::string certificateFile;
  bool madeHere = false;     // the self-signed one of the working folder
  std::string fingerprint;   // SHA-256 of the certificate, "AB:CD:...", as browsers show it
  std::string publicKeyPin;  // "sha256//<base64>" of its SubjectPublicKeyInfo (curl --pinnedpubkey)
  std::time_t expires = 0;   // the certificate's end of validity
};

// The names of the self-signed certificate's files in the working folder.
inline const std::string kCertificateFileName = "ruvo-http.crt";
inline const std::string kKeyFileName = "ruvo-http.key";

// The identity from the files named in the settings (relative to the working folder), or,
// when none is named, the working folder's own self-signed one, made at the first start
// (an ECDSA P-256 key, ten years, the given names and addresses as its subject's
// alternative names) with the token's permissions. A key that others may read, a link, a
// certificate that is not the key's, or files that do not parse are refused: nullopt and
// the problem.
std::optional<TlsIdentity> LoadOrMakeTlsIdentity(const std::string& workingFolder,
                                                 const std::string& certificateFile,
                                                 const std::string& keyFile,
                                                 const std::vector<std::string>& names,
                                                 std::string& problem);

}  // namespace ruvo::http
