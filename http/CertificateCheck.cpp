// The certificate check: the chain first (trust, usage, dates, revocation),
// then the SSL policy (the name), each read into one HttpFailure code.
// Revocation is asked for but only a certificate known to be revoked
// fails: a list that cannot be fetched (offline, no distribution point)
// leaves the status unknown, and unknown passes.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "http/CertificateCheck.h"

#include "http/HttpFailure.h"
#include "http/Url.h"

#include <cstring>

namespace {

// Fetching revocation lists over the network may not hold up a cycle long.
constexpr DWORD kRevocationLimitMs = 3000;

// Trust errors that say nothing against the certificate.
constexpr DWORD kUnknownRevocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// SECURITY_FLAG_IGNORE_REVOCATION of <wininet.h>: without it Wine's SSL
// policy stops at an unknown revocation status before it looks at the
// name. A revoked certificate has failed the chain check by then.
constexpr DWORD kPolicyIgnoresRevocation = 0x00000080;

class Chain {
public:
    Chain() = default;
    ~Chain()
    {
        if (context)
            CertFreeCertificateChain(context);
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    PCCERT_CHAIN_CONTEXT context = nullptr; // owned
};

class Store {
public:
    explicit Store(HCERTSTORE opened) : handle(opened) {}
    ~Store()
    {
        if (handle)
            CertCloseStore(handle, 0);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    HCERTSTORE handle; // owned
};

class Engine {
public:
    Engine() = default;
    ~Engine()
    {
        if (handle)
            CertFreeCertificateChainEngine(handle);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    HCERTCHAINENGINE handle = nullptr; // owned
};

int TimeCode(PCCERT_CONTEXT certificate)
{
    // The server's own certificate decides between the two; an issuer out
    // of its dates counts as expired.
    return CertVerifyTimeValidity(nullptr, certificate->pCertInfo) < 0 ? HttpFailure::kCertNotYetValid
                                                                       : HttpFailure::kCertExpired;
}

int TrustCode(DWORD errors, PCCERT_CONTEXT certificate)
{
    errors &= ~kUnknownRevocation;
    if (errors == CERT_TRUST_NO_ERROR)
        return HttpFailure::kOk;
    if (errors & CERT_TRUST_IS_REVOKED)
        return HttpFailure::kCertRevoked;
    if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                  CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC))
        return HttpFailure::kCertUntrusted;
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID)
        return TimeCode(certificate);
    if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return HttpFailure::kCertWrongUsage;
    return HttpFailure::kCertUntrusted;
}

// Builds the chain on `engine` (null: the system's) for server
// authentication, with the intermediates the server sent.
int BuildChain(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate, Chain& chain)
{
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    parameters.dwUrlRetrievalTimeout = kRevocationLimitMs;
    const DWORD flags =
        CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    if (!CertGetCertificateChain(engine, certificate, nullptr, certificate->hCertStore, &parameters, flags,
                                 nullptr, &chain.context))
        return HttpFailure::kCertUntrusted;
    return TrustCode(chain.context->TrustStatus.dwErrorStatus, certificate);
}

bool HasIpAddress(PCCERT_CONTEXT certificate, const unsigned char address[4])
{
    const CERT_INFO* info = certificate->pCertInfo;
    PCERT_EXTENSION extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (!extension)
        return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4 &&
                std::memcmp(entry.IPAddress.pbData, address, 4) == 0;
    }
    LocalFree(names);
    return found;
}

// The SSL policy over a built chain: the name (a DNS name through the
// policy, an IP literal by its address entries) and anything the chain
// check let through.
int PolicyCode(PCCERT_CHAIN_CONTEXT chain, PCCERT_CONTEXT certificate, const std::string& host)
{
    unsigned char address[4];
    const bool literal = ParseIpv4Literal(host, address);
    std::wstring name(host.begin(), host.end());
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = kPolicyIgnoresRevocation;
    ssl.pwszServerName = literal ? nullptr : &name[0];
    CERT_CHAIN_POLICY_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    parameters.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &parameters, &status))
        return HttpFailure::kCertUntrusted;
    switch (static_cast<HRESULT>(status.dwError)) {
    case S_OK:
    case CRYPT_E_NO_REVOCATION_CHECK:
    case CRYPT_E_REVOCATION_OFFLINE:
    case CERT_E_REVOCATION_FAILURE:
        break;
    case CERT_E_CN_NO_MATCH:
        return HttpFailure::kCertWrongName;
    case CERT_E_EXPIRED:
        return TimeCode(certificate);
    case CERT_E_WRONG_USAGE:
        return HttpFailure::kCertWrongUsage;
    case CRYPT_E_REVOKED:
        return HttpFailure::kCertRevoked;
    default:
        return HttpFailure::kCertUntrusted;
    }
    if (literal && !HasIpAddress(certificate, address))
        return HttpFailure::kCertWrongName;
    return HttpFailure::kOk;
}

int CheckOnEngine(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate, const std::string& host)
{
    Chain chain;
    int code = BuildChain(engine, certificate, chain);
    if (code != HttpFailure::kOk)
        return code;
    return PolicyCode(chain.context, certificate, host);
}

// The same check with `rootDer` as the only trusted root: a chain engine of
// its own whose exclusive root store holds just that certificate.
int CheckWithRoot(PCCERT_CONTEXT certificate, const std::string& host, const std::string& rootDer)
{
    Store roots(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!roots.handle || !CertAddEncodedCertificateToStore(
                             roots.handle, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(rootDer.data()),
                             static_cast<DWORD>(rootDer.size()), CERT_STORE_ADD_ALWAYS, nullptr))
        return HttpFailure::kCertUnreadable;
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = sizeof config;
    config.hExclusiveRoot = roots.handle;
    Engine engine;
    if (!CertCreateCertificateChainEngine(&config, &engine.handle))
        return HttpFailure::kCertUntrusted;
    return CheckOnEngine(engine.handle, certificate, host);
}

} // namespace

int CheckServerCertificate(PCCERT_CONTEXT certificate, const std::string& host,
                           const std::string& extraRootDer)
{
    int code = CheckOnEngine(nullptr, certificate, host);
    if (code == HttpFailure::kCertUntrusted && !extraRootDer.empty())
        code = CheckWithRoot(certificate, host, extraRootDer);
    return code;
}
