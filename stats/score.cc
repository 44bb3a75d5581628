#include "stats/score.h"

#include "stats/text_file.h"

namespace {

// Added for a sequence the model lacks: x + (-0.0) is x for every double x.
constexpr double kNothing = -0.0;

/// The table's frequency for each id of a text's sequences of table `n`; of
/// two entries with one key the later counts, as when they are loaded.
template <typename IdOf>
std::vector<double> ResolveTable(const std::vector<SequenceFrequency>& table, int n,
                                 uint32_t idCount, IdOf idOf) {
  std::vector<double> values(idCount, kNothing);
  for (const SequenceFrequency& entry : table) {
    if (!IsSequenceKeyOf(n, entry.Key)) {
      continue;
    }
    const uint32_t id = idOf(entry.Key);
    if (id != CKeyIndex::kAbsent) {
      values[id] = entry.Value;
    }
  }
  return values;
}

}  // namespace

CPreparedText::CPreparedText(std::span<const uint8_t> text)
    : PairIdOfKey(65536, CKeyIndex::kAbsent) {
  if (text.size() <= 4) {
    return;
  }
  const size_t positions = text.size() - 4;
  Singles.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(positions));
  PairIds.resize(positions);
  TripleIds.resize(positions);
  for (size_t p = 0; p < positions; ++p) {
    const uint32_t pair = text[p] | static_cast<uint32_t>(text[p + 1]) << 8;
    if (PairIdOfKey[pair] == CKeyIndex::kAbsent) {
      PairIdOfKey[pair] = PairCount++;
    }
    PairIds[p] = PairIdOfKey[pair];
    TripleIds[p] = Triples.Insert(pair | static_cast<uint32_t>(text[p + 2]) << 16);
  }
}

double CPreparedText::Score(const CStatistics& model) const {
  return Score(SnapshotTables(model), model.Weights);
}

double CPreparedText::Score(const SequenceTables& tables,
                            std::span<const double, kTableCount> weights) const {
  const std::vector<double> singles =
      ResolveTable(tables[0], 0, 256, [](uint32_t key) { return key; });
  const std::vector<double> pairs =
      ResolveTable(tables[1], 1, PairCount, [this](uint32_t key) { return PairIdOfKey[key]; });
  const std::vector<double> triples =
      ResolveTable(tables[2], 2, static_cast<uint32_t>(Triples.Keys().size()),
                   [this](uint32_t key) { return Triples.Find(key); });
  double s0 = 0;
  double s1 = 0;
  double s2 = 0;
  for (size_t p = 0; p < Singles.size(); ++p) {
    s0 += singles[Singles[p]];
    s1 += pairs[PairIds[p]];
    s2 += triples[TripleIds[p]];
  }
  return (weights[0] * s0 + weights[1] * s1) + weights[2] * s2;
}

bool ComputeScore(const CStatistics& model, std::span<const uint8_t> text, double& score) {
  score = CPreparedText(text).Score(model);
  return true;
}

bool AnalyzeFile(std::u16string_view path, const CStatistics& model, double& score) {
  TextBuffer text;
  if (!ReadTextFile(path, text)) {
    return false;
  }
  return ComputeScore(model, text.View(), score);
}
