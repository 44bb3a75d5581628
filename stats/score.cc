#include "stats/score.h"

#include <memory>

#include "stats/text_file.h"

namespace {

// Added for a sequence the model lacks: x + (-0.0) is x for every double x.
constexpr double kNothing = -0.0;

/// The model's frequency for each id of a text's sequences of table `n`.
template <typename IdOf>
std::vector<double> ResolveTable(const CFrequencyTable& table, int n, uint32_t idCount,
                                 IdOf idOf) {
  std::vector<double> values(idCount, kNothing);
  uint32_t count = 0;
  const std::unique_ptr<CFrequencyTable::Node[]> entries = table.GetEntries(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (!IsSequenceKeyOf(n, entries[i].Key)) {
      continue;
    }
    const uint32_t id = idOf(entries[i].Key);
    if (id != CKeyIndex::kAbsent) {
      values[id] = entries[i].Value;
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
  const std::vector<double> singles =
      ResolveTable(model.Tables[0], 0, 256, [](uint32_t key) { return key; });
  const std::vector<double> pairs = ResolveTable(
      model.Tables[1], 1, PairCount, [this](uint32_t key) { return PairIdOfKey[key]; });
  const std::vector<double> triples =
      ResolveTable(model.Tables[2], 2, static_cast<uint32_t>(Triples.Keys().size()),
                   [this](uint32_t key) { return Triples.Find(key); });
  double s0 = 0;
  double s1 = 0;
  double s2 = 0;
  for (size_t p = 0; p < Singles.size(); ++p) {
    s0 += singles[Singles[p]];
    s1 += pairs[PairIds[p]];
    s2 += triples[TripleIds[p]];
  }
  return (model.Weights[0] * s0 + model.Weights[1] * s1) + model.Weights[2] * s2;
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
