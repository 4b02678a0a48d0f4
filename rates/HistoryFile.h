#pragma once
#include "rates/FXRate.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The records as they are kept on disk between runs: their texts, figures,
// counters and whole series, with the series' shape. Laid out as
//
//   "QBHISTRY"                 8 bytes
//   format version             u32 (kHistoryFileVersion)
//   payload length             u32
//   CRC-32 of the payload      u32 (IEEE 802.3, as zlib computes it)
//   payload: record count u32, then each record: seven texts (code, first
//   price, price, change, open, low, high; u16 length and bytes), trend,
//   rises, falls (i32), base, low and high value (f32), the shape's three
//   u32, the series' kind (u32: 0 change figures, 1 prices), the sample
//   count (u32) and the samples (f32 value, i64 time).
//
// all little-endian. The bounds are the memory's: at most kMaxSavedRecords
// records, each of at most MostHistorySamples(kRecordHistoryLimits)
// samples, texts of at most kMaxSavedTextBytes; so a file is never larger
// than kMaxHistoryFileBytes.
inline constexpr uint32_t kHistoryFileVersion = 2;
// The first version, still read: it has no series kind (all change figures).
inline constexpr uint32_t kFirstHistoryFileVersion = 1;
inline constexpr std::size_t kMaxSavedRecords = 200;
inline constexpr std::size_t kMaxSavedTextBytes = 256;
inline constexpr std::size_t kHistoryFileHeaderBytes = 20;
inline constexpr std::size_t kSavedSampleBytes = 12;
inline constexpr std::size_t kMostSavedRecordBytes =
    7 * (2 + kMaxSavedTextBytes) + 3 * 4 + 3 * 4 + 3 * 4 + 4 + 4 +
    MostHistorySamples(kRecordHistoryLimits) * kSavedSampleBytes;
inline constexpr std::size_t kMaxHistoryFileBytes =
    kHistoryFileHeaderBytes + 4 + kMaxSavedRecords * kMostSavedRecordBytes;

// The file's bytes for `records`: the first kMaxSavedRecords of them, each
// text cut to kMaxSavedTextBytes.
std::string EncodeHistoryFile(const std::vector<FXRate>& records);

// Reads a file's bytes back into records. Fails, with the reason and
// `records` left as they were, for anything but a whole file of this
// version (or the first) within the bounds whose checksum holds and whose
// records keep their rules (finite figures, low <= base <= high, a series
// within its bound and its shape, in time order, prices above zero).
bool DecodeHistoryFile(const std::string& bytes, std::vector<FXRate>& records, std::string& failure);

// CRC-32 (IEEE 802.3, reflected, as zlib's crc32) of `size` bytes.
uint32_t Crc32(const void* data, std::size_t size);
