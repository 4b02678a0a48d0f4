#pragma once
#include <string>

// One more trusted root for https, from a file the user names: PEM (the
// first "-----BEGIN CERTIFICATE-----" block) or DER. Portable: the bytes
// are only taken apart here; Schannel's side adds them to a chain engine.

// The largest certificate file read; anything longer is not one.
inline constexpr size_t kMaxCertificateFileBytes = 64 * 1024;

// The DER bytes of the certificate in `bytes` (PEM or DER); empty when
// they hold none: no PEM block and no DER sequence that fills the bytes
// exactly, or base64 that does not decode.
std::string CertificateDer(const std::string& bytes);

// Reads the file at `path` and takes its certificate: HttpFailure::kOk with
// `der` filled, or HttpFailure::kCertUnreadable (missing, unreadable, too
// large, no certificate); `der` is left alone then.
int ReadTrustedCertificate(const std::string& path, std::string& der);
