// Tests of statistics files: the writer's bytes, the atomic replacement, and
// the tolerant reader.
#include "stats/stat_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "stats/collect.h"
#include "stats/statistics.h"
#include "tests/platform/test_files.h"
#include "tests/stats/pseudo_text.h"
#include "tests/stats/table_contents.h"

namespace {

using kesto_test::CTempDirectory;
using kesto_test::ReadBytes;
using kesto_test::WriteBytes;
using Bytes = std::vector<uint8_t>;

using kesto_test::Contents;
using kesto_test::ContentsOf;
using kesto_test::Expect;

constexpr LanguageTag kDeu{{'D', 'E', 'U', 0}};
constexpr LanguageTag kEng{{'E', 'N', 'G', 0}};

// ---- Building file bytes by hand, from the format description. ----

void Put32(Bytes& out, uint32_t v) {
  out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                         static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
}

void PutMagic(Bytes& out, const char* magic) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(magic[i]));
  }
}

Bytes Header(const char* magic, std::array<uint8_t, 4> language, uint32_t charset,
             uint32_t entryCount) {
  Bytes out;
  PutMagic(out, magic);
  for (const uint8_t b : language) {
    out.push_back(b);
  }
  Put32(out, charset);
  Put32(out, entryCount);
  return out;
}

Bytes Block(const char* magic, uint32_t flags, uint32_t entryCount) {
  Bytes out;
  PutMagic(out, magic);
  Put32(out, flags);
  Put32(out, entryCount);
  return out;
}

Bytes Entry(uint32_t key, double value) {
  Bytes out;
  Put32(out, key);
  const auto bits = std::bit_cast<uint64_t>(value);
  Put32(out, static_cast<uint32_t>(bits));
  Put32(out, static_cast<uint32_t>(bits >> 32));
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

// The empty model written with "ENG" and charset 14.
const Bytes kEmptyModelFile = {
    0x53, 0x54, 0x41, 0x54, 0x45, 0x4E, 0x47, 0x00, 0x0E, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00,                                                  // header
    0x53, 0x54, 0x42, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // block 0
    0x53, 0x54, 0x42, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // block 1
    0x53, 0x54, 0x42, 0x4C, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // block 2
};

// The model collected from 61 62 61 62 61 62 61 62, written with "DEU" and
// charset 0. Within a block the entries follow the table's bucket order:
// HashKey & 1023 is 537 for 0x62 and 919 for 0x61; 934 for 0x6162 and 971
// for 0x6261; 64 for 0x626162 and 742 for 0x616261.
const Bytes kEightByteTextFile = {
    0x53, 0x54, 0x41, 0x54, 0x44, 0x45, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x06, 0x00, 0x00, 0x00,                                                  // header
    0x53, 0x54, 0x42, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // block 0
    0x62, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,  // b: 0.5
    0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,  // a: 0.5
    0x53, 0x54, 0x42, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // block 1
    0x62, 0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0x3F,  // ba: 0.25
    0x61, 0x62, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0x3F,  // ab: 0.25
    0x53, 0x54, 0x42, 0x4C, 0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // block 2
    0x62, 0x61, 0x62, 0x00, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0xC5, 0x3F,  // bab: 2/12
    0x61, 0x62, 0x61, 0x00, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0xC5, 0x3F,  // aba: 2/12
};

const uint8_t kDefaultIgnore[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                  12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                  23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 0};

class StatFileTest : public testing::Test {
 protected:
  std::u16string Path(const char* name) const { return Directory.Join16(name); }
  std::string NativePath(const char* name) const { return Directory.Join(name); }

  CTempDirectory Directory;
};

// ---- Writing ----

TEST_F(StatFileTest, TheEmptyModelWritesFiftyTwoBytes) {
  const CStatistics model;
  EXPECT_EQ(EncodeStatistics(model, kEng, 14), kEmptyModelFile);
  ASSERT_TRUE(SaveStatistics(model, Path("empty.dat"), kEng, 14));
  EXPECT_EQ(ReadBytes(NativePath("empty.dat")), kEmptyModelFile);
}

TEST_F(StatFileTest, TheEightByteTextWritesItsHundredAndTwentyFourBytes) {
  CStatistics model;
  const Bytes text = {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62};
  CollectStatistics(model, kDefaultIgnore, text, 3e-05);
  ASSERT_TRUE(SaveStatistics(model, Path("ISO-8859-1.DEU.dat"), kDeu, 0));
  EXPECT_EQ(ReadBytes(NativePath("ISO-8859-1.DEU.dat")), kEightByteTextFile);
}

TEST_F(StatFileTest, AnEntryIsItsKeyThenItsValueInTwelveBytes) {
  CStatistics model;
  model.Tables[0].Lookup(0x61) = 0.5;
  const Bytes entry = {0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F};
  Bytes expected(kEmptyModelFile.begin(), kEmptyModelFile.end());
  expected[12] = 1;      // header EntryCount
  expected[16 + 8] = 1;  // block 0 EntryCount
  expected.insert(expected.begin() + 28, entry.begin(), entry.end());
  EXPECT_EQ(EncodeStatistics(model, kEng, 14), expected);
}

TEST_F(StatFileTest, TheHeaderTakesTheArgumentsAndTheFlagsTakeBitZeroOfFlag) {
  struct Case {
    uint8_t Flag;
    uint32_t BlockFlags[3];
  } const cases[] = {{0, {0, 2, 4}}, {1, {1, 3, 5}}, {0xFE, {0, 2, 4}}, {0xFF, {1, 3, 5}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Flag));
    CStatistics model;
    model.Flag = c.Flag;
    model.Language = LanguageTag{{'X', 'Y', 'Z', 'W'}};
    model.CharsetId = 5;
    model.Tables[1].Lookup(0x0101) = 1.0;
    model.Tables[2].Lookup(0x020202) = 2.0;
    model.Tables[2].Lookup(0x030303) = 3.0;
    const Bytes bytes = EncodeStatistics(model, LanguageTag{{'D', 'E', 'U', 'T'}}, -2);
    const Bytes expectedHeader = Header("STAT", {'D', 'E', 'U', 'T'}, 0xFFFFFFFEu, 3);
    ASSERT_EQ(bytes.size(), 52u + 3 * 12);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), expectedHeader);
    const size_t blockAt[3] = {16, 28, 28 + 12 + 12};
    const uint32_t counts[3] = {0, 1, 2};
    for (size_t n = 0; n < 3; ++n) {
      const auto at = bytes.begin() + static_cast<ptrdiff_t>(blockAt[n]);
      EXPECT_EQ(Bytes(at, at + 12), Block("STBL", c.BlockFlags[n], counts[n])) << "block " << n;
    }
  }
}

TEST_F(StatFileTest, SavingReplacesTheWholeOfALongerFile) {
  WriteBytes(NativePath("model.dat"), Bytes(5000, 0xAB));
  ASSERT_TRUE(SaveStatistics(CStatistics(), Path("model.dat"), kEng, 14));
  EXPECT_EQ(ReadBytes(NativePath("model.dat")), kEmptyModelFile);
  EXPECT_EQ(kesto_test::NamesIn(Directory.Path()), std::vector<std::string>{"model.dat"});
}

// ---- Save, then load ----

TEST_F(StatFileTest, SaveThenLoadGivesBackEveryKeyAndValueBitForBit) {
  CStatistics saved;
  // Enough entries that the file is read in several chunks.
  CollectStatistics(saved, kDefaultIgnore, kesto_test::MakePseudoText(300000, 5), 0.0);
  ASSERT_GT(saved.Tables[2].GetCount(), 8000u);
  ASSERT_TRUE(SaveStatistics(saved, Path("round.dat"), LanguageTag{{'F', 'R', 'A', 0}}, 22));
  ASSERT_GT(ReadBytes(NativePath("round.dat")).size(), 3u * 65536);

  CStatistics loaded;
  loaded.Tables[0].Lookup(0x7F) = 1.0;  // emptied first
  ASSERT_TRUE(LoadStatistics(loaded, Path("round.dat")));
  for (size_t n = 0; n < 3; ++n) {
    EXPECT_EQ(ContentsOf(loaded.Tables[n]), ContentsOf(saved.Tables[n])) << "table " << n;
  }
  EXPECT_EQ(loaded.Language, (LanguageTag{{'F', 'R', 'A', 0}}));
  EXPECT_EQ(loaded.CharsetId, 22);
}

TEST_F(StatFileTest, EveryDoubleSurvivesSaveAndLoad) {
  const uint64_t patterns[] = {
      0x0000000000000000,  // +0
      0x8000000000000000,  // -0
      0x0000000000000001,  // smallest subnormal
      0x7FEFFFFFFFFFFFFF,  // largest finite
      0x7FF0000000000000,  // +inf
      0xFFF0000000000000,  // -inf
      0x7FF8000000000000,  // quiet NaN
      0xFFF8000000012345,  // negative NaN with a payload
      0x7FF4000000000001,  // signalling NaN
      0xBFF0000000000000,  // -1
  };
  CStatistics saved;
  uint32_t key = 0;  // key 0 included
  for (const uint64_t bits : patterns) {
    saved.Tables[0].Lookup(key) = std::bit_cast<double>(bits);
    saved.Tables[1].Lookup(key << 8 | key) = std::bit_cast<double>(bits);
    saved.Tables[2].Lookup(0xFFFFFF - key) = std::bit_cast<double>(bits);
    ++key;
  }
  ASSERT_TRUE(SaveStatistics(saved, Path("doubles.dat"), kEng, 0));
  CStatistics loaded;
  ASSERT_TRUE(LoadStatistics(loaded, Path("doubles.dat")));
  for (size_t n = 0; n < 3; ++n) {
    EXPECT_EQ(ContentsOf(loaded.Tables[n]), ContentsOf(saved.Tables[n])) << "table " << n;
  }
}

// ---- The tolerant reader ----

TEST_F(StatFileTest, TheReaderToleratesShortAndDamagedFiles) {
  constexpr std::array<uint8_t, 4> kPresetLanguage = {'X', 'Y', 'Z', 'W'};
  constexpr int32_t kPresetCharset = 77;
  const std::array<uint8_t, 4> deu = {'D', 'E', 'U', 0};
  struct Case {
    std::string Name;
    Bytes File;
    bool Result;
    std::array<uint8_t, 4> Language;
    int32_t Charset;
    Contents Tables[3];
  };
  std::vector<Case> cases = {
      {"the empty model", kEmptyModelFile, true, {'E', 'N', 'G', 0}, 14, {}},
      {"a header alone", Header("STAT", deu, 3, 0), true, deu, 3, {}},
      {"a wrong header magic",
       Cat({Header("STAX", deu, 3, 1), Block("STBL", 0, 1), Entry('a', 1.0), Block("STBL", 2, 0),
            Block("STBL", 4, 0)}),
       false,
       kPresetLanguage,
       kPresetCharset,
       {}},
      {"a lower-case header magic",
       Cat({Header("stat", deu, 3, 0)}),
       false,
       kPresetLanguage,
       kPresetCharset,
       {}},
      {"a wrong first block magic",
       Cat({Header("STAT", deu, 3, 1), Block("STBX", 0, 1), Entry('a', 1.0), Block("STBL", 2, 0),
            Block("STBL", 4, 0)}),
       true,
       deu,
       3,
       {}},
      {"a wrong second block magic",
       Cat({Header("STAT", deu, 3, 2), Block("STBL", 0, 1), Entry('a', 1.0), Block("XTBL", 2, 1),
            Entry(0x6161, 2.0), Block("STBL", 4, 0)}),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}}), {}, {}}},
      {"an EntryCount beyond the end of the file",
       Cat({Header("STAT", deu, 3, 2), Block("STBL", 0, 5), Entry('a', 1.0), Entry('b', 2.0)}),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}, {'b', 2.0}}), {}, {}}},
      {"an EntryCount of 0xFFFFFFFF and a cut entry",
       Cat({Header("STAT", deu, 3, 0), Block("STBL", 0, 0xFFFFFFFFu), Entry('a', 1.0),
            Entry('b', 2.0), Entry('c', 3.0), Bytes(5, 0x11)}),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}, {'b', 2.0}, {'c', 3.0}}), {}, {}}},
      {"an entry cut one byte short",
       [] {
         Bytes b = Cat({Header("STAT", kDeu.Bytes, 3, 2), Block("STBL", 0, 2), Entry('a', 1.0),
                        Entry('b', 2.0)});
         b.pop_back();
         return b;
       }(),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}}), {}, {}}},
      {"a block header cut short",
       [] {
         Bytes b = Cat({Header("STAT", kDeu.Bytes, 3, 1), Block("STBL", 0, 1), Entry('a', 1.0),
                        Block("STBL", 2, 0)});
         b.pop_back();
         return b;
       }(),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}}), {}, {}}},
      {"only two blocks",
       Cat({Header("STAT", deu, 3, 2), Block("STBL", 0, 1), Entry('a', 1.0), Block("STBL", 2, 1),
            Entry(0x6261, 0.5)}),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}}), Expect({{0x6261, 0.5}}), {}}},
      {"a fourth block and trailing bytes are ignored",
       Cat({Header("STAT", deu, 3, 4), Block("STBL", 0, 1), Entry('a', 1.0), Block("STBL", 2, 1),
            Entry(0x6261, 0.5), Block("STBL", 4, 1), Entry(0x636261, 0.25), Block("STBL", 6, 1),
            Entry('z', 9.0), Bytes(7, 0xEE)}),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}}), Expect({{0x6261, 0.5}}), Expect({{0x636261, 0.25}})}},
      {"a header EntryCount and block flags that disagree",
       Cat({Header("STAT", deu, 3, 999), Block("STBL", 7, 1), Entry('a', 1.0),
            Block("STBL", 0xFFFFFFFFu, 0), Block("STBL", 0, 1), Entry(0x636261, 0.25)}),
       true,
       deu,
       3,
       {Expect({{'a', 1.0}}), {}, Expect({{0x636261, 0.25}})}},
      {"blocks fill tables 0, 1, 2 in file order whatever their flags",
       Cat({Header("STAT", deu, 3, 3), Block("STBL", 4, 1), Entry(0x63, 3.0), Block("STBL", 2, 1),
            Entry(0x6262, 2.0), Block("STBL", 0, 1), Entry(0x616161, 1.0)}),
       true,
       deu,
       3,
       {Expect({{0x63, 3.0}}), Expect({{0x6262, 2.0}}), Expect({{0x616161, 1.0}})}},
      {"a key that occurs twice ends with the later value",
       Cat({Header("STAT", deu, 3, 3), Block("STBL", 0, 3), Entry('a', 1.0), Entry('b', 2.0),
            Entry('a', 3.0), Block("STBL", 2, 0), Block("STBL", 4, 0)}),
       true,
       deu,
       3,
       {Expect({{'a', 3.0}, {'b', 2.0}}), {}, {}}},
      {"a key too long for its table is passed over",
       Cat({Header("STAT", deu, 3, 5), Block("STBL", 0, 2), Entry(0x161, 1.0), Entry('a', 0.5),
            Block("STBL", 2, 2), Entry(0x10000, 1.0), Entry(0xFFFF, 0.5), Block("STBL", 4, 2),
            Entry(0x1000000, 1.0), Entry(0, 0.5)}),
       true,
       deu,
       3,
       {Expect({{'a', 0.5}}), Expect({{0xFFFF, 0.5}}), Expect({{0, 0.5}})}},
  };
  // 0 to 15 bytes of a header: from 4 bytes on the magic is there and the
  // missing bytes count as zero.
  const Bytes header = Header("STAT", {'A', 'B', 'C', 'D'}, 0x04030201u, 9);
  for (size_t size = 0; size < 16; ++size) {
    Case c{"a header of " + std::to_string(size) + " bytes",
           Bytes(header.begin(), header.begin() + static_cast<ptrdiff_t>(size)),
           size >= 4,
           kPresetLanguage,
           kPresetCharset,
           {}};
    if (size >= 4) {
      Bytes padded = c.File;
      padded.resize(16, 0);
      std::copy_n(padded.begin() + 4, 4, c.Language.begin());
      c.Charset = static_cast<int32_t>(padded[8] | padded[9] << 8 | padded[10] << 16 |
                                       static_cast<uint32_t>(padded[11]) << 24);
    }
    cases.push_back(c);
  }
  ASSERT_EQ(cases[cases.size() - 6].Charset, 0x00000201);  // the 10-byte header

  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(NativePath("case.dat"), c.File);
    CStatistics model;
    model.Language.Bytes = kPresetLanguage;
    model.CharsetId = kPresetCharset;
    model.Tables[0].Lookup('q') = 1.0;
    model.Tables[1].Lookup(0x7171) = 1.0;
    model.Tables[2].Lookup(0x717171) = 1.0;
    EXPECT_EQ(LoadStatistics(model, Path("case.dat")), c.Result);
    EXPECT_EQ(model.Language.Bytes, c.Language);
    EXPECT_EQ(model.CharsetId, c.Charset);
    for (size_t n = 0; n < 3; ++n) {
      EXPECT_EQ(ContentsOf(model.Tables[n]), c.Tables[n]) << "table " << n;
    }
  }
}

TEST_F(StatFileTest, AKeyRepeatedAMillionTimesTakesTheRoomOfAFewEntries) {
  // A million entries of three keys (a sparse file repeats the entry of key 0
  // at no cost on disk): what is read must not grow with them.
  constexpr uint32_t kEntries = 1'000'000;
  Bytes file = Cat({Header("STAT", {'R', 'E', 'P', 0}, 14, 0), Block("STBL", 0, kEntries)});
  file.reserve(file.size() + 12 * size_t{kEntries} + 64);
  for (uint32_t i = 0; i < kEntries; ++i) {
    const uint32_t keys[] = {'c', 'a', 0};
    const Bytes entry = Entry(keys[i % 3], i);
    file.insert(file.end(), entry.begin(), entry.end());
  }
  file = Cat({file, Block("STBL", 2, 2), Entry(0x6161, 1.0), Entry(0x6161, 2.0),
              Block("STBL", 4, 1), Entry(0, 3.0)});
  WriteBytes(NativePath("repeated.dat"), file);

  StatisticsFileContent content;
  ASSERT_EQ(ReadStatisticsFile(Path("repeated.dat"), content), StatFileRead::Loaded);
  EXPECT_LE(content.Tables[0].capacity(), size_t{1} << 17);
  // The first places are c, a, 0; the last entries 999999 (i % 3 = 0: c),
  // 999997 (1, a) and 999998 (2, key 0).
  ASSERT_GE(content.Tables[0].size(), 3u);
  EXPECT_EQ(content.Tables[0][0].Key, uint32_t{'c'});
  EXPECT_EQ(content.Tables[0][1].Key, uint32_t{'a'});
  EXPECT_EQ(content.Tables[0][2].Key, 0u);

  CStatistics model;
  ASSERT_TRUE(LoadStatistics(model, Path("repeated.dat")));
  EXPECT_EQ(ContentsOf(model.Tables[0]), Expect({{'c', 999999.0}, {'a', 999997.0}, {0, 999998.0}}));
  EXPECT_EQ(ContentsOf(model.Tables[1]), Expect({{0x6161, 2.0}}));
  EXPECT_EQ(ContentsOf(model.Tables[2]), Expect({{0, 3.0}}));
}

TEST_F(StatFileTest, AFileThatCannotBeOpenedEmptiesTheTablesAndKeepsTheHeaderFields) {
  ASSERT_EQ(::mkdir(NativePath("folder.dat").c_str(), 0700), 0);
  for (const char* name : {"missing.dat", "folder.dat"}) {
    SCOPED_TRACE(name);
    CStatistics model;
    model.Language = kDeu;
    model.CharsetId = 9;
    model.Weights[2] = 7.0;
    model.Tables[1].Lookup(0x6261) = 1.0;
    EXPECT_FALSE(LoadStatistics(model, Path(name)));
    EXPECT_EQ(model.Tables[1].GetCount(), 0u);
    EXPECT_EQ(model.Language, kDeu);
    EXPECT_EQ(model.CharsetId, 9);
    EXPECT_EQ(model.Weights[2], 7.0);
  }
}

TEST_F(StatFileTest, LoadingLeavesFlagAndWeightsAlone) {
  WriteBytes(NativePath("model.dat"), kEightByteTextFile);
  CStatistics model;
  model.Flag = 1;
  model.Weights[0] = -3.0;
  model.Weights[1] = 0.5;
  model.Weights[2] = 12.0;
  ASSERT_TRUE(LoadStatistics(model, Path("model.dat")));
  EXPECT_EQ(model.Flag, 1);
  EXPECT_EQ(model.Weights[0], -3.0);
  EXPECT_EQ(model.Weights[1], 0.5);
  EXPECT_EQ(model.Weights[2], 12.0);
  EXPECT_EQ(ContentsOf(model.Tables[2]), Expect({{0x616261, 2.0 / 12}, {0x626162, 2.0 / 12}}));
}

// ---- Failing writes leave the previous file as it was ----

/// 2000 entries: a file of 52 + 2000 x 12 bytes.
void FillWithManyEntries(CStatistics& model) {
  for (uint32_t key = 0; key < 2000; ++key) {
    model.Tables[2].Lookup(key) = key * 0.5;
  }
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(StatFileTest, AWriteThatFailsPartWayLeavesThePreviousFileByteIdentical) {
  WriteBytes(NativePath("ENG.dat"), kEightByteTextFile);
  WriteBytes(NativePath("other.txt"), Bytes(10, 1));
  CStatistics model;
  FillWithManyEntries(model);
  bool saved = true;
  {
    // Writes beyond 4 KiB fail with EFBIG; the new file would be 24 KiB.
    const kesto_test::CFileSizeLimit limit(4096);
    saved = SaveStatistics(model, Path("ENG.dat"), kEng, 14);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadBytes(NativePath("ENG.dat")), kEightByteTextFile);
  EXPECT_EQ(Sorted(kesto_test::NamesIn(Directory.Path())),
            (std::vector<std::string>{"ENG.dat", "other.txt"}));
  // With the limit gone the same save succeeds.
  EXPECT_TRUE(SaveStatistics(model, Path("ENG.dat"), kEng, 14));
  EXPECT_EQ(ReadBytes(NativePath("ENG.dat")).size(), 52u + 2000 * 12);
}

TEST_F(StatFileTest, ATargetThatCannotBeReplacedFailsAndLeavesNothingBehind) {
  // A directory cannot be replaced by a file, whoever runs the test.
  ASSERT_EQ(::mkdir(NativePath("taken.dat").c_str(), 0700), 0);
  WriteBytes(NativePath("taken.dat/inside"), {1, 2, 3});
  CStatistics model;
  FillWithManyEntries(model);
  EXPECT_FALSE(SaveStatistics(model, Path("taken.dat"), kEng, 14));
  EXPECT_EQ(ReadBytes(NativePath("taken.dat/inside")), (Bytes{1, 2, 3}));
  EXPECT_EQ(kesto_test::NamesIn(Directory.Path()), std::vector<std::string>{"taken.dat"});
  // A directory that does not exist.
  EXPECT_FALSE(SaveStatistics(CStatistics(), Path("missing/x.dat"), kEng, 14));
  EXPECT_EQ(kesto_test::NamesIn(Directory.Path()), std::vector<std::string>{"taken.dat"});
}

TEST_F(StatFileTest, AnUnwritableDirectoryFailsAndKeepsThePreviousFile) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "running as root: directory permissions do not stop root from writing "
                    "(the size-limit test covers the failing write)";
  }
  ASSERT_EQ(::mkdir(NativePath("locked").c_str(), 0700), 0);
  WriteBytes(NativePath("locked/ENG.dat"), kEightByteTextFile);
  ASSERT_EQ(::chmod(NativePath("locked").c_str(), 0555), 0);
  EXPECT_FALSE(SaveStatistics(CStatistics(), Path("locked/ENG.dat"), kEng, 14));
  EXPECT_EQ(ReadBytes(NativePath("locked/ENG.dat")), kEightByteTextFile);
  EXPECT_EQ(kesto_test::NamesIn(NativePath("locked")), std::vector<std::string>{"ENG.dat"});
}

}  // namespace
