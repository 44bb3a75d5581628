#include "stats/collect.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "stats/key_index.h"
#include "stats/text_file.h"

namespace {

using IgnoreTable = std::array<bool, 256>;

IgnoreTable MakeIgnoreTable(const uint8_t* ignoreSet) {
  IgnoreTable ignored{};
  ignored[0] = true;
  for (const uint8_t* byte = ignoreSet; *byte != 0; ++byte) {
    ignored[*byte] = true;
  }
  return ignored;
}

/// Occurrence counts of the text's sequences. Singles and pairs are counted in
/// dense arrays indexed by key; triples through a key index.
struct SequenceCounts {
  std::vector<uint32_t> Singles = std::vector<uint32_t>(256, 0);
  std::vector<uint32_t> Pairs = std::vector<uint32_t>(65536, 0);
  CKeyIndex Triples;
  std::vector<uint32_t> TripleCounts;
};

void CountSequences(std::span<const uint8_t> text, const IgnoreTable& ignored,
                    SequenceCounts& counts) {
  if (text.size() <= 4) {
    return;
  }
  const size_t positions = text.size() - 4;
  for (size_t p = 0; p < positions; ++p) {
    const uint32_t b0 = text[p];
    if (ignored[b0]) {
      continue;
    }
    ++counts.Singles[b0];
    const uint32_t b1 = text[p + 1];
    if (ignored[b1]) {
      continue;
    }
    const uint32_t pair = b0 | b1 << 8;
    ++counts.Pairs[pair];
    const uint32_t b2 = text[p + 2];
    if (ignored[b2]) {
      continue;
    }
    const uint32_t id = counts.Triples.Insert(pair | b2 << 16);
    if (id == counts.TripleCounts.size()) {
      counts.TripleCounts.push_back(0);
    }
    ++counts.TripleCounts[id];
  }
}

std::vector<CCountTable::Node> SnapshotOfDense(const std::vector<uint32_t>& counts) {
  std::vector<CCountTable::Node> snapshot;
  for (uint32_t key = 0; key < counts.size(); ++key) {
    if (counts[key] != 0) {
      CCountTable::Node node;
      node.Key = key;
      node.Value = counts[key];
      snapshot.push_back(node);
    }
  }
  return snapshot;
}

std::vector<CCountTable::Node> SnapshotOfIndexed(const CKeyIndex& index,
                                                 const std::vector<uint32_t>& counts) {
  std::vector<CCountTable::Node> snapshot(counts.size());
  for (uint32_t id = 0; id < counts.size(); ++id) {
    snapshot[id].Key = index.Keys()[id];
    snapshot[id].Value = counts[id];
  }
  return snapshot;
}

/// Stores the entries of `snapshot` that reach `threshold` into `table`, as
/// shares of the running `total`, in descending order of count.
void StoreFrequencies(std::vector<CCountTable::Node>& snapshot, uint32_t threshold, uint64_t& total,
                      CFrequencyTable& table) {
  std::sort(snapshot.begin(), snapshot.end(),
            [](const CCountTable::Node& a, const CCountTable::Node& b) {
              const int32_t order = CompareCounts(a, b);
              return order != 0 ? order < 0 : a.Key < b.Key;
            });
  const auto end = std::find_if(snapshot.begin(), snapshot.end(),
                                [threshold](const auto& node) { return node.Value < threshold; });
  for (auto node = snapshot.begin(); node != end; ++node) {
    total += node->Value;
  }
  for (auto node = snapshot.begin(); node != end; ++node) {
    table.Lookup(node->Key) = static_cast<double>(node->Value) / static_cast<double>(total);
  }
}

}  // namespace

uint32_t TruncateThreshold(double value) {
  constexpr double kTwoToThe63 = 9223372036854775808.0;
  if (std::isnan(value) || std::fabs(value) >= kTwoToThe63) {
    return 0;
  }
  return static_cast<uint32_t>(static_cast<int64_t>(value));
}

int32_t CompareCounts(const CCountTable::Node& left, const CCountTable::Node& right) {
  // The sign of right - left, without the overflow of a 32-bit difference.
  return (right.Value > left.Value) - (right.Value < left.Value);
}

void CollectStatistics(CStatistics& model, const uint8_t* ignoreSet, std::span<const uint8_t> text,
                       double fraction) {
  SequenceCounts counts;
  CountSequences(text, MakeIgnoreTable(ignoreSet), counts);

  const auto size = static_cast<double>(text.size());
  const uint32_t thresholds[kTableCount] = {
      TruncateThreshold(size * fraction),
      TruncateThreshold((size * 0.5) * fraction),
      TruncateThreshold((size / 3.0) * fraction),
  };
  std::vector<CCountTable::Node> snapshots[kTableCount] = {
      SnapshotOfDense(counts.Singles),
      SnapshotOfDense(counts.Pairs),
      SnapshotOfIndexed(counts.Triples, counts.TripleCounts),
  };
  // 64 bits: a 32-bit total wraps for samples of about 1.4 GB.
  uint64_t total = 0;
  for (int n = 0; n < kTableCount; ++n) {
    StoreFrequencies(snapshots[n], thresholds[n], total, model.Tables[n]);
  }
}

bool CollectFile(std::u16string_view path, CStatistics& model, const uint8_t* ignoreSet,
                 double fraction) {
  TextBuffer text;
  if (!ReadTextFile(path, text)) {
    return false;
  }
  model.Flag = 0;
  if (text.Size != 0) {
    CollectStatistics(model, ignoreSet, text.View(), fraction);
  }
  return true;
}
