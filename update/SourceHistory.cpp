#include "update/SourceHistory.h"

#include "base/Names.h"
#include "base/UtcTime.h"
#include "http/HttpClient.h"
#include "http/HttpFailure.h"
#include "update/UpdateRates.h"

#include <cstdio>

namespace {

// The ECB's history of the daily page: the same XML, one day a `Cube time=`.
constexpr const char* kEcbHistoryUrl = "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-hist-90d.xml";

std::string IsoDate(int64_t utcMs)
{
    const CivilDate date = CivilFromDays(utcMs / kMillisecondsPerDay);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year), date.month, date.day);
    return text;
}

}  // namespace

std::string HistoryAddressFor(const std::string& rateUrl, const std::string& historyUrl, int64_t nowUtcMs)
{
    if (rateUrl == names::kEcbRateUrl)
        return kEcbHistoryUrl;
    const std::string frankfurter = names::kFrankfurterRateUrl;
    const std::string latest = "latest";
    if (rateUrl == frankfurter && frankfurter.size() > latest.size())
        return frankfurter.substr(0, frankfurter.size() - latest.size()) +
               IsoDate(nowUtcMs - kHistoryDaysAsked * kMillisecondsPerDay) + "..";
    return historyUrl;
}

bool FetchRateHistory(const std::string& url, const std::atomic<bool>* stop,
                      std::chrono::steady_clock::time_point deadline, KeptConnection* connection,
                      const std::string& trustedCertificate, RateHistory& history, std::string& failure)
{
    HttpClient client;
    client.SetStopFlag(stop);
    client.SetDeadline(deadline);
    client.UseConnection(connection);
    if (!trustedCertificate.empty())
        client.SetTrustedCertificate(trustedCertificate);
    int code = client.Open(url, kRateRedirectLimit);
    if (code == HttpFailure::kOk)
        code = client.SendRequest("GET");
    const std::string body = client.ReadBody();
    if (code == HttpFailure::kOk)
        code = client.BodyStatus();
    if (code != HttpFailure::kOk) {
        failure = HttpFailureText(code);
        return false;
    }
    if (client.StatusCode() < 200 || client.StatusCode() > 299) {
        failure = "HTTP " + std::to_string(client.StatusCode());
        return false;
    }
    return DecodeRateHistory(body, history, failure);
}
