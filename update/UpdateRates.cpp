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
// Downloads the rate page; empty unless the server answered 2xx with a
// complete body. An error page (a 404 or 500 with ten fields or more) must
// not be taken for a rate list: into an empty list it would make records,
// and those would be the list for the rest of the run.
std::string DownloadRateList(const std::string& url, const std::atomic<bool>* stop)
{
    HttpClient client;
    client.SetStopFlag(stop);
    client.Open(url, kRateRedirectLimit);
    client.SendRequest("GET");
    std::string body = client.ReadBody();
    const int status = client.StatusCode();
    if (status < 200 || status > 299)
        body.clear();
    return body;
}
}  // namespace

void UpdateRates(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop, RateFormat format)
{
    // The network and the decode take as long as they take; readers (the
    // panes' painting) must never wait for them, so the lock comes last.
    const DecodedRates decoded = DecodeRates(DownloadRateList(url, stop), format);
    if (!decoded.failure.empty())
        return;
    auto access = rates.Lock();
    // A document's quotes take their opening figure and extremes from the
    // records, so they are made under the same lock as the merge.
    if (decoded.format == RateFormat::List)
        MergeQuotes(*access, decoded.quotes);
    else
        MergeQuotes(*access, QuotesFromDocument(decoded.document, *access));
}
