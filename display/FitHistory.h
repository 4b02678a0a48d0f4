#pragma once
#include "rates/BoundedHistory.h"

#include <vector>

// Makes a history fit a chart `columns` pixels wide, in place. The chart
// draws nothing for a sample that shares a pixel column with the one before
// it, so a history of more samples than columns would be drawn as dashes and
// a spike between two column edges would not be drawn at all. While there are
// fewer samples than columns, nothing changes. Otherwise the first and the
// newest sample stay as they are and the ones between are cut into groups of
// neighbours, each leaving its lowest and its highest sample in time order:
// every sample then lands in a column of its own, and every group's extremes,
// the run's highest and lowest among them, are drawn. Storage is not given
// back, so a history refilled for the next paint needs no new allocation.
void FitHistoryToColumns(std::vector<RateSample>& samples, int columns);
