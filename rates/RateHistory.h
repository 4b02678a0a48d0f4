#pragma once
#include "rates/RateDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A source's own history of its fixings: for each pair, one price per day
// the source fixed, oldest first, each dated at the moment of its fixing.
struct HistoryPoint {
    int64_t time = 0;    // UTC milliseconds since 1970 (base/UtcTime.h)
    double value = 0.0;  // the fixing's price: finite and above zero
};

struct PairHistory {
    std::string code;                  // "EURUSD", as a document names it
    std::vector<HistoryPoint> points;  // oldest first, one a day, strictly later each
};

struct RateHistory {
    std::vector<PairHistory> pairs;  // in the order the pairs first appear
};

// Bounds on a history, whatever its shape: a year and a month of working
// days, as many pairs as any source lists, and no more bytes than a rates
// document (rates/RateDocument.h).
inline constexpr std::size_t kMaxHistoryDays = 400;
inline constexpr std::size_t kMaxHistoryPairs = 200;

// The ECB fixes at 16:00 CET, 15:00 UTC: every day of a history is dated at
// that moment of its day (Frankfurter serves the same fixings).
inline constexpr int64_t kFixingMillisecondOfDay = 15 * 3600 * 1000;

// Reads the ECB's history file (eurofxref-hist-90d.xml: the daily page's
// XML with one `<Cube time='YYYY-MM-DD'>` a working day, newest first).
bool DecodeEcbHistory(const std::string& body, RateHistory& history, std::string& failure);

// Reads Frankfurter's range answer: {"base":"EUR","start_date":...,
// "end_date":...,"rates":{"2026-09-01":{"USD":1.1,...},...}}.
bool DecodeRangeHistory(const std::string& body, RateHistory& history, std::string& failure);

// Reads either shape, told apart by its first byte that is not white space
// ('<' for the ECB's XML, '{' for JSON).
bool DecodeRateHistory(const std::string& body, RateHistory& history, std::string& failure);

// Every decoder above checks each day's rates as a document's, orders the
// days by date whatever order they came in, refuses a day given twice, a
// date that is not a real "YYYY-MM-DD", more than kMaxHistoryDays days,
// kMaxHistoryPairs pairs or kMaxDocumentBytes bytes. On failure it returns
// false with the reason ("not a rate history (...)") and leaves `history`
// as it was.
