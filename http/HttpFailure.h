#pragma once

// How a fetch can end: 0, or one negative code per failure, each with a
// short text in plain words for the user (HttpFailureText). The client, its
// TLS layer and the certificate check all report in these codes; HttpClient
// carries them as its own constants (HttpClient::kTimedOut).
struct HttpFailure {
    static constexpr int kOk = 0;
    // Reaching the server.
    static constexpr int kConnectRefused = -1;     // connect failed: refused or unreachable
    static constexpr int kLookupFailed = -2;       // the host name could not be resolved
    static constexpr int kNoAddress = -3;          // the host has no IPv4 address
    static constexpr int kSocketFailed = -4;       // no socket could be created
    static constexpr int kTimedOut = -5;           // the server fell silent (header or body)
    static constexpr int kTooLarge = -6;           // header block or body over its cap
    static constexpr int kStopped = -7;            // the stop flag was raised during a wait
    static constexpr int kMalformed = -8;          // response framing that cannot be trusted
    static constexpr int kNonBlockingFailed = -9;  // the socket could not be made non-blocking
    static constexpr int kConnectTimedOut = -10;   // no connection within kConnectLimitMs
    static constexpr int kBadUrl = -11;            // not an "http://" or "https://" URL
    static constexpr int kNoHost = -12;            // a URL without a usable host
    static constexpr int kBadPort = -13;           // a port that is not 1 to 65535
    static constexpr int kSendFailed = -14;        // the request could not be sent
    static constexpr int kCutShort = -15;          // the connection ended inside the body
    static constexpr int kConnectionReset = -16;   // the connection failed while reading
    static constexpr int kNoAnswer = -17;          // the connection ended before a whole header block
    static constexpr int kNotConnected = -18;      // a request or body without a connection or answer
    static constexpr int kRedirectToHttp = -20;    // an https URL redirected to plain http
    // The secure connection.
    static constexpr int kTlsFailed = -21;    // the handshake failed on our side
    static constexpr int kTlsAlert = -22;     // the server ended the handshake with an alert
    static constexpr int kTlsCutShort = -23;  // the connection ended without close_notify
    static constexpr int kTlsCorrupt = -24;   // a record that does not decrypt
    // The server's certificate.
    static constexpr int kCertUntrusted = -25;    // no chain to a trusted root
    static constexpr int kCertWrongName = -26;    // issued for another host name or address
    static constexpr int kCertExpired = -27;      // past its validity
    static constexpr int kCertNotYetValid = -28;  // before its validity
    static constexpr int kCertRevoked = -29;      // revoked by its issuer
    static constexpr int kCertWrongUsage = -30;   // not for server authentication
    static constexpr int kCertUnreadable = -31;   // the configured trusted certificate cannot be read
    // The whole request or cycle passed its deadline.
    static constexpr int kTooSlow = -32;
    // The proxy answered a CONNECT with anything but 2xx (its status is the
    // client's StatusCode).
    static constexpr int kProxyRefused = -33;
    static constexpr int kHttpsUnsupported = -443;  // no TLS on this platform
};

// A short text in plain words for a code above ("certificate expired"); ""
// for kOk, "unknown failure" for any other value.
const char* HttpFailureText(int code);
