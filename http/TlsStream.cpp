// TlsStream over Schannel (SSPI). One handshake loop serves the first
// handshake and any later one (SEC_I_RENEGOTIATE, which is how TLS 1.3
// session tickets arrive); encrypted bytes that belong to the next record
// stay in `incoming` between calls (SECBUFFER_EXTRA). Schannel is only
// ever handed whole records: Wine's reads a record's length without
// checking that its five header bytes are there.
#include "http/TlsStream.h"

#include "http/CertificateCheck.h"
#include "http/HttpFailure.h"
#include "http/Url.h"

#define SECURITY_WIN32
// The newer credentials structure (SCH_CREDENTIALS) sits behind this.
#define SCHANNEL_USE_BLACKLISTS
#include <windows.h>

#include <subauth.h> // UNICODE_STRING, which the newer structures use

#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kRecordHeader = 5;
// The largest TLS record a peer may send: 2^14 bytes of data plus 2048 of
// expansion, behind its header.
constexpr size_t kMaxRecord = kRecordHeader + 16384 + 2048;
// The encrypted bytes held at once: a whole handshake flight (certificate
// chains run to a few kilobytes, and Wine wants a message whole) or a few
// records. A server that sends more without a complete message is refused.
constexpr size_t kMaxIncoming = 128 * 1024;
constexpr unsigned char kAlertRecord = 21;

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_MANUAL_CRED_VALIDATION | ISC_REQ_USE_SUPPLIED_CREDS;

bool Raised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_acquire);
}

// Output tokens that Schannel allocated; freed on every path.
class OutputTokens {
public:
    OutputTokens()
    {
        buffers[0] = {0, SECBUFFER_TOKEN, nullptr};
        buffers[1] = {0, SECBUFFER_ALERT, nullptr};
        description = {SECBUFFER_VERSION, 2, buffers};
    }
    ~OutputTokens()
    {
        for (SecBuffer& buffer : buffers) {
            if (buffer.pvBuffer)
                FreeContextBuffer(buffer.pvBuffer);
        }
    }
    OutputTokens(const OutputTokens&) = delete;
    OutputTokens& operator=(const OutputTokens&) = delete;

    SecBufferDesc* Description() { return &description; }
    const SecBuffer& Token() const { return buffers[0]; }

private:
    SecBuffer buffers[2];
    SecBufferDesc description;
};

} // namespace

struct TlsStream::Session {
    explicit Session(ByteStream& below) : transport(below) {}
    ~Session()
    {
        if (haveContext)
            DeleteSecurityContext(&context);
        if (haveCredentials)
            FreeCredentialsHandle(&credentials);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool AcquireCredentials();
    int Handshake(uint32_t silenceMs, const std::atomic<bool>* stop);
    // Reads more encrypted bytes: kOk, or the code of why none came.
    int ReadMore(uint32_t limitMs, const std::atomic<bool>* stop, bool inHandshake);
    // How many leading bytes of `incoming` form whole records; `malformed`
    // when a record header cannot be one.
    size_t WholeRecords(bool& malformed) const;
    bool HoldsAlert(size_t end) const;
    int SendToken(const SecBuffer& token, const std::atomic<bool>* stop);
    // Decrypts the first record of `incoming` into `plain`: kOk, or why not;
    // `closed` when it was the peer's close_notify.
    int DecryptRecord(uint32_t silenceMs, const std::atomic<bool>* stop);

    ByteStream& transport; // borrowed
    CredHandle credentials{};
    bool haveCredentials = false;
    CtxtHandle context{};
    bool haveContext = false;
    std::wstring serverName; // empty for an IP literal: no name to send
    SecPkgContext_StreamSizes sizes{};
    std::vector<char> incoming; // encrypted bytes not yet consumed
    size_t triedUpTo = 0;       // whole-record bytes Schannel last found too few
    std::string plain;          // decrypted bytes not yet handed out
    size_t plainAt = 0;
    bool closed = false; // close_notify came
    int failure = 0;
};

bool TlsStream::Session::AcquireCredentials()
{
    // The newer credentials structure lets Windows 10 and later offer TLS
    // 1.3; where it is not known (older Windows, Wine) the classic one
    // offers TLS 1.2.
    const DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = flags;
    TimeStamp expiry{};
    char package[] = UNISP_NAME_A;
    if (AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &modern, nullptr, nullptr,
                                  &credentials, &expiry) == SEC_E_OK) {
        haveCredentials = true;
        return true;
    }
    SCHANNEL_CRED classic{};
    classic.dwVersion = SCHANNEL_CRED_VERSION;
    classic.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    classic.dwFlags = flags;
    if (AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &classic, nullptr, nullptr,
                                  &credentials, &expiry) == SEC_E_OK) {
        haveCredentials = true;
        return true;
    }
    return false;
}

size_t TlsStream::Session::WholeRecords(bool& malformed) const
{
    malformed = false;
    size_t at = 0;
    while (incoming.size() - at >= kRecordHeader) {
        auto byte = [&](size_t i) { return static_cast<unsigned char>(incoming[at + i]); };
        // Content types 20 to 24, major version 3.
        if (byte(0) < 20 || byte(0) > 24 || byte(1) != 3) {
            malformed = true;
            return at;
        }
        size_t length = kRecordHeader + (static_cast<size_t>(byte(3)) << 8 | byte(4));
        if (length > kMaxRecord) {
            malformed = true;
            return at;
        }
        if (incoming.size() - at < length)
            break;
        at += length;
    }
    return at;
}

bool TlsStream::Session::HoldsAlert(size_t end) const
{
    size_t at = 0;
    while (at + kRecordHeader <= end) {
        if (static_cast<unsigned char>(incoming[at]) == kAlertRecord)
            return true;
        at += kRecordHeader + (static_cast<size_t>(static_cast<unsigned char>(incoming[at + 3])) << 8 |
                               static_cast<unsigned char>(incoming[at + 4]));
    }
    return false;
}

int TlsStream::Session::ReadMore(uint32_t limitMs, const std::atomic<bool>* stop, bool inHandshake)
{
    if (incoming.size() >= kMaxIncoming)
        return HttpFailure::kTooLarge;
    char buffer[4096];
    long n =
        transport.Receive(buffer, std::min(sizeof buffer, kMaxIncoming - incoming.size()), limitMs, stop);
    if (n > 0) {
        incoming.insert(incoming.end(), buffer, buffer + n);
        return HttpFailure::kOk;
    }
    switch (n) {
    case kReceiveTimedOut:
        return HttpFailure::kTimedOut;
    case kReceiveStopped:
        return HttpFailure::kStopped;
    case kReceiveClosed:
        // The connection ended without close_notify: whatever it carried
        // may have been cut by anyone on the way.
        return inHandshake ? HttpFailure::kTlsFailed : HttpFailure::kTlsCutShort;
    default:
        return HttpFailure::kConnectionReset;
    }
}

int TlsStream::Session::SendToken(const SecBuffer& token, const std::atomic<bool>* stop)
{
    if (token.cbBuffer == 0 || token.pvBuffer == nullptr)
        return HttpFailure::kOk;
    SocketResult sent = transport.SendAll(static_cast<const char*>(token.pvBuffer), token.cbBuffer, stop);
    if (sent == SocketResult::Ok)
        return HttpFailure::kOk;
    return sent == SocketResult::Stopped ? HttpFailure::kStopped : HttpFailure::kSendFailed;
}

int TlsStream::Session::Handshake(uint32_t silenceMs, const std::atomic<bool>* stop)
{
    triedUpTo = 0;
    // The first call has no input and only makes the ClientHello.
    if (!haveContext) {
        OutputTokens out;
        DWORD attributes = 0;
        TimeStamp expiry{};
        SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials, nullptr, serverName.empty() ? nullptr : &serverName[0], kContextFlags, 0, 0,
            nullptr, 0, &context, out.Description(), &attributes, &expiry);
        if (status != SEC_I_CONTINUE_NEEDED)
            return HttpFailure::kTlsFailed;
        haveContext = true;
        if (int sent = SendToken(out.Token(), stop); sent != HttpFailure::kOk)
            return sent;
    }
    for (;;) {
        if (Raised(stop))
            return HttpFailure::kStopped;
        bool malformed = false;
        size_t whole = WholeRecords(malformed);
        if (malformed)
            return HttpFailure::kTlsFailed;
        if (whole == 0 || whole <= triedUpTo) {
            if (int read = ReadMore(silenceMs, stop, true); read != HttpFailure::kOk)
                return read;
            continue;
        }
        SecBuffer input[2] = {{static_cast<unsigned long>(whole), SECBUFFER_TOKEN, incoming.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, input};
        OutputTokens out;
        DWORD attributes = 0;
        TimeStamp expiry{};
        SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials, &context, serverName.empty() ? nullptr : &serverName[0], kContextFlags, 0, 0,
            &inputDescription, 0, nullptr, out.Description(), &attributes, &expiry);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            triedUpTo = whole;
            continue;
        }
        // Every token goes out, an alert of our own included.
        int sent = SendToken(out.Token(), stop);
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
            return HoldsAlert(whole) ? HttpFailure::kTlsAlert : HttpFailure::kTlsFailed;
        if (sent != HttpFailure::kOk)
            return sent;
        // What Schannel did not take (SECBUFFER_EXTRA) starts the next
        // record; the partial record behind `whole` stays too.
        size_t unread = input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0;
        incoming.erase(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(whole - unread));
        triedUpTo = 0;
        if (status == SEC_E_OK)
            return HttpFailure::kOk;
    }
}

int TlsStream::Session::DecryptRecord(uint32_t silenceMs, const std::atomic<bool>* stop)
{
    bool malformed = false;
    size_t whole = WholeRecords(malformed);
    if (whole == 0)
        return malformed ? HttpFailure::kTlsCorrupt : HttpFailure::kOk;
    // One record per call, and never fewer than its header.
    size_t first = kRecordHeader + (static_cast<size_t>(static_cast<unsigned char>(incoming[3])) << 8 |
                                    static_cast<unsigned char>(incoming[4]));
    SecBuffer buffers[4] = {{static_cast<unsigned long>(first), SECBUFFER_DATA, incoming.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    const bool alert = static_cast<unsigned char>(incoming[0]) == kAlertRecord;
    SECURITY_STATUS status = DecryptMessage(&context, &description, 0, nullptr);
    // Windows reports the peer's close_notify as SEC_I_CONTEXT_EXPIRED;
    // Wine as an alert record that decrypts to nothing.
    if (status == SEC_E_OK && alert) {
        bool empty = true;
        for (const SecBuffer& buffer : buffers)
            empty = empty && !(buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0);
        if (empty)
            status = SEC_I_CONTEXT_EXPIRED;
    }
    if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) {
        size_t extra = 0;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0 && buffer.pvBuffer)
                plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            if (buffer.BufferType == SECBUFFER_EXTRA)
                extra = std::min<size_t>(buffer.cbBuffer, first);
        }
        if (status == SEC_I_RENEGOTIATE) {
            // A handshake message after the handshake (a TLS 1.3 session
            // ticket): what Schannel left of the record goes to the
            // handshake loop, ahead of anything that followed it.
            incoming.erase(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(first - extra));
            return Handshake(silenceMs, stop);
        }
        // The record was decrypted in place; it is spent.
        incoming.erase(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(first));
        return HttpFailure::kOk;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
        closed = true;
        incoming.erase(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(first));
        return HttpFailure::kOk;
    }
    return HttpFailure::kTlsCorrupt;
}

bool TlsStream::Available()
{
    return true;
}

TlsStream::TlsStream(ByteStream& transport) : session(std::make_unique<Session>(transport)) {}

TlsStream::~TlsStream() = default;

int TlsStream::Connect(const std::string& host, const std::string& extraRootDer, uint32_t silenceMs,
                       const std::atomic<bool>* stop)
{
    Session& s = *session;
    if (!s.AcquireCredentials())
        return s.failure = HttpFailure::kTlsFailed;
    unsigned char address[4];
    if (!ParseIpv4Literal(host, address))
        s.serverName.assign(host.begin(), host.end());
    if (int handshake = s.Handshake(silenceMs, stop); handshake != HttpFailure::kOk)
        return s.failure = handshake;
    if (QueryContextAttributesW(&s.context, SECPKG_ATTR_STREAM_SIZES, &s.sizes) != SEC_E_OK)
        return s.failure = HttpFailure::kTlsFailed;

    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&s.context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        certificate == nullptr)
        return s.failure = HttpFailure::kCertUntrusted;
    int checked = CheckServerCertificate(certificate, host, extraRootDer);
    CertFreeCertificateContext(certificate);
    return s.failure = checked;
}

SocketResult TlsStream::SendAll(const char* data, size_t size, const std::atomic<bool>* stop)
{
    Session& s = *session;
    if (!s.haveContext || s.failure != HttpFailure::kOk || s.sizes.cbMaximumMessage == 0)
        return SocketResult::Failed;
    std::vector<char> record(s.sizes.cbHeader + s.sizes.cbMaximumMessage + s.sizes.cbTrailer);
    size_t done = 0;
    while (done < size) {
        size_t piece = std::min<size_t>(size - done, s.sizes.cbMaximumMessage);
        std::memcpy(record.data() + s.sizes.cbHeader, data + done, piece);
        SecBuffer buffers[4] = {
            {s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + s.sizes.cbHeader},
            {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + s.sizes.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&s.context, 0, &description, 0) != SEC_E_OK) {
            s.failure = HttpFailure::kTlsCorrupt;
            return SocketResult::Failed;
        }
        size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        SocketResult sent = s.transport.SendAll(record.data(), total, stop);
        if (sent != SocketResult::Ok)
            return sent;
        done += piece;
    }
    return SocketResult::Ok;
}

long TlsStream::Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop)
{
    Session& s = *session;
    for (;;) {
        if (s.plainAt < s.plain.size()) {
            size_t take = std::min(size, s.plain.size() - s.plainAt);
            std::memcpy(buffer, s.plain.data() + s.plainAt, take);
            s.plainAt += take;
            if (s.plainAt == s.plain.size()) {
                s.plain.clear();
                s.plainAt = 0;
            }
            return static_cast<long>(take);
        }
        if (s.closed)
            return kReceiveClosed;
        if (s.failure != HttpFailure::kOk || !s.haveContext)
            return kReceiveFailed;
        if (Raised(stop))
            return kReceiveStopped;
        bool malformed = false;
        if (s.WholeRecords(malformed) > 0 || malformed) {
            if (int decrypted = s.DecryptRecord(limitMs, stop); decrypted != HttpFailure::kOk) {
                s.failure = decrypted;
                return decrypted == HttpFailure::kStopped ? kReceiveStopped : kReceiveFailed;
            }
            continue;
        }
        int read = s.ReadMore(limitMs, stop, false);
        if (read == HttpFailure::kTimedOut)
            return kReceiveTimedOut;
        if (read == HttpFailure::kStopped)
            return kReceiveStopped;
        if (read != HttpFailure::kOk) {
            s.failure = read;
            return kReceiveFailed;
        }
    }
}

int TlsStream::Failure() const
{
    return session->failure;
}
