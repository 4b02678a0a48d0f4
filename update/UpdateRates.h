#pragma once
#include "http/KeptConnection.h"
#include "rates/FXRate.h"
#include "rates/RateFormat.h"
#include "rates/RateHistory.h"
#include "rates/RateQuote.h"
#include "rates/SharedRates.h"
#include "update/UpdateOutcome.h"

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

// How many redirect probes one download may make before its real request.
inline constexpr int kRateRedirectLimit = 3;
// The longest a cycle may take, probes and download together; past it the
// cycle fails as "server too slow".
inline constexpr std::chrono::milliseconds kCycleLimit{30000};

// Merges one downloaded list into the records. A code stands for one record
// (codes match in any ASCII case, RecordIndex): of a list that names a code
// twice, the first quote counts and the others are dropped. Each quote
// updates the record of its code, found by lookup; a code without one gets a
// new record at the end, so the first list makes the records in its order
// and a pair that appears later follows them. Records are never removed or
// reordered, so an index into the list (the rate pane's selection) stays
// valid for the life of the program; the list may grow, so a pointer into it
// holds only until the next merge. The list never holds more than
// kMostPairs records: codes beyond them are dropped.
void MergeQuotes(std::vector<FXRate>& rates, const std::vector<RateQuote>& quotes);

// What the server said about the last list merged ("Last-Modified",
// "ETag"), asked back with the next request ("If-Modified-Since",
// "If-None-Match") so that an unchanged list can be answered with a 304.
struct RateListValidators {
    static constexpr size_t kLongestValue = 256;  // a longer value is not kept
    std::string url;                              // the page they belong to
    std::string lastModified;
    std::string etag;
};

// One update cycle: downloads the rate page at `url` on a client of its own,
// decodes it in `format` (DecodeRates) and merges it into `rates`. Only a
// 2xx answer is decoded; a failed download, an error page or a body that is
// not a rate list changes nothing. The download and the decode run without
// the lock; the lock is held only while merging. `stop`, when given, cuts
// the download short (the worker is being stopped). Says what came of it:
// updated, not modified (304) or failed, and why. `validators`, when given,
// are sent and, after a list is merged, renewed.
UpdateOutcome UpdateRates(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop = nullptr,
                          RateFormat format = RateFormat::Auto, RateListValidators* validators = nullptr);

// The update cycles of one worker, with what they keep from one cycle to the
// next: the validators, so that the next request asks whether anything
// changed, the connection, and one more trusted root for https. Used by one thread;
// LastResult may be read from any.
class RateUpdater {
public:
    // One more trusted root for https (DER bytes; empty for none).
    void SetTrustedCertificate(std::string der) { trustedCertificate = std::move(der); }
    // The way to the sources (the "Proxy" setting); set before the cycles
    // start.
    void SetProxy(ProxyConfig config) { proxy = std::move(config); }
    // A trusted root was named but could not be read: every cycle fails
    // with `code` and takes no data (HttpFailure::kOk clears it).
    void SetTrustFailure(int code) { trustFailure = code; }
    // The pairs a person chose (the Pairs setting's codes): those a rates
    // document does not quote but its own quotes make are added to it as
    // crosses (AddCrossRates). Set before the cycles start.
    void SetWantedPairs(std::vector<std::string> codes) { wantedPairs = std::move(codes); }
    // The source's own history of fixings for the page at `url`: its
    // documents' change figures are then against the previous fixing
    // (QuotesFromDocument with a history), and its wanted crosses have
    // days too (AddCrossHistories).
    void SetSourceHistory(const std::string& url, RateHistory history);
    // The extra trusted root, for other downloads from the same sources.
    const std::string& TrustedCertificate() const { return trustedCertificate; }
    // Another bound for each cycle than kCycleLimit (tests).
    void SetCycleLimit(std::chrono::milliseconds limit) { cycleLimit = limit; }

    // One cycle as UpdateRates above, asking conditionally.
    UpdateOutcome Update(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop = nullptr,
                         RateFormat format = RateFormat::Auto);
    // The same with the page's validators kept by the caller: each of
    // several sources keeps its own (RateSource).
    UpdateOutcome Update(SharedRates& rates, const std::string& url, RateListValidators& pageValidators,
                         const std::atomic<bool>* stop = nullptr, RateFormat format = RateFormat::Auto);
    // The same over the page's own kept connection, within a deadline that
    // the caller sets once for a whole cycle of several pages.
    UpdateOutcome Update(SharedRates& rates, const std::string& url, RateListValidators& pageValidators,
                         KeptConnection& pageConnection, SteadyTime deadline, const std::atomic<bool>* stop,
                         RateFormat format);
    // When a cycle that starts now must end (kCycleLimit, or SetCycleLimit's).
    SteadyTime CycleDeadline() const { return std::chrono::steady_clock::now() + cycleLimit; }

    // How the last Update's download ended: HttpFailure::kOk, a negative
    // HttpFailure code, or the status code of an answer that was neither
    // 2xx nor 304 (kOk before the first).
    int LastResult() const { return lastResult.load(std::memory_order_relaxed); }

private:
    std::string trustedCertificate;
    ProxyConfig proxy;
    int trustFailure = 0;
    std::chrono::milliseconds cycleLimit = kCycleLimit;
    KeptConnection connection;  // the probes and requests of every cycle, while the server keeps it
    RateListValidators validators;
    std::vector<std::string> wantedPairs;
    // A page's history as read, and with the crosses of `crossedFor`.
    struct HeldHistory {
        RateHistory own;
        std::vector<std::string> crossedFor;
        RateHistory withCrosses;
        void Cross(const std::vector<std::string>& wanted);
    };
    std::map<std::string, HeldHistory> histories;  // by page address
    std::atomic<int> lastResult{0};
};
