#pragma once
#include "rates/FXRate.h"
#include "rates/RateQuote.h"
#include "rates/SharedRates.h"

#include <atomic>
#include <string>
#include <vector>

// How many redirect probes one download may make before its real request.
inline constexpr int kRateRedirectLimit = 3;

// Merges one downloaded list into the records. Into an empty list every
// quote becomes a new record, in list order (a repeated code makes a second
// record). Into a populated list each quote updates the first record with
// the same code, and quotes of unknown codes are dropped: once populated,
// records are never added, removed or reordered, so an index into the list
// (the rate pane's selection) stays valid for the life of the program.
void MergeQuotes(std::vector<FXRate>& rates, const std::vector<RateQuote>& quotes);

// The update cycles of one worker, with what they keep from one cycle to
// the next: the last answer's validators ("ETag", "Last-Modified"), so that
// the next request asks whether anything changed, and one more trusted root
// for https. Used by one thread; LastResult may be read from any.
class RateUpdater {
public:
    // One more trusted root for https (DER bytes; empty for none).
    void SetTrustedCertificate(std::string der) { trustedCertificate = std::move(der); }
    // A trusted root was named but could not be read: every cycle fails
    // with `code` and takes no data (HttpFailure::kOk clears it).
    void SetTrustFailure(int code) { trustFailure = code; }

    // One cycle as UpdateRates below, asking conditionally. A "304 Not
    // Modified" is a success that changes nothing and takes no sample.
    // Returns HttpFailure::kOk, a negative HttpFailure code, or the status
    // code of an answer that was neither 2xx nor 304.
    int Update(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop = nullptr);

    // What the last Update returned (kOk before the first).
    int LastResult() const { return lastResult.load(std::memory_order_relaxed); }

private:
    int Cycle(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop);

    std::string trustedCertificate;
    int trustFailure = 0;
    std::string validatedUrl;  // the URL the validators below belong to
    std::string etag;          // sent back as "If-None-Match"
    std::string lastModified;  // sent back as "If-Modified-Since"
    std::atomic<int> lastResult{0};
};

// One update cycle: downloads the rate page at `url` on a client of its own,
// decodes it and merges it into `rates`. Only a 2xx answer is decoded; a
// failed download or an error page changes nothing. The download and the
// decode run without the lock; the lock is held only while merging. `stop`,
// when given, cuts the download short (the worker is being stopped).
void UpdateRates(SharedRates& rates, const std::string& url, const std::atomic<bool>* stop = nullptr);
