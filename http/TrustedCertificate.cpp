#include "http/TrustedCertificate.h"

#include "http/HttpFailure.h"

#include <fstream>

namespace {

const char* const kBegin = "-----BEGIN CERTIFICATE-----";
const char* const kEnd = "-----END CERTIFICATE-----";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Strict base64 with line breaks and blanks between groups, padded to
// whole groups of four; padding only at the end. Empty on anything else.
std::string DecodeBase64(const std::string& text)
{
    std::string out;
    unsigned bits = 0;
    int held = 0;
    size_t padding = 0;
    size_t symbols = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        ++symbols;
        if (c == '=') {
            ++padding;
            continue;
        }
        int value = Base64Value(c);
        if (value < 0 || padding > 0)
            return std::string();
        bits = (bits << 6) | static_cast<unsigned>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    if (padding > 2 || symbols % 4 != 0)
        return std::string();
    return out;
}

// A DER SEQUENCE whose length covers exactly the rest of the bytes.
bool IsWholeDerSequence(const std::string& bytes)
{
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0x30)
        return false;
    auto first = static_cast<unsigned char>(bytes[1]);
    size_t length = 0;
    size_t header = 2;
    if (first < 0x80) {
        length = first;
    } else {
        size_t digits = first & 0x7F;
        if (digits == 0 || digits > 4 || bytes.size() < 2 + digits)
            return false;
        for (size_t i = 0; i < digits; ++i)
            length = (length << 8) | static_cast<unsigned char>(bytes[2 + i]);
        header += digits;
    }
    return bytes.size() - header == length;
}

}  // namespace

std::string CertificateDer(const std::string& bytes)
{
    size_t begin = bytes.find(kBegin);
    if (begin == std::string::npos)
        return IsWholeDerSequence(bytes) ? bytes : std::string();
    begin += std::char_traits<char>::length(kBegin);
    size_t end = bytes.find(kEnd, begin);
    if (end == std::string::npos)
        return std::string();
    std::string der = DecodeBase64(bytes.substr(begin, end - begin));
    return IsWholeDerSequence(der) ? der : std::string();
}

int ReadTrustedCertificate(const std::string& path, std::string& der)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return HttpFailure::kCertUnreadable;
    std::string bytes(kMaxCertificateFileBytes + 1, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxCertificateFileBytes)
        return HttpFailure::kCertUnreadable;
    std::string found = CertificateDer(bytes);
    if (found.empty())
        return HttpFailure::kCertUnreadable;
    der = std::move(found);
    return HttpFailure::kOk;
}
