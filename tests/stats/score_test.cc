// Tests of scoring: the defined sums, and the prepared scoring held bit for bit
// against a position-by-position reference.
#include "stats/score.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "stats/collect.h"
#include "stats/statistics.h"
#include "tests/platform/test_files.h"
#include "tests/stats/pseudo_text.h"

namespace {

using kesto_test::CTempDirectory;
using Bytes = std::vector<uint8_t>;

uint64_t Bits(double value) {
  return std::bit_cast<uint64_t>(value);
}

/// The score as defined: at every position p = 0 .. size - 5, for n = 0, 1, 2,
/// the key of the n + 1 bytes at p is looked up in Tables[n]; a present key
/// adds its value to s_n.
double ReferenceScore(CStatistics& model, const Bytes& text) {
  double s[3] = {0.0, 0.0, 0.0};
  for (size_t p = 0; p + 4 < text.size(); ++p) {
    uint32_t key = 0;
    for (size_t n = 0; n < 3; ++n) {
      key |= static_cast<uint32_t>(text[p + n]) << (8 * n);
      if (model.Tables[n].Contains(key)) {
        s[n] += model.Tables[n].Lookup(key);
      }
    }
  }
  return (model.Weights[0] * s[0] + model.Weights[1] * s[1]) + model.Weights[2] * s[2];
}

double Score(const CStatistics& model, const Bytes& text) {
  double score = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(ComputeScore(model, text, score));
  return score;
}

TEST(ComputeScore, TheEightByteTextAgainstItsOwnModel) {
  const Bytes text = {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62};
  CStatistics model;
  model.Tables[0].Lookup(0x61) = 0.5;
  model.Tables[0].Lookup(0x62) = 0.5;
  model.Tables[1].Lookup(0x6261) = 0.25;
  model.Tables[1].Lookup(0x6162) = 0.25;
  model.Tables[2].Lookup(0x616261) = 2.0 / 12.0;
  model.Tables[2].Lookup(0x626162) = 2.0 / 12.0;
  // Four positions: a b a b. s0 = 4 x 0.5 = 2, s1 = 4 x 0.25 = 1, and s2 adds
  // 2/12 four times in position order.
  const double triple = 2.0 / 12.0;
  const double s2 = ((triple + triple) + triple) + triple;
  const double expected = (1.0 * 2.0 + 50.0 * 1.0) + 500.0 * s2;
  EXPECT_EQ(Bits(Score(model, text)), Bits(expected));
  EXPECT_NEAR(Score(model, text), 385.33, 0.01);
}

TEST(ComputeScore, OnlyPositionsUpToSizeMinusFiveAreScored) {
  CStatistics model;
  model.Weights[0] = 1.0;
  model.Weights[1] = 1.0;
  model.Weights[2] = 1.0;
  // Distinct powers of two, so that the score tells exactly what was added.
  double value = 1.0;
  const Bytes all = {'a', 'b', 'c', 'd', 'e'};
  for (size_t i = 0; i < 5; ++i) {
    model.Tables[0].Lookup(all[i]) = value;
    value *= 2;
  }
  model.Tables[1].Lookup(0x6261) = value;        // ab
  model.Tables[1].Lookup(0x6362) = value * 2;    // bc
  model.Tables[2].Lookup(0x636261) = value * 4;  // abc
  model.Tables[2].Lookup(0x646362) = value * 8;  // bcd
  for (size_t size = 0; size <= 5; ++size) {
    SCOPED_TRACE(size);
    const Bytes text(all.begin(), all.begin() + static_cast<ptrdiff_t>(size));
    // Up to 4 bytes nothing; 5 bytes: the single a, the pair ab, the triple abc.
    const double expected = size < 5 ? 0.0 : 1.0 + 32.0 + 128.0;
    EXPECT_EQ(Bits(Score(model, text)), Bits(expected));
  }
}

TEST(ComputeScore, AnEmptyModelScoresZero) {
  const CStatistics model;
  for (const Bytes& text : {Bytes{}, Bytes{1, 2, 3}, kesto_test::MakePseudoText(5000, 1)}) {
    EXPECT_EQ(Bits(Score(model, text)), Bits(0.0));
  }
}

TEST(ComputeScore, ZeroBytesAreLookedUpLikeAnyOther) {
  CStatistics model;
  model.Tables[0].Lookup(0) = 1.0;
  model.Tables[1].Lookup(0) = 2.0;
  model.Tables[2].Lookup(0) = 4.0;
  model.Tables[2].Lookup(0x610000) = 8.0;
  model.Weights[0] = model.Weights[1] = model.Weights[2] = 1.0;
  // 7 bytes, 3 positions: p0 and p1 read 00 00 00 (1 + 2 + 4 each); p2 reads
  // 00 00 61, whose triple is 0x610000 (1 + 2 + 8).
  const Bytes text = {0, 0, 0, 0, 0x61, 0, 0};
  const double expected = (1.0 * 3.0 + 1.0 * 6.0) + 1.0 * 16.0;
  EXPECT_EQ(Bits(Score(model, text)), Bits(expected));
}

TEST(ComputeScore, ScoringLeavesTheModelAsItWas) {
  CStatistics model;
  const Bytes sample = kesto_test::MakePseudoText(3000, 4);
  const uint8_t ignore[] = {' ', 0};
  CollectStatistics(model, ignore, sample, 0.001);
  uint32_t before[3];
  for (size_t n = 0; n < 3; ++n) {
    before[n] = model.Tables[n].GetCount();
  }
  Score(model, kesto_test::MakePseudoText(3000, 8));
  for (size_t n = 0; n < 3; ++n) {
    EXPECT_EQ(model.Tables[n].GetCount(), before[n]) << "table " << n;
  }
}

// ---- The prepared scoring against the reference ----

/// The NaN that this machine's arithmetic produces (inf - inf, at run time).
double MachineNaN() {
  volatile double inf = std::numeric_limits<double>::infinity();
  return inf - inf;
}

/// Which NaNs a random model holds. When a + or x meets two NaNs, which one
/// propagates depends on the order in which the compiled code happens to put
/// its operands (neither C++ nor IEEE 754 fixes it, and the compiler may
/// swap them). With the machine's own NaN only, every NaN result has one bit
/// pattern and the comparison stays bit for bit; with NaNs of several
/// payloads a NaN result is compared as a NaN.
enum class ModelNaNs { MachineOnly, AnyPayload };

/// Doubles of every kind: ordinary, tiny, huge, subnormal, signed zeros,
/// infinities and NaNs.
double RandomValue(std::mt19937_64& random, bool special, ModelNaNs nans) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  if (!special || random() % 4 != 0) {
    return unit(random) * (random() % 8 == 0 ? 1e300 : 1.0);
  }
  static const uint64_t kSpecials[] = {
      0x8000000000000000, 0x0000000000000000, 0x0000000000000001, 0x800000000000ABCD,
      0x7FF0000000000000, 0xFFF0000000000000, 0x7FEFFFFFFFFFFFFF, 0xFFEFFFFFFFFFFFFF,
  };
  static const uint64_t kNaNs[] = {0x7FF8000000000000, 0xFFF800000000BEEF, 0x7FF0000000000123};
  const size_t pick = random() % (std::size(kSpecials) + 2);
  if (pick < std::size(kSpecials)) {
    return std::bit_cast<double>(kSpecials[pick]);
  }
  return nans == ModelNaNs::MachineOnly ? MachineNaN()
                                        : std::bit_cast<double>(kNaNs[random() % std::size(kNaNs)]);
}

void FillRandomModel(CStatistics& model, std::mt19937_64& random, const Bytes& alphabet,
                     ModelNaNs nans) {
  const bool special = random() % 2 == 0;
  auto letter = [&] { return static_cast<uint32_t>(alphabet[random() % alphabet.size()]); };
  for (uint32_t n = 0; n < 3; ++n) {
    const size_t entries = random() % 300;
    for (size_t i = 0; i < entries; ++i) {
      uint32_t key = 0;
      if (random() % 5 == 0) {
        // Any key: zero bytes, other letters, and keys longer than the table's sequences.
        key = static_cast<uint32_t>(random()) >> (random() % 32);
      } else {
        for (uint32_t b = 0; b <= n; ++b) {
          key |= letter() << (8 * b);
        }
      }
      model.Tables[n].Lookup(key) = RandomValue(random, special, nans);
    }
  }
  if (random() % 3 == 0) {
    for (double& weight : model.Weights) {
      weight = random() % 2 == 0 ? RandomValue(random, true, nans)
                                 : static_cast<double>(random() % 7) - 3.0;
    }
  }
}

TEST(CPreparedText, ScoresBitForBitAsThePlainDefinition) {
  std::mt19937_64 random(2024);
  size_t finite = 0;
  size_t infinite = 0;
  size_t nan = 0;
  for (int round = 0; round < 200; ++round) {
    const ModelNaNs nans = round % 2 == 0 ? ModelNaNs::MachineOnly : ModelNaNs::AnyPayload;
    // A small alphabet that includes byte 0 and high bytes, so that the model's keys match.
    Bytes alphabet = {0};
    const size_t letters = 1 + random() % 12;
    for (size_t i = 0; i < letters; ++i) {
      alphabet.push_back(static_cast<uint8_t>(random()));
    }
    const size_t size = round % 25 == 0 ? 70000 + random() % 1000 : random() % 2000;
    Bytes text(size);
    for (uint8_t& b : text) {
      b = alphabet[random() % alphabet.size()];
    }
    const CPreparedText prepared(text);  // prepared once, scored against several models
    for (int m = 0; m < 6; ++m) {
      CStatistics model;
      FillRandomModel(model, random, alphabet, nans);
      const double expected = ReferenceScore(model, text);
      SCOPED_TRACE(testing::Message() << "round " << round << ", model " << m << ", size " << size
                                      << ", expected " << expected);
      for (const double got : {prepared.Score(model), Score(model, text)}) {
        if (std::isnan(expected) && nans == ModelNaNs::AnyPayload) {
          ASSERT_TRUE(std::isnan(got)) << got;
        } else {
          ASSERT_EQ(Bits(got), Bits(expected)) << got;
        }
      }
      ++(std::isnan(expected) ? nan : std::isinf(expected) ? infinite : finite);
    }
  }
  // Every kind of result came up often.
  EXPECT_GT(finite, 300u);
  EXPECT_GT(infinite, 30u);
  EXPECT_GT(nan, 30u);
}

TEST(CPreparedText, ScoresARealTextAgainstModelsOfRealTexts) {
  const Bytes text = kesto_test::MakePseudoText(200000, 11);
  const CPreparedText prepared(text);
  const uint8_t ignore[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                            18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 0};
  for (uint32_t seed : {11u, 12u, 13u}) {
    CStatistics model;
    CollectStatistics(model, ignore, kesto_test::MakePseudoText(50000, seed), 0.0);
    const double expected = ReferenceScore(model, text);
    EXPECT_EQ(Bits(prepared.Score(model)), Bits(expected)) << seed;
    EXPECT_GT(expected, 0.0);
  }
}

// ---- Scoring a file ----

class AnalyzeFileTest : public testing::Test {
 protected:
  CTempDirectory Directory;
};

TEST_F(AnalyzeFileTest, ScoresTheWholeFile) {
  const Bytes text = kesto_test::MakePseudoText(20000, 21);
  kesto_test::WriteBytes(Directory.Join("text.txt"), text);
  CStatistics model;
  const uint8_t ignore[] = {' ', 0};
  CollectStatistics(model, ignore, kesto_test::MakePseudoText(20000, 22), 0.0);
  double score = -1.0;
  ASSERT_TRUE(AnalyzeFile(Directory.Join16("text.txt"), model, score));
  EXPECT_EQ(Bits(score), Bits(ReferenceScore(model, text)));
}

TEST_F(AnalyzeFileTest, ATextThatCannotBeReadLeavesTheScoreAlone) {
  ASSERT_EQ(::mkdir(Directory.Join("folder.txt").c_str(), 0700), 0);
  CStatistics model;
  model.Tables[0].Lookup('a') = 1.0;
  for (const char* name : {"missing.txt", "folder.txt"}) {
    SCOPED_TRACE(name);
    double score = 123.5;
    EXPECT_FALSE(AnalyzeFile(Directory.Join16(name), model, score));
    EXPECT_EQ(score, 123.5);
  }
}

}  // namespace
