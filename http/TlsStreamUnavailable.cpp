// TlsStream where the platform's TLS is not used: https fails at once, with
// a reason the user can read.
#include "http/TlsStream.h"

#include "http/HttpFailure.h"

struct TlsStream::Session {};

bool TlsStream::Available() { return false; }

TlsStream::TlsStream(ByteStream&) {}

TlsStream::~TlsStream() = default;

int TlsStream::Connect(const std::string&, const std::string&, uint32_t, const std::atomic<bool>*)
{
    return HttpFailure::kHttpsUnsupported;
}

SocketResult TlsStream::SendAll(const char*, size_t, const std::atomic<bool>*) { return SocketResult::Failed; }

long TlsStream::Receive(char*, size_t, uint32_t, const std::atomic<bool>*) { return kReceiveFailed; }

int TlsStream::Failure() const { return HttpFailure::kHttpsUnsupported; }
