#include "update/UpdateRates.h"

#include "http/HttpClient.h"
#include "rates/DecodeRates.h"
#include "rates/DocumentQuotes.h"

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
// Downloads the rate page. The body is kept only when the server answered
// 2xx with a complete body: an error page (a 404 or 500 with ten fields or
// more) must not be taken for a rate list, since into an empty list it
// would make records, and those would be the list for the rest of the run.
// Anything else leaves `outcome` failed with its reason.
std::string DownloadRateList(const std::string& url, const std::atomic<bool>* stop, UpdateOutcome& outcome,
                             RateListValidators* validators)
{
    HttpClient client;
    client.SetStopFlag(stop);
    if (validators && !validators->lastModified.empty())
        client.extraHeaders["If-Modified-Since"] = validators->lastModified;
    if (validators && !validators->etag.empty())
        client.extraHeaders["If-None-Match"] = validators->etag;
    const int opened = client.Open(url, kRateRedirectLimit);
    const int sent = opened == HttpClient::kOk ? client.SendRequest("GET") : opened;
    // Read even after a failure: every cycle reports its length, and a
    // failed one reports 0.
    std::string body = client.ReadBody();
    if (opened != HttpClient::kOk) {
        outcome.reason = HttpFailureText(opened, HttpStep::Connect);
        return std::string();
    }
    if (sent != HttpClient::kOk) {
        outcome.reason = HttpFailureText(sent, HttpStep::Request);
        return std::string();
    }
    const int status = client.StatusCode();
    outcome.httpStatus = status;
    outcome.retryAfter = client.GetHeaderValue("Retry-After");
    if (status == 0) {
        outcome.reason = "closed without an answer";
        return std::string();
    }
    // Unasked, a 304 says nothing about the rates shown.
    if (status == 304 && !client.extraHeaders.empty()) {
        outcome.kind = UpdateOutcome::Kind::NotModified;
        return std::string();
    }
    if (status < 200 || status > 299) {
        outcome.reason = HttpStatusText(status);
        return std::string();
    }
    if (client.BodyStatus() != HttpClient::kOk) {
        outcome.reason = HttpFailureText(client.BodyStatus(), HttpStep::Body);
        return std::string();
    }
    if (validators) {
        // Kept only if the list turns out to be one (see UpdateRates).
        outcome.lastModified = client.GetHeaderValue("Last-Modified");
        outcome.etag = client.GetHeaderValue("ETag");
    }
    return body;
}

// Only a value that can go back on a header line unchanged.
std::string Sendable(const std::string& value)
{
    if (value.size() > RateListValidators::kLongestValue)
        return std::string();
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::string();
    return value;
}
}  // namespace

UpdateOutcome UpdateRates(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop, RateFormat format,
                          RateListValidators* validators)
{
    // The network and the decode take as long as they take; readers (the
    // panes' painting) must never wait for them, so the lock comes last.
    UpdateOutcome outcome;
    const std::string body = DownloadRateList(url, stop, outcome, validators);
    if (outcome.reason.empty() && outcome.kind == UpdateOutcome::Kind::Failed) {
        const DecodedRates decoded = DecodeRates(body, format);
        if (!decoded.failure.empty()) {
            outcome.reason = kNotARateList;
        } else {
            auto access = rates.Lock();
            // A document's quotes take their opening figure and extremes
            // from the records, so they are made under the same lock as the
            // merge.
            if (decoded.format == RateFormat::List) {
                MergeQuotes(*access, decoded.quotes);
                outcome.pairs = decoded.quotes.size();
            } else {
                const std::vector<RateQuote> quotes = QuotesFromDocument(decoded.document, *access);
                MergeQuotes(*access, quotes);
                outcome.pairs = quotes.size();
            }
            outcome.kind = UpdateOutcome::Kind::Updated;
            if (validators) {
                validators->lastModified = Sendable(outcome.lastModified);
                validators->etag = Sendable(outcome.etag);
            }
        }
    }
    outcome.when = std::time(nullptr);
    return outcome;
}
