// Fuzz target: collection and scoring of arbitrary texts with arbitrary
// ignore sets, fractions and weights. Besides crashes it checks that the fast
// scoring gives the same double, bit for bit, as the plain position-by-position
// definition, and that collected tables hold only frequencies in (0, 1].
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "stats/collect.h"
#include "stats/score.h"

namespace {

double ReadDouble(std::span<const uint8_t>& data) {
  uint8_t bytes[sizeof(double)] = {};
  const size_t take = data.size() < sizeof bytes ? data.size() : sizeof bytes;
  std::memcpy(bytes, data.data(), take);
  data = data.subspan(take);
  return std::bit_cast<double>(bytes);
}

double ReferenceScore(CStatistics& model, std::span<const uint8_t> text) {
  double sums[kTableCount] = {0, 0, 0};
  for (size_t p = 0; p + 4 < text.size(); ++p) {
    uint32_t key = 0;
    for (int n = 0; n < kTableCount; ++n) {
      key |= static_cast<uint32_t>(text[p + n]) << (8 * n);
      if (model.Tables[n].Contains(key)) {
        sums[n] += model.Tables[n].Lookup(key);
      }
    }
  }
  return (model.Weights[0] * sums[0] + model.Weights[1] * sums[1]) + model.Weights[2] * sums[2];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  const double fraction = ReadDouble(input);
  CStatistics model;
  for (double& weight : model.Weights) {
    weight = ReadDouble(input);
  }
  // Then an ignore set: a length byte and that many bytes (NUL-terminated here).
  const size_t ignoreLength = input.empty() ? 0 : input[0] % 32;
  input = input.subspan(input.empty() ? 0 : 1);
  std::vector<uint8_t> ignoreSet(input.begin(), input.begin() + std::min(ignoreLength, input.size()));
  input = input.subspan(ignoreSet.size());
  ignoreSet.push_back(0);

  // The first half of the rest is the sample, the whole rest the scored text.
  CollectStatistics(model, ignoreSet.data(), input.first(input.size() / 2), fraction);
  for (int n = 0; n < kTableCount; ++n) {
    uint32_t count = 0;
    const auto entries = model.Tables[n].GetEntries(count);
    for (uint32_t i = 0; i < count; ++i) {
      if (!(entries[i].Value > 0.0 && entries[i].Value <= 1.0) ||
          !IsSequenceKeyOf(n, entries[i].Key)) {
        std::abort();
      }
    }
  }
  double score = 0;
  ComputeScore(model, input, score);
  const double reference = ReferenceScore(model, input);
  if (std::bit_cast<uint64_t>(score) != std::bit_cast<uint64_t>(reference)) {
    std::abort();
  }
  return 0;
}
