#pragma once
#include "http/KeptConnection.h"
#include "rates/RateHistory.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// Where a rates page's own history of fixings is read: for the ECB's daily
// page its 90-day file, for Frankfurter's latest rates its range from 90
// days before `nowUtcMs` on, for any other page `historyUrl` (the
// "HistoryUrl" setting; empty for none). Empty when the page has none.
std::string HistoryAddressFor(const std::string& rateUrl, const std::string& historyUrl, int64_t nowUtcMs);

// The days a history asks for.
inline constexpr int64_t kHistoryDaysAsked = 90;

// A history is read again after this long.
inline constexpr int64_t kHistoryRefreshMs = 24 * 3600 * 1000;

// Downloads and reads the history at `url` (either shape of
// DecodeRateHistory) within `deadline`, over `connection` when given.
// False with the reason in `failure` when the download failed, the answer
// was not 2xx or the body is no history; `history` is then left as it was.
bool FetchRateHistory(const std::string& url, const std::atomic<bool>* stop,
                      std::chrono::steady_clock::time_point deadline, KeptConnection* connection,
                      const std::string& trustedCertificate, RateHistory& history, std::string& failure);
