#include "app/run_detect.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDenormal = std::numeric_limits<double>::denorm_min();

DetectResult WithScore(double score, int32_t charsetId = 0) {
  DetectResult result;
  result.CharsetId = charsetId;
  result.Score = score;
  return result;
}

struct CompareCase {
  double A;
  double B;
  int Expected;
};

TEST(CompareResultsTest, PutsHigherScoresFirstAndNaNLast) {
  const std::vector<CompareCase> cases = {
      {2.0, 1.0, -1},
      {1.0, 2.0, 1},
      {1.0, 1.0, 0},
      {0.0, -0.0, 0},
      {-0.0, 0.0, 0},
      {0.0, kDenormal, 1},
      {-1.0, -2.0, -1},
      {kInf, 1e308, -1},
      {1e308, kInf, 1},
      {-kInf, -1e308, 1},
      {kInf, kInf, 0},
      {-kInf, -kInf, 0},
      {kInf, -kInf, -1},
      // NaN comes after every number, infinities included.
      {kNaN, 1.0, 1},
      {1.0, kNaN, -1},
      {kNaN, kInf, 1},
      {-kInf, kNaN, -1},
      {kNaN, 0.0, 1},
      {kNaN, kNaN, 0},
      {-kNaN, kNaN, 0},
      {kNaN, -kNaN, 0},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(CompareResults(WithScore(c.A), WithScore(c.B)), c.Expected)
        << "a " << c.A << (std::signbit(c.A) ? " (sign set)" : "") << ", b " << c.B;
  }
}

TEST(CompareResultsTest, LooksOnlyAtTheScore) {
  DetectResult a = WithScore(5.0, 3);
  a.Language.Bytes = {'A', 'A', 'A', 0};
  DetectResult b = WithScore(5.0, 50);
  b.Language.Bytes = {'Z', 'Z', 'Z', 'Z'};
  EXPECT_EQ(CompareResults(a, b), 0);
  EXPECT_EQ(CompareResults(b, a), 0);
}

// "a before b" must be a strict weak ordering on every score, or sorting with
// it is undefined.
TEST(CompareResultsTest, IsAStrictWeakOrderingOnEveryScore) {
  const std::vector<double> scores = {kNaN,       -kNaN, kInf, -kInf,  0.0,   -0.0, kDenormal,
                                      -kDenormal, 1.0,   -1.0, 385.33, 1e308, kNaN};
  const auto before = [](double a, double b) {
    return CompareResults(WithScore(a), WithScore(b)) < 0;
  };
  const auto equivalent = [&](double a, double b) { return !before(a, b) && !before(b, a); };
  for (const double a : scores) {
    EXPECT_FALSE(before(a, a)) << a;
    for (const double b : scores) {
      // The answer is the same seen from either side.
      EXPECT_EQ(CompareResults(WithScore(a), WithScore(b)),
                -CompareResults(WithScore(b), WithScore(a)))
          << a << " " << b;
      if (before(a, b)) {
        EXPECT_FALSE(before(b, a)) << a << " " << b;
      }
      for (const double c : scores) {
        if (before(a, b) && before(b, c)) {
          EXPECT_TRUE(before(a, c)) << a << " " << b << " " << c;
        }
        if (equivalent(a, b) && equivalent(b, c)) {
          EXPECT_TRUE(equivalent(a, c)) << a << " " << b << " " << c;
        }
      }
    }
  }
}

// The report order: numbers from the highest down, then every NaN; among
// equal scores (0.0 and -0.0 are equal, and so are all NaNs) the lower charset
// id first; records equal in both keep the order in which they came.
TEST(ReportsFirstTest, BreaksTiesByCharsetIdThenKeepsListOrder) {
  struct Record {
    double Score;
    int32_t CharsetId;
  };
  const std::vector<Record> records = {
      {1.0, 18}, {kNaN, 50}, {1.0, 0}, {2.0, 18}, {1.0, 18},  {-0.0, 50}, {-kNaN, 0},
      {0.0, 14}, {1.0, 0},   {2.0, 0}, {0.0, 50}, {kNaN, 50}, {kInf, 50}, {kInf, 18},
  };
  std::vector<DetectResult> results;
  for (size_t i = 0; i < records.size(); ++i) {
    DetectResult result = WithScore(records[i].Score, records[i].CharsetId);
    result.Language.Bytes[0] = static_cast<uint8_t>(i);  // the place in the list
    results.push_back(result);
  }
  std::stable_sort(results.begin(), results.end(), ReportsFirst);
  const std::vector<int> expected = {13, 12,         // inf: ids 18, 50
                                     9,  3,          // 2: ids 0, 18
                                     2,  8,  0,  4,  // 1: ids 0, 0, 18, 18
                                     7,  5,  10,     // 0.0 and -0.0: ids 14, 50, 50
                                     6,  1,  11};    // NaN: ids 0, 50, 50
  std::vector<int> order;
  for (const DetectResult& result : results) {
    order.push_back(result.Language.Bytes[0]);
  }
  EXPECT_EQ(order, expected);
}

}  // namespace
