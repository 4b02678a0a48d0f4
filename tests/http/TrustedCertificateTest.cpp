// The "TrustedCertificate" file's bytes: PEM or DER, bounded, checked.
#include "http/HttpFailure.h"
#include "http/TrustedCertificate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using namespace std::string_literals;

// A DER SEQUENCE holding INTEGER 5, and the same in base64.
const std::string kDer = "\x30\x03\x02\x01\x05"s;
const std::string kBase64 = "MAMCAQU=";

std::string Pem(const std::string& body)
{
    return "-----BEGIN CERTIFICATE-----\n" + body + "\n-----END CERTIFICATE-----\n";
}

TEST(CertificateDer, TakesPemOrDerAndNothingElse)
{
    std::string longDer = "\x30\x82\x01\x00"s + std::string(256, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {kDer, kDer},
        {Pem(kBase64), kDer},
        {"Bag Attributes\r\n" + Pem("MAMC\r\nAQU=") + "trailing words", kDer},
        {Pem(kBase64) + Pem("MAMCAQY="), kDer},  // the first block
        {longDer, longDer},
        {longDer + "x", ""},                      // DER with bytes after it
        {kDer.substr(0, 4), ""},                  // cut short
        {"\x31\x03\x02\x01\x05"s, ""},            // not a SEQUENCE
        {Pem("MAMCAQU"), ""},                     // base64 cut short
        {Pem("MAM*AQU="), ""},                    // not base64
        {Pem("MA=MCAQU"), ""},                    // padding inside
        {Pem("aGVsbG8="), ""},                    // base64 of no certificate
        {"-----BEGIN CERTIFICATE-----\n" + kBase64, ""},  // no end line
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CertificateDer(c.first), c.second) << c.first;
}

TEST(ReadTrustedCertificate, ReadsABoundedFileOrLeavesTheOutputAlone)
{
    const std::string path = testing::TempDir() + "qb-trusted-certificate.pem";
    auto write = [&](const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    };
    std::string der = "kept";
    write(Pem(kBase64));
    EXPECT_EQ(ReadTrustedCertificate(path, der), HttpFailure::kOk);
    EXPECT_EQ(der, kDer);

    der = "kept";
    write("not a certificate");
    EXPECT_EQ(ReadTrustedCertificate(path, der), HttpFailure::kCertUnreadable);
    write(Pem(kBase64) + std::string(kMaxCertificateFileBytes, ' '));
    EXPECT_EQ(ReadTrustedCertificate(path, der), HttpFailure::kCertUnreadable);
    std::remove(path.c_str());
    EXPECT_EQ(ReadTrustedCertificate(path, der), HttpFailure::kCertUnreadable);
    EXPECT_EQ(der, "kept");
    EXPECT_STREQ(HttpFailureText(HttpFailure::kCertUnreadable), "trusted certificate file unreadable");
}

}  // namespace
