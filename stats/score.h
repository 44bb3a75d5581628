// Scoring: how well a text matches a model.
//
// Over every position p = 0 .. size - 5 of the text (none when the size is 4
// or less) the model's frequencies of the single byte, the pair and the triple
// that start at p are added, in position order and in doubles, to the sums
// s0, s1 and s2; a sequence the model lacks adds nothing. Zero bytes are looked
// up like any other. The score is
//   (Weights[0] * s0 + Weights[1] * s1) + Weights[2] * s2.
//
// A text is scored against many models, so its sequences are numbered once
// (CPreparedText) and each model is resolved once per distinct sequence of the
// text; the per-position loop then reads dense arrays. Adding -0.0 for a
// missing sequence leaves every sum bit for bit as the plain definition gives.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "stats/key_index.h"
#include "stats/statistics.h"

/// A text with its sequences numbered: for each position the id of its pair
/// and of its triple among the text's distinct pairs and triples.
class CPreparedText {
 public:
  explicit CPreparedText(std::span<const uint8_t> text);

  /// The score of the text against `model`, exactly as defined above.
  double Score(const CStatistics& model) const;

  /// The score against a model given by its tables' entries (as a statistics
  /// file holds them; of two entries with one key the later counts) and weights.
  double Score(const SequenceTables& tables, std::span<const double, kTableCount> weights) const;

 private:
  std::vector<uint8_t> Singles;  // the byte at each position
  std::vector<uint32_t> PairIds;
  std::vector<uint32_t> TripleIds;
  std::vector<uint32_t> PairIdOfKey;  // dense over all 65536 pair keys
  uint32_t PairCount = 0;
  CKeyIndex Triples;
};

/// Scores `text` against `model` into `score`. Always true.
bool ComputeScore(const CStatistics& model, std::span<const uint8_t> text, double& score);

/// Reads the text at `path` whole and scores it. False, with `score`
/// unchanged, when the text cannot be read whole (see ReadTextFile).
bool AnalyzeFile(std::u16string_view path, const CStatistics& model, double& score);
