// Collection: turning a sample text into the frequency tables of a model.
//
// At each position p = 0 .. size - 5 of the text the single byte, the pair and
// the triple that start there are counted, stopping at the first byte of the
// ignore set (byte 0 always belongs to it). A sequence of length n + 1 enters
// table n when its count reaches that table's threshold:
//   t0 = T(size * fraction), t1 = T((size * 0.5) * fraction),
//   t2 = T((size / 3.0) * fraction),
// where T truncates toward zero to a signed 64-bit integer and keeps its low
// 32 bits (NaN and magnitudes of 2^63 or more give 0). The kept counts are
// divided by a running total of kept counts that starts at 0 before table 0 and
// is not reset per table: table 0 sums to 1, table 1 shares its total with
// table 0, table 2 with both. Entries are inserted into the model in
// descending order of count (equal counts by ascending key), which fixes the
// order in which a fresh model lists them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/critical_section_lock.h"
#include "core/default_hash.h"
#include "core/hash_table.h"
#include "stats/statistics.h"

using CCountTable = CHashTable<uint32_t, uint32_t, CDefaultHash, CCriticalSectionLock>;

/// The threshold of one table: T(v) as above.
uint32_t TruncateThreshold(double value);

/// Orders count snapshot entries, larger counts first: negative when `left`
/// has the larger count, positive when `right` has, 0 when they are equal.
int32_t CompareCounts(const CCountTable::Node& left, const CCountTable::Node& right);

/// Adds the frequencies of `text` to the model's tables (overwriting keys that
/// are present; the collect command hands in empty tables).
/// `ignoreSet` is a NUL-terminated byte string. REQUIRES: text.size() <= UINT32_MAX.
void CollectStatistics(CStatistics& model, const uint8_t* ignoreSet, std::span<const uint8_t> text,
                       double fraction);

/// Reads the sample at `path` whole, clears the model's Flag and collects it.
/// False, with the model untouched, when the sample cannot be read whole
/// (see ReadTextFile).
bool CollectFile(std::u16string_view path, CStatistics& model, const uint8_t* ignoreSet,
                 double fraction);
