#include "http/HttpFailure.h"

const char* HttpFailureText(int code)
{
    using F = HttpFailure;
    switch (code) {
    case F::kOk:
        return "";
    case F::kConnectRefused:
        return "connection refused";
    case F::kLookupFailed:
        return "name not found";
    case F::kNoAddress:
        return "name has no IPv4 address";
    case F::kSocketFailed:
        return "no socket available";
    case F::kTimedOut:
        return "server stopped answering";
    case F::kTooLarge:
        return "answer too large";
    case F::kStopped:
        return "stopped";
    case F::kMalformed:
        return "answer not understood";
    case F::kNonBlockingFailed:
        return "socket could not be set up";
    case F::kConnectTimedOut:
        return "no answer within 10 s";
    case F::kBadUrl:
        return "not an http or https address";
    case F::kNoHost:
        return "address without a host";
    case F::kBadPort:
        return "port number not valid";
    case F::kSendFailed:
        return "request could not be sent";
    case F::kCutShort:
        return "body cut short";
    case F::kConnectionReset:
        return "connection reset";
    case F::kNoAnswer:
        return "connection closed without an answer";
    case F::kNotConnected:
        return "not connected";
    case F::kTooSlow:
        return "server too slow";
    case F::kRedirectToHttp:
        return "redirect to http refused";
    case F::kTlsFailed:
        return "secure connection failed";
    case F::kTlsAlert:
        return "server refused the secure connection";
    case F::kTlsCutShort:
        return "secure connection cut short";
    case F::kTlsCorrupt:
        return "secure connection garbled";
    case F::kCertUntrusted:
        return "certificate not trusted";
    case F::kCertWrongName:
        return "certificate for another name";
    case F::kCertExpired:
        return "certificate expired";
    case F::kCertNotYetValid:
        return "certificate not yet valid";
    case F::kCertRevoked:
        return "certificate revoked";
    case F::kCertWrongUsage:
        return "certificate not for web servers";
    case F::kCertUnreadable:
        return "trusted certificate file unreadable";
    case F::kProxyRefused:
        return "proxy refused";
    case F::kHttpsUnsupported:
        return "https not available here";
    default:
        return "unknown failure";
    }
}
