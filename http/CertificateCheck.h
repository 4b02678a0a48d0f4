#pragma once
// Windows only: the server certificate check behind TlsStream. Schannel is
// told to leave the certificate alone (Wine's never checks it anyway), so
// the widget checks it itself.
#include <windows.h>

#include <wincrypt.h>

#include <string>

// Checks `certificate` (the server's, with the intermediates it sent in its
// store) for `host`: a chain for server authentication to a root the system
// trusts, or else to `extraRootDer` (DER bytes of one more trusted root;
// empty for none); in its dates; not revoked (revocation that cannot be
// checked does not count); issued for `host` (a DNS name, or an IPv4
// literal that must match an IP address entry). HttpFailure::kOk or the
// code of the first thing wrong.
int CheckServerCertificate(PCCERT_CONTEXT certificate, const std::string& host,
                           const std::string& extraRootDer);
