#pragma once
#include "rates/FXRate.h"
#include "rates/RateDocument.h"
#include "rates/RateHistory.h"
#include "rates/RateQuote.h"

#include <string>
#include <vector>

// Turns the rates of a document into quotes that merge like the list's.
// A document carries only prices, so the rest comes from what this run has
// seen, which the records already hold: the opening figure is the first
// price of the pair (the record's openText, or this price for a pair with
// no record yet), high and low are the extremes of the record's texts and
// this price, and the change figure is the percent change of this price
// from the opening figure (PercentChangeText). A pair's record is the one
// with its code, as the merge finds it (RecordIndex). A record that keeps a
// price a day (FXRate::priceSeries) gets its quote fixed at the document's
// day, when it gives one, so that a history that cannot be read this time
// costs none of the days held.
std::vector<RateQuote> QuotesFromDocument(const RateDocument& document, const std::vector<FXRate>& records);

// The percent change from `open` to `price`, rounded to two decimals, with
// its sign: "+0.12", "-0.05", "+0.00". Beyond +-10^13 percent it stays at
// that bound rather than print an unbounded number.
std::string PercentChangeText(double price, double open);

// The same with the source's own history held: for a pair it holds, the
// change figure is the move from the previous fixing, as every rate table
// shows it, and the opening text is that fixing (its shortest text). The
// previous fixing is the newest one dated before the document's day (before
// the current UTC day when the document gives none). Pairs the history does
// not hold are as above. When the document gives its day, every quote is
// fixed at that day's fixing (kFixingMillisecondOfDay), so that the records
// of a source with a history keep a price a day.
std::vector<RateQuote> QuotesFromDocument(const RateDocument& document, const std::vector<FXRate>& records,
                                          const RateHistory& history);

// Finds the fixing before `before` (UTC milliseconds) in `pair`: false when
// it holds none.
bool PreviousFixing(const PairHistory& pair, int64_t before, double& value);

// Gives the records the opening texts of `quotes` (the first record of each
// code, as the merge finds it): a record keeps the opening text of its first
// list, but against the previous fixing the opening moves with every day.
void TakeOpeningTexts(std::vector<FXRate>& records, const std::vector<RateQuote>& quotes);

// Gives each record the history holds its fixings as samples. A price
// series (FXRate::priceSeries) takes each fixing it lacks as its price at
// the fixing's time, wherever it falls. Any other series takes them before
// the samples it took itself, each as its change from the fixing before,
// as the change column shows a day's; such a record that holds a sample
// from the fixings' days already (given them before, or saved) is left as
// it is.
void TakeFixingSamples(std::vector<FXRate>& records, const RateHistory& history);
