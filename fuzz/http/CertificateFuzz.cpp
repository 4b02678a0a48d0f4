// Arbitrary bytes as a "TrustedCertificate" file: PEM or DER, or nothing.
#include "http/TrustedCertificate.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string der = CertificateDer(bytes);
    // Whatever comes out is one DER sequence, no longer than what went in,
    // and reads back as itself.
    if (der.empty())
        return 0;
    if (der.size() > bytes.size() || static_cast<unsigned char>(der[0]) != 0x30)
        __builtin_trap();
    if (CertificateDer(der) != der)
        __builtin_trap();
    return 0;
}
