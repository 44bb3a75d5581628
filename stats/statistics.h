// CStatistics: the model of one language written in one single-byte charset.
//
// Table n maps the SequenceKey of a sequence of n + 1 consecutive bytes to its
// relative frequency in the sample text. A SequenceKey holds the first byte in
// bits 0-7, the second in bits 8-15 and the third in bits 16-23; every other
// bit is zero. The key does not record its length: the table does.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/critical_section_lock.h"
#include "core/default_hash.h"
#include "core/hash_table.h"
#include "stats/language_tag.h"

using SequenceKey = uint32_t;

/// Sequence lengths 1, 2 and 3: one table each.
inline constexpr int kTableCount = 3;

using CFrequencyTable = CHashTable<uint32_t, double, CDefaultHash, CCriticalSectionLock>;

/// Whether `key` can be the key of a sequence of `tableIndex` + 1 bytes.
constexpr bool IsSequenceKeyOf(int tableIndex, uint32_t key) {
  return (static_cast<uint64_t>(key) >> (8 * (tableIndex + 1))) == 0;
}

/// The weights of tables 0, 1 and 2 that a new model starts with.
inline constexpr std::array<double, kTableCount> kStartWeights = {1.0, 50.0, 500.0};

/// One entry of a table: a sequence and its frequency.
struct SequenceFrequency {
  SequenceKey Key = 0;
  double Value = 0.0;
};

/// The entries of three tables, table by table, in the order a table lists
/// them or a statistics file holds them.
using SequenceTables = std::array<std::vector<SequenceFrequency>, kTableCount>;

/// A plain record: the command that runs owns the one model of the run.
class CStatistics {
 public:
  CFrequencyTable Tables[kTableCount];
  /// Always clear; its lowest bit is stored in every block of a statistics file.
  uint8_t Flag = 0;
  LanguageTag Language = kDefaultLanguageTag;
  int32_t CharsetId = 0;
  /// Weights of tables 0, 1 and 2 in the score.
  double Weights[kTableCount] = {kStartWeights[0], kStartWeights[1], kStartWeights[2]};
};

/// A copy of the model's three tables, each in the order the table lists it.
SequenceTables SnapshotTables(const CStatistics& model);
