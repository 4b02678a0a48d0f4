#include "update/UpdateRates.h"

#include "http/HttpClient.h"
#include "http/ResponseHead.h"
#include "rates/RateListDecoder.h"

void MergeQuotes(std::vector<FXRate>& rates, const std::vector<RateQuote>& quotes)
{
    // Judged once: the list grows while the first populated list is merged,
    // and every quote of that list must still become a record of its own.
    const bool startedEmpty = rates.empty();
    if (startedEmpty) {
        rates.reserve(quotes.size());
        for (const RateQuote& quote : quotes)
            rates.emplace_back(quote);
        return;
    }
    for (const RateQuote& quote : quotes) {
        for (FXRate& rate : rates) {
            if (rate.code == quote.code) {
                rate.ApplyQuote(quote);
                break;
            }
        }
    }
}

namespace {
// A validator goes back to the server as it came, so it must be one line
// of printable text, and short.
std::string Validator(const std::string& headers, const char* name)
{
    std::vector<std::string> values = HeaderValues(headers, name);
    if (values.empty() || values.front().size() > 256)
        return std::string();
    for (char c : values.front()) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return std::string();
    }
    return values.front();
}
}  // namespace

int RateUpdater::Update(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop)
{
    int result = Cycle(rates, url, stop);
    lastResult.store(result, std::memory_order_relaxed);
    return result;
}

int RateUpdater::Cycle(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop)
{
    if (trustFailure != HttpFailure::kOk)
        return trustFailure;
    HttpClient client;
    client.SetStopFlag(stop);
    client.SetTrustedCertificate(trustedCertificate);
    if (url == validatedUrl) {
        if (!etag.empty())
            client.SetHeader("If-None-Match", etag);
        if (!lastModified.empty())
            client.SetHeader("If-Modified-Since", lastModified);
    }
    int code = client.Open(url, kRateRedirectLimit);
    if (code == HttpFailure::kOk)
        code = client.SendRequest("GET");
    std::string body = client.ReadBody();
    if (code == HttpFailure::kOk)
        code = client.BodyStatus();
    if (code != HttpFailure::kOk)
        return code;
    // Only a 2xx answer is decoded. An error page (a 404 or 500 with ten
    // fields or more) must not be taken for a rate list: into an empty list
    // it would make records, and those would be the list for the rest of
    // the run.
    const int status = client.StatusCode();
    if (status == 304)
        return HttpFailure::kOk;
    if (status < 200 || status > 299)
        return status;

    // The network and the decode take as long as they take; readers (the
    // panes' painting) must never wait for them, so the lock comes last.
    const std::vector<RateQuote> quotes = DecodeRateList(body);
    if (quotes.empty())
        return HttpFailure::kOk;
    // Validators of an answer that gave rates; a later 304 means "these".
    validatedUrl = url;
    etag = Validator(client.ResponseHeaders(), "ETag");
    lastModified = Validator(client.ResponseHeaders(), "Last-Modified");
    auto access = rates.Lock();
    MergeQuotes(*access, quotes);
    return HttpFailure::kOk;
}

void UpdateRates(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop)
{
    RateUpdater once;
    once.Update(rates, url, stop);
}
