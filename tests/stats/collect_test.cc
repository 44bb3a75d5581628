// Tests of collection: counting, thresholds, the running total, insertion order.
#include "stats/collect.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/default_hash.h"
#include "stats/statistics.h"
#include "tests/platform/test_files.h"
#include "tests/stats/pseudo_text.h"
#include "tests/stats/table_contents.h"

namespace {

using kesto_test::CTempDirectory;

using kesto_test::Contents;
using kesto_test::ContentsOf;
using kesto_test::Expect;

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

/// Bytes 0x01 to 0x20, the collect command's default ignore set.
const std::vector<uint8_t> kDefaultIgnore = [] {
  std::vector<uint8_t> set;
  for (uint8_t b = 1; b <= 0x20; ++b) {
    set.push_back(b);
  }
  set.push_back(0);
  return set;
}();

// ---- A straightforward collection, written from the definition. ----

uint32_t ReferenceThreshold(double v) {
  if (!(std::fabs(v) < 9223372036854775808.0)) {  // NaN fails this too
    return 0;
  }
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(v)) & 0xFFFFFFFFu);
}

using Counts = std::map<uint32_t, uint32_t>;

std::array<Counts, 3> ReferenceCounts(const std::vector<uint8_t>& text, const uint8_t* ignoreSet) {
  auto ignored = [ignoreSet](uint8_t b) {
    if (b == 0) {
      return true;
    }
    for (const uint8_t* p = ignoreSet; *p != 0; ++p) {
      if (*p == b) {
        return true;
      }
    }
    return false;
  };
  std::array<Counts, 3> counts;
  for (size_t p = 0; p + 4 < text.size(); ++p) {
    uint32_t key = 0;
    for (int n = 0; n < 3; ++n) {
      const uint8_t b = text[p + static_cast<size_t>(n)];
      if (ignored(b)) {
        break;
      }
      key |= static_cast<uint32_t>(b) << (8 * n);
      ++counts[static_cast<size_t>(n)][key];
    }
  }
  return counts;
}

std::array<Contents, 3> ReferenceCollect(const std::vector<uint8_t>& text, const uint8_t* ignoreSet,
                                         double fraction) {
  const std::array<Counts, 3> counts = ReferenceCounts(text, ignoreSet);
  const double s = static_cast<double>(text.size());
  const uint32_t thresholds[3] = {ReferenceThreshold(s * fraction),
                                  ReferenceThreshold((s * 0.5) * fraction),
                                  ReferenceThreshold((s / 3.0) * fraction)};
  std::array<Contents, 3> tables;
  uint64_t total = 0;
  for (size_t n = 0; n < 3; ++n) {
    for (const auto& [key, count] : counts[n]) {
      if (count >= thresholds[n]) {
        total += count;
      }
    }
    for (const auto& [key, count] : counts[n]) {
      if (count >= thresholds[n]) {
        tables[n][key] =
            std::bit_cast<uint64_t>(static_cast<double>(count) / static_cast<double>(total));
      }
    }
  }
  return tables;
}

std::array<Contents, 3> Collect(const std::vector<uint8_t>& text, const uint8_t* ignoreSet,
                                double fraction) {
  CStatistics model;
  CollectStatistics(model, ignoreSet, text, fraction);
  return {ContentsOf(model.Tables[0]), ContentsOf(model.Tables[1]), ContentsOf(model.Tables[2])};
}

// ---- Tests ----

TEST(CollectStatistics, EightByteTextGivesSharesOfOneRunningTotal) {
  const std::vector<uint8_t> text = {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62};
  const auto tables = Collect(text, kDefaultIgnore.data(), 3e-05);
  // 4 positions: singles a, b twice each (total 4); pairs ab, ba twice each
  // (total 8); triples aba, bab twice each (total 12, not reset per table).
  EXPECT_EQ(tables[0], Expect({{0x61, 0.5}, {0x62, 0.5}}));
  EXPECT_EQ(tables[1], Expect({{0x6261, 0.25}, {0x6162, 0.25}}));
  EXPECT_EQ(tables[2], Expect({{0x616261, 2.0 / 12.0}, {0x626162, 2.0 / 12.0}}));
}

TEST(CollectStatistics, IgnoredBytesEndTheirPosition) {
  struct Case {
    const char* Name;
    std::vector<uint8_t> Text;
    std::vector<uint8_t> IgnoreSet;  // NUL-terminated
    Contents Table0, Table1, Table2;
  };
  const std::vector<uint8_t> space = {' ', 0};
  const std::vector<uint8_t> none = {0};
  const Case cases[] = {
      {"nothing ignored: one position, bytes 3 and 4 unread",
       {'a', 'b', 'c', 'd', 'e'},
       space,
       Expect({{'a', 1.0}}),
       Expect({{0x6261, 0.5}}),
       Expect({{0x636261, 1.0 / 3.0}})},
      {"ignored at n = 0 adds nothing", Bytes(" abcd"), space, {}, {}, {}},
      {"ignored at n = 1 adds the single byte",
       Bytes("a bcd"),
       space,
       Expect({{'a', 1.0}}),
       {},
       {}},
      {"ignored at n = 2 adds the single byte and the pair",
       Bytes("ab cd"),
       space,
       Expect({{'a', 1.0}}),
       Expect({{0x6261, 0.5}}),
       {}},
      {"byte 0 is ignored with an empty set, at n = 0", {0, 'a', 'b', 'c', 'd'}, none, {}, {}, {}},
      {"byte 0 is ignored with an empty set, at n = 1",
       {'a', 0, 'b', 'c', 'x', 'x', 'x', 'x'},
       none,
       // a; then b, bc, bcx; then c, cx, cxx: totals 3, 5, 7.
       Expect({{'a', 1.0 / 3.0}, {'b', 1.0 / 3.0}, {'c', 1.0 / 3.0}}),
       Expect({{0x6362, 1.0 / 5.0}, {0x7863, 1.0 / 5.0}}),
       Expect({{0x786362, 1.0 / 7.0}, {0x787863, 1.0 / 7.0}})},
      {"byte 0 is ignored even when the set lists other bytes",
       {'a', 'b', 0, 'c', 'd'},
       space,
       Expect({{'a', 1.0}}),
       Expect({{0x6261, 0.5}}),
       {}},
      {"the set ends at its first NUL", Bytes("xyz\n\n"), {'x', 0, 'y', 0}, {}, {}, {}},
      {"bytes after the set's NUL are not ignored",
       Bytes("yzw\n\n"),
       {'x', 0, 'y', 0},
       Expect({{'y', 1.0}}),
       Expect({{0x7A79, 0.5}}),
       Expect({{0x777A79, 1.0 / 3.0}})},
      {"bytes above 0x7F are ignored as unsigned values",
       {0xE4, 0xFF, 0xF6, 0x20, 0x20},
       {0xFF, 0},
       Expect({{0xE4, 1.0}}),
       {},
       {}},
      {"every other byte a space: only single bytes",
       Bytes("a b c d a e f g h    "),
       space,
       // Positions 0..16: a twice, b..h once each (the last four bytes start nothing).
       Expect({{'a', 2.0 / 9.0},
               {'b', 1.0 / 9.0},
               {'c', 1.0 / 9.0},
               {'d', 1.0 / 9.0},
               {'e', 1.0 / 9.0},
               {'f', 1.0 / 9.0},
               {'g', 1.0 / 9.0},
               {'h', 1.0 / 9.0}}),
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto tables = Collect(c.Text, c.IgnoreSet.data(), 0.0);
    EXPECT_EQ(tables[0], c.Table0);
    EXPECT_EQ(tables[1], c.Table1);
    EXPECT_EQ(tables[2], c.Table2);
  }
}

TEST(CollectStatistics, TextsOfUpToFourBytesCountNothing) {
  const std::vector<uint8_t> abcde = Bytes("abcde");
  for (size_t size = 0; size <= 5; ++size) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> text(abcde.begin(), abcde.begin() + static_cast<ptrdiff_t>(size));
    const auto tables = Collect(text, kDefaultIgnore.data(), 0.0);
    if (size < 5) {
      EXPECT_TRUE(tables[0].empty());
      EXPECT_TRUE(tables[1].empty());
      EXPECT_TRUE(tables[2].empty());
    } else {
      EXPECT_EQ(tables[0], Expect({{'a', 1.0}}));
      EXPECT_EQ(tables[1], Expect({{0x6261, 0.5}}));
      EXPECT_EQ(tables[2], Expect({{0x636261, 1.0 / 3.0}}));
    }
  }
}

TEST(TruncateThreshold, TruncatesTowardZeroAndKeepsTheLow32Bits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double twoTo63 = 9223372036854775808.0;
  const double belowTwoTo63 = 9223372036854774784.0;  // 0x7FFFFFFFFFFFFC00
  struct Case {
    double Value;
    uint32_t Expected;
  } const cases[] = {
      {0.0, 0},
      {-0.0, 0},
      {29.999, 29},
      {30.0, 30},
      {1.5, 1},
      {-0.5, 0},
      {-10.0, 4294967286u},
      {-3.3333333333333335, 4294967293u},
      {4294967295.0, 4294967295u},
      {4294967296.0, 0},
      {4294967301.9, 5},
      {belowTwoTo63, 0xFFFFFC00u},
      {-belowTwoTo63, 0x400u},
      {twoTo63, 0},
      {-twoTo63, 0},
      {1e300, 0},
      {inf, 0},
      {-inf, 0},
      {nan, 0},
      {-nan, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(TruncateThreshold(c.Value), c.Expected);
  }
}

TEST(CollectStatistics, ThresholdsFollowTheSizeAndTheFraction) {
  struct Case {
    size_t Size;
    double Fraction;
    uint32_t T0, T1, T2;
  } const cases[] = {
      {1000000, 3e-05, 30, 15, 10},
      {100000, 3e-05, 3, 1, 1},
      {1000, -0.01, 4294967286u, 4294967291u, 4294967293u},
      {1000, -0.0001, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Size << " bytes, fraction " << c.Fraction);
    const double s = static_cast<double>(c.Size);
    EXPECT_EQ(TruncateThreshold(s * c.Fraction), c.T0);
    EXPECT_EQ(TruncateThreshold((s * 0.5) * c.Fraction), c.T1);
    EXPECT_EQ(TruncateThreshold((s / 3.0) * c.Fraction), c.T2);
  }
}

TEST(CollectStatistics, KeepsExactlyTheCountsThatReachTheirTablesThreshold) {
  // One sequence of each length occurs exactly t times, another t - 1 times,
  // each occurrence between ignored spaces.
  struct Case {
    size_t Size;
    double Fraction;
    uint32_t T0, T1, T2;
  } const cases[] = {
      {1000000, 3e-05, 30, 15, 10},
      {100000, 3e-05, 3, 1, 1},  // 1.5 truncates to 1: a pair seen once is kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Size << " bytes");
    std::vector<uint8_t> text(c.Size, ' ');
    size_t at = 0;
    auto place = [&](std::string_view sequence, uint32_t times) {
      for (uint32_t i = 0; i < times; ++i) {
        std::copy(sequence.begin(), sequence.end(), text.begin() + static_cast<ptrdiff_t>(at));
        at += sequence.size() + 1;
      }
    };
    place("A", c.T0);
    place("B", c.T0 - 1);
    place("CD", c.T1);
    place("EF", c.T1 - 1);
    place("GHI", c.T2);
    place("JKL", c.T2 - 1);
    const auto tables = Collect(text, kDefaultIgnore.data(), c.Fraction);
    EXPECT_TRUE(tables[0].contains('A'));
    EXPECT_EQ(tables[0].contains('B'), c.T0 == 1);
    EXPECT_TRUE(tables[1].contains(0x4443));
    EXPECT_FALSE(tables[1].contains(0x4645) && c.T1 > 1);
    EXPECT_TRUE(tables[2].contains(0x494847));
    EXPECT_FALSE(tables[2].contains(0x4C4B4A) && c.T2 > 1);
    EXPECT_EQ(tables, ReferenceCollect(text, kDefaultIgnore.data(), c.Fraction));
  }
}

TEST(CollectStatistics, FractionsThatKeepEveryCountOrNone) {
  const std::vector<uint8_t> text = kesto_test::MakePseudoText(1000, 7);
  const std::array<Counts, 3> counts = ReferenceCounts(text, kDefaultIgnore.data());
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double Fraction;
    bool KeepsAll;
  } const cases[] = {
      {0.0, true},  {-0.0001, true}, {std::numeric_limits<double>::quiet_NaN(), true},
      {inf, true},  {-inf, true},    {-0.01, false},
      {1.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Fraction);
    const auto tables = Collect(text, kDefaultIgnore.data(), c.Fraction);
    for (size_t n = 0; n < 3; ++n) {
      EXPECT_EQ(tables[n].size(), c.KeepsAll ? counts[n].size() : 0u) << "table " << n;
    }
    EXPECT_EQ(tables, ReferenceCollect(text, kDefaultIgnore.data(), c.Fraction));
  }
  ASSERT_GT(counts[2].size(), 100u);  // the text is varied enough to mean something
}

TEST(CollectStatistics, MatchesAStraightforwardCollectionOnRandomTexts) {
  std::mt19937 random(12345);
  const double fractions[] = {0.0, 0.001, 0.01, 0.05, -0.001};
  for (int round = 0; round < 300; ++round) {
    // Small alphabets so that sequences repeat; byte 0 and spaces included.
    const int alphabet = 2 + round % 7;
    std::uniform_int_distribution<int> pick(0, alphabet - 1);
    std::uniform_int_distribution<size_t> length(0, 600);
    std::vector<uint8_t> text(length(random));
    for (uint8_t& b : text) {
      const int v = pick(random);
      b = v == 0 ? 0 : v == 1 ? ' ' : static_cast<uint8_t>(0x3E + v * 29);
    }
    std::vector<uint8_t> ignoreSet;
    for (int b = 1; b < 256; ++b) {
      if (random() % 40 == 0) {
        ignoreSet.push_back(static_cast<uint8_t>(b));
      }
    }
    ignoreSet.push_back(0);
    const double fraction = fractions[static_cast<size_t>(round) % std::size(fractions)];
    SCOPED_TRACE(testing::Message() << "round " << round);
    ASSERT_EQ(Collect(text, ignoreSet.data(), fraction),
              ReferenceCollect(text, ignoreSet.data(), fraction));
  }
}

TEST(CollectStatistics, InsertsEntriesInDescendingCountOrder) {
  // A table lists the entries of one bucket in insertion order, so within
  // each bucket the listing must show descending counts, equal counts by
  // ascending key.
  const std::vector<uint8_t> text = kesto_test::MakePseudoText(40000, 99);
  const std::array<Counts, 3> counts = ReferenceCounts(text, kDefaultIgnore.data());
  CStatistics model;
  CollectStatistics(model, kDefaultIgnore.data(), text, 0.0);
  size_t orderedByCount = 0;
  size_t orderedByKey = 0;
  for (size_t n = 0; n < 3; ++n) {
    const CFrequencyTable& table = model.Tables[n];
    const uint32_t mask = table.GetBucketCount() - 1;
    uint32_t count = 0;
    const auto entries = table.GetEntries(count);
    std::map<uint32_t, uint32_t> lastInBucket;  // bucket -> key of its last entry so far
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t key = entries[i].Key;
      const uint32_t bucket = CDefaultHash::HashKey(key) & mask;
      const auto last = lastInBucket.find(bucket);
      if (last != lastInBucket.end()) {
        const uint32_t before = counts[n].at(last->second);
        const uint32_t after = counts[n].at(key);
        SCOPED_TRACE(testing::Message() << "table " << n << ", bucket " << bucket);
        EXPECT_TRUE(before > after || (before == after && last->second < key))
            << std::hex << last->second << " (" << std::dec << before << ") before " << std::hex
            << key << " (" << std::dec << after << ")";
        ++(before == after ? orderedByKey : orderedByCount);
      }
      lastInBucket[bucket] = key;
    }
  }
  // The text has enough shared buckets of both kinds for the checks to bite.
  EXPECT_GT(orderedByCount, 50u);
  EXPECT_GT(orderedByKey, 50u);
}

TEST(CollectStatistics, OverwritesPresentKeysAndKeepsTheOthers) {
  CStatistics model;
  model.Tables[0].Lookup('a') = 7.0;
  model.Tables[0].Lookup('z') = 9.0;
  model.Tables[2].Lookup(0x010203) = -1.0;
  CollectStatistics(model, kDefaultIgnore.data(), Bytes("abcde"), 0.0);
  EXPECT_EQ(ContentsOf(model.Tables[0]), Expect({{'a', 1.0}, {'z', 9.0}}));
  EXPECT_EQ(ContentsOf(model.Tables[1]), Expect({{0x6261, 0.5}}));
  EXPECT_EQ(ContentsOf(model.Tables[2]), Expect({{0x636261, 1.0 / 3.0}, {0x010203, -1.0}}));
}

TEST(CompareCounts, GivesTheSignOfRightMinusLeft) {
  struct Case {
    uint32_t Left, Right;
    int Sign;
  } const cases[] = {
      {1, 2, 1},
      {2, 1, -1},
      {5, 5, 0},
      {0, 0xFFFFFFFFu, 1},  // a 32-bit difference would wrap to -1
      {0xFFFFFFFFu, 0, -1},
      {0x80000000u, 0, -1},
      {0, 0x80000000u, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Left << " vs " << c.Right);
    CCountTable::Node left;
    CCountTable::Node right;
    left.Value = c.Left;
    right.Value = c.Right;
    const int32_t order = CompareCounts(left, right);
    EXPECT_EQ((order > 0) - (order < 0), c.Sign);
  }
}

class CollectFileTest : public testing::Test {
 protected:
  CTempDirectory Directory;
};

TEST_F(CollectFileTest, CollectsTheWholeFileAndClearsTheFlag) {
  const std::vector<uint8_t> text = kesto_test::MakePseudoText(5000, 3);
  kesto_test::WriteBytes(Directory.Join("sample.txt"), text);
  CStatistics model;
  model.Flag = 1;
  ASSERT_TRUE(CollectFile(Directory.Join16("sample.txt"), model, kDefaultIgnore.data(), 0.001));
  EXPECT_EQ(model.Flag, 0);
  const auto expected = ReferenceCollect(text, kDefaultIgnore.data(), 0.001);
  for (size_t n = 0; n < 3; ++n) {
    EXPECT_EQ(ContentsOf(model.Tables[n]), expected[n]) << "table " << n;
  }
}

TEST_F(CollectFileTest, AnEmptyFileGivesEmptyTables) {
  kesto_test::WriteBytes(Directory.Join("empty.txt"), {});
  CStatistics model;
  model.Flag = 1;
  ASSERT_TRUE(CollectFile(Directory.Join16("empty.txt"), model, kDefaultIgnore.data(), 0.0));
  EXPECT_EQ(model.Flag, 0);
  for (const CFrequencyTable& table : model.Tables) {
    EXPECT_EQ(table.GetCount(), 0u);
  }
}

TEST_F(CollectFileTest, ASampleThatCannotBeReadLeavesTheModelAlone) {
  ASSERT_EQ(::mkdir(Directory.Join("folder.txt").c_str(), 0700), 0);
  for (const char* name : {"missing.txt", "folder.txt"}) {
    SCOPED_TRACE(name);
    CStatistics model;
    model.Flag = 1;
    model.Tables[0].Lookup('q') = 0.25;
    EXPECT_FALSE(CollectFile(Directory.Join16(name), model, kDefaultIgnore.data(), 0.0));
    EXPECT_EQ(model.Flag, 1);
    EXPECT_EQ(ContentsOf(model.Tables[0]), Expect({{'q', 0.25}}));
  }
}

}  // namespace
