#include "update/UpdateRates.h"

#include "http/HttpClient.h"
#include "http/ResponseHead.h"
#include "rates/CrossRates.h"
#include "rates/DecodeRates.h"
#include "rates/DocumentQuotes.h"
#include "rates/RecordIndex.h"
#include "update/Freshness.h"

void MergeQuotes(std::vector<FXRate>& rates, const std::vector<RateQuote>& quotes)
{
    RecordIndex index(rates);
    // Which records this list has updated already: a code stands for one
    // record, and the first quote of a code in a list is the one it takes.
    std::vector<bool> taken(rates.size(), false);
    for (const RateQuote& quote : quotes) {
        const std::size_t found = index.Find(quote.code);
        if (found != RecordIndex::npos) {
            if (!taken[found]) {
                rates[found].ApplyQuote(quote);
                taken[found] = true;
            }
        } else if (rates.size() < kMostPairs) {
            // A pair first seen now goes after every record made before it.
            index.Add(quote.code, rates.size());
            rates.emplace_back(quote);
            taken.push_back(true);
        }
    }
}

namespace {

// A validator goes back to the server as it came, so it must be one line of
// printable text, and short.
std::string Validator(const std::string& headers, const char* name)
{
    std::vector<std::string> values = HeaderValues(headers, name);
    if (values.empty() || values.front().size() > RateListValidators::kLongestValue)
        return std::string();
    for (char c : values.front()) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return std::string();
    }
    return values.front();
}

// What the answer says about how long it stays fresh (Freshness), kept as
// sent; a value too long to be meant is left out.
void FreshnessHeaders(const std::string& headers, UpdateOutcome& outcome)
{
    std::string joined;
    for (const std::string& value : HeaderValues(headers, "Cache-Control"))
        joined += (joined.empty() ? "" : ", ") + value;
    if (joined.size() <= kLongestFreshnessValue)
        outcome.cacheControl = std::move(joined);
    std::vector<std::string> expires = HeaderValues(headers, "Expires");
    if (!expires.empty() && expires.front().size() <= kLongestFreshnessValue)
        outcome.expires = expires.front();
    std::vector<std::string> date = HeaderValues(headers, "Date");
    if (!date.empty() && date.front().size() <= kLongestFreshnessValue)
        outcome.date = date.front();
}

// How one cycle fetches: the trust it extends beyond the system's roots.
struct Fetch {
    const std::string* trustedCertificate = nullptr;  // borrowed; DER, may be empty
    int trustFailure = HttpFailure::kOk;
    const std::vector<std::string>* wantedPairs = nullptr;  // borrowed; crosses to make, may be null
    SteadyTime deadline = std::chrono::steady_clock::now() + kCycleLimit;
    KeptConnection* connection = nullptr;  // borrowed; null for one of the client's own
    const ProxyConfig* proxy = nullptr;    // borrowed; null for the system's settings
    const RateHistory* history = nullptr;  // borrowed; the page's own fixings, may be null
};

// "proxy refused: 407 authentication required": the proxy's status in words
// where it is a common one.
std::string ProxyRefusalText(int status)
{
    std::string text = FailureText(HttpFailure::kProxyRefused);
    if (status <= 0)
        return text;
    text += ": " + std::to_string(status);
    switch (status) {
    case 403:
        return text + " forbidden";
    case 407:
        return text + " authentication required";
    case 502:
        return text + " bad gateway";
    case 503:
        return text + " unavailable";
    case 504:
        return text + " gateway timeout";
    default:
        return text;
    }
}

// Downloads the rate page. The body is kept only when the server answered
// 2xx with a complete body: an error page (a 404 or 500 with ten fields or
// more) must not be taken for a rate list, since into an empty list it
// would make records, and those would be the list for the rest of the run.
// Anything else leaves `outcome` failed with its reason; `result` is what
// the download came to (an HttpFailure code, or a status neither 2xx nor
// 304).
std::string DownloadRateList(const std::string& url, const std::atomic<bool>* stop, const Fetch& fetch,
                             const RateListValidators* validators, UpdateOutcome& outcome, int& result)
{
    if (fetch.trustFailure != HttpFailure::kOk) {
        result = fetch.trustFailure;
        outcome.reason = FailureText(result);
        return std::string();
    }
    HttpClient client;
    client.SetStopFlag(stop);
    client.SetDeadline(fetch.deadline);
    client.UseConnection(fetch.connection);
    if (fetch.proxy)
        client.SetProxy(*fetch.proxy);
    if (fetch.trustedCertificate)
        client.SetTrustedCertificate(*fetch.trustedCertificate);
    bool asked = false;
    if (validators && validators->url == url) {
        if (!validators->lastModified.empty())
            client.SetHeader("If-Modified-Since", validators->lastModified);
        if (!validators->etag.empty())
            client.SetHeader("If-None-Match", validators->etag);
        asked = !validators->lastModified.empty() || !validators->etag.empty();
    }
    int code = client.Open(url, kRateRedirectLimit);
    if (code == HttpFailure::kOk)
        code = client.SendRequest("GET");
    // Read even after a failure: every cycle reports its length, and a
    // failed one reports 0.
    std::string body = client.ReadBody();
    if (code == HttpFailure::kOk)
        code = client.BodyStatus();
    const int status = client.StatusCode();
    outcome.httpStatus = status;
    result = code;
    if (code != HttpFailure::kOk) {
        outcome.reason = code == HttpFailure::kProxyRefused ? ProxyRefusalText(status) : FailureText(code);
        return std::string();
    }
    outcome.retryAfter = client.GetHeaderValue("Retry-After");
    // Also on a 304: it renews the freshness of the rates shown.
    FreshnessHeaders(client.ResponseHeaders(), outcome);
    // Unasked, a 304 says nothing about the rates shown.
    if (status == 304 && asked) {
        outcome.kind = UpdateOutcome::Kind::NotModified;
        return std::string();
    }
    if (status < 200 || status > 299) {
        result = status;
        outcome.reason = HttpStatusText(status);
        return std::string();
    }
    // Kept only if the list turns out to be one (see Cycle).
    outcome.lastModified = Validator(client.ResponseHeaders(), "Last-Modified");
    outcome.etag = Validator(client.ResponseHeaders(), "ETag");
    return body;
}

UpdateOutcome Cycle(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop,
                    RateFormat format, const Fetch& fetch, RateListValidators* validators, int& result)
{
    // The network and the decode take as long as they take; readers (the
    // panes' painting) must never wait for them, so the lock comes last.
    UpdateOutcome outcome;
    const std::string body = DownloadRateList(url, stop, fetch, validators, outcome, result);
    if (outcome.reason.empty() && outcome.kind == UpdateOutcome::Kind::Failed) {
        DecodedRates decoded = DecodeRates(body, format);
        // Crosses come from the document alone, so they are made before the lock.
        if (decoded.failure.empty() && decoded.format != RateFormat::List && fetch.wantedPairs)
            AddCrossRates(decoded.document, *fetch.wantedPairs);
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
                const std::vector<RateQuote> quotes =
                    fetch.history ? QuotesFromDocument(decoded.document, *access, *fetch.history)
                                  : QuotesFromDocument(decoded.document, *access);
                MergeQuotes(*access, quotes);
                // Against the previous fixing, the opening moves with every day.
                if (fetch.history) {
                    TakeOpeningTexts(*access, quotes);
                    TakeFixingSamples(*access, *fetch.history);
                }
                outcome.pairs = quotes.size();
            }
            outcome.kind = UpdateOutcome::Kind::Updated;
            if (validators) {
                // Validators of an answer that gave rates: a later 304 means "these".
                validators->url = url;
                validators->lastModified = outcome.lastModified;
                validators->etag = outcome.etag;
            }
        }
    }
    outcome.when = std::time(nullptr);
    return outcome;
}

}  // namespace

UpdateOutcome UpdateRates(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop,
                          RateFormat format, RateListValidators* validators)
{
    int result = HttpFailure::kOk;
    return Cycle(rates, url, stop, format, Fetch(), validators, result);
}

UpdateOutcome RateUpdater::Update(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop,
                                  RateFormat format)
{
    return Update(rates, url, validators, stop, format);
}

UpdateOutcome RateUpdater::Update(SharedRates& rates, const std::string& url,
                                  RateListValidators& pageValidators, const std::atomic<bool>* stop,
                                  RateFormat format)
{
    return Update(rates, url, pageValidators, connection, CycleDeadline(), stop, format);
}

void RateUpdater::HeldHistory::Cross(const std::vector<std::string>& wanted)
{
    withCrosses = own;
    AddCrossHistories(withCrosses, wanted);
    crossedFor = wanted;
}

void RateUpdater::SetSourceHistory(const std::string& url, RateHistory history)
{
    HeldHistory& held = histories[url];
    held.own = std::move(history);
    held.Cross(wantedPairs);
}

UpdateOutcome RateUpdater::Update(SharedRates& rates, const std::string& url,
                                  RateListValidators& pageValidators, KeptConnection& pageConnection,
                                  SteadyTime deadline, const std::atomic<bool>* stop, RateFormat format)
{
    int result = HttpFailure::kOk;
    Fetch fetch;
    fetch.trustedCertificate = &trustedCertificate;
    fetch.trustFailure = trustFailure;
    fetch.wantedPairs = &wantedPairs;
    fetch.deadline = deadline;
    fetch.connection = &pageConnection;
    fetch.proxy = &proxy;
    const auto found = histories.find(url);
    if (found != histories.end()) {
        // Crosses are made again only when the wanted pairs change.
        HeldHistory& held = found->second;
        if (held.crossedFor != wantedPairs)
            held.Cross(wantedPairs);
        fetch.history = &held.withCrosses;
    }
    UpdateOutcome outcome = Cycle(rates, url, stop, format, fetch, &pageValidators, result);
    lastResult.store(result, std::memory_order_relaxed);
    return outcome;
}
