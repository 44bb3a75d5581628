#include "charset/charset_registry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::string_view_literals;

// The registry as users and statistics files know it, typed in row by row: id, primary name,
// description and aliases in stored order. The table in the code must reproduce it exactly.
struct RegistryRow {
  int32_t Id;
  std::u16string_view Primary;
  std::u16string_view Description;
  std::vector<std::u16string_view> Aliases;
};

const std::vector<RegistryRow>& Registry() {
  static const std::vector<RegistryRow> rows = {
      {0, u"ISO-8859-1", u"Latin-1, West European", {u"ISO 8859-1", u"Latin-1", u"Latin1"}},
      {1, u"ISO-8859-2", u"Latin-2, East European", {u"ISO 8859-2", u"Latin-2", u"Latin2"}},
      {2, u"ISO-8859-3", u"Latin-3, South European", {u"ISO 8859-3", u"Latin-3", u"Latin3"}},
      {3, u"ISO-8859-4", u"Latin-4, Baltic", {u"ISO 8859-4", u"Latin-4", u"Latin4"}},
      {4, u"ISO-8859-5", u"Cyrillic", {u"ISO 8859-5"}},
      {5, u"ISO-8859-6", u"Arabic", {u"ISO 8859-6"}},
      {6, u"ISO-8859-7", u"Greek", {u"ISO 8859-7"}},
      {7, u"ISO-8859-8", u"Hebrew", {u"ISO 8859-8"}},
      {8, u"ISO-8859-9", u"Latin-5, Turkish", {u"ISO 8859-9", u"Latin-5", u"Latin5"}},
      {9, u"ISO-8859-10", u"Latin-6, Nordic", {u"ISO 8859-10", u"Latin-6", u"Latin6"}},
      {10, u"ISO-8859-11", u"Thai", {u"ISO 8859-11", u"TIS-620"}},
      {11,
       u"ISO-8859-16",
       u"Latin-10, South Eastern European",
       {u"ISO 8859-16", u"Latin-10", u"Latin10"}},
      {12, u"ISO-8859-13", u"Latin-7, Baltic", {u"ISO 8859-13", u"Latin-7", u"Latin7"}},
      {13, u"ISO-8859-14", u"Latin-8, Celtic", {u"ISO 8859-14", u"Latin-8", u"Latin8"}},
      {14,
       u"ISO-8859-15",
       u"Latin-9, West European, Euro",
       {u"ISO 8859-15", u"Latin-9", u"Latin9"}},
      {15, u"Windows-874", u"Thai", {u"Windows 874", u"CP874"}},
      {16, u"Windows-1250", u"Central European", {u"Windows 1250", u"CP1250"}},
      {17, u"Windows-1251", u"Cyrillic", {u"Windows 1251", u"CP1251"}},
      {18, u"Windows-1252", u"Western European, ANSI", {u"Windows 1252", u"CP1252", u"Ansi"}},
      {19, u"Windows-1253", u"Greek", {u"Windows 1253", u"CP1253"}},
      {20, u"Windows-1254", u"Turkish", {u"Windows 1254", u"CP1254"}},
      {21, u"Windows-1255", u"Hebrew", {u"Windows 1255", u"CP1255"}},
      {22, u"Windows-1256", u"Arabic", {u"Windows 1256", u"CP1256"}},
      {23, u"Windows-1257", u"Baltic", {u"Windows 1257", u"CP1257"}},
      {24, u"Windows-1258", u"Vietnamese", {u"Windows 1258", u"CP1258"}},
      {25, u"DOS-437", u"DOS - US", {u"DOS 437", u"437", u"CP437"}},
      {26, u"DOS-737", u"DOS - Greek", {u"DOS 737", u"737", u"CP737"}},
      {27, u"DOS-775", u"DOS - Baltic", {u"DOS 775", u"775", u"CP775"}},
      {28, u"DOS-850", u"DOS - Latin 1", {u"DOS 850", u"850", u"CP850"}},
      {29, u"DOS-852", u"DOS - Latin 2", {u"DOS 852", u"852", u"CP852"}},
      {30, u"DOS-855", u"DOS - Cyrillic", {u"DOS 855", u"855", u"CP855"}},
      {31, u"DOS-857", u"DOS - Turkish", {u"DOS 857", u"857", u"CP857"}},
      {32, u"DOS-860", u"DOS - Portuguese", {u"DOS 860", u"860", u"CP860"}},
      {33, u"DOS-861", u"DOS - Icelandic", {u"DOS 861", u"861", u"CP861"}},
      {34, u"DOS-862", u"DOS - Hebrew", {u"DOS 862", u"862", u"CP862"}},
      {35, u"DOS-863", u"DOS - CanadaF", {u"DOS 863", u"863", u"CP863"}},
      {36, u"DOS-864", u"DOS - Arabic", {u"DOS 864", u"864", u"CP864"}},
      {37, u"DOS-865", u"DOS - Nordic", {u"DOS 865", u"865", u"CP865"}},
      {38, u"DOS-866", u"DOS - Cyrillic/Russian", {u"DOS 866", u"866", u"CP866"}},
      {39, u"DOS-869", u"DOS - Greek2", {u"DOS 869", u"869", u"CP869"}},
      {40, u"DOS-874", u"DOS - 874", {u"DOS 874", u"874", u"CP874"}},
      {41, u"MSMAC-CYRILLIC", u"Microsoft MAC - Cyrillic, CP 10007", {u"CP10007"}},
      {42, u"MSMAC-GREEK", u"Microsoft MAC - Greek, CP 10006", {u"CP10006"}},
      {43, u"MSMAC-ICELAND", u"Microsoft MAC - Icelandic, CP 10079", {u"CP10079"}},
      {44, u"MSMAC-LATIN2", u"Microsoft MAC - Latin 2, CP 10029", {u"CP10029"}},
      {45, u"MSMAC-ROMAN", u"Microsoft MAC - Roman, CP 10000", {u"CP10000"}},
      {46, u"MSMAC-TURKISH", u"Microsoft MAC - Turkish, CP 10081", {u"CP10081"}},
      {47, u"Apple-CENTEURO", u"Apple - Central European", {u"CENTEURO"}},
      {48, u"Apple-Roman", u"Apple - Roman", {}},
      {49, u"AtariST", u"AtariST", {}},
      {50, u"KOI8-R", u"Code for Information Exchange - Russian", {u"KOI8R"}},
      {51, u"KOI8-U", u"Code for Information Exchange - Ukrainian", {u"KOI8U"}},
      {52, u"CP856", u"CP856 - Hebrew", {u"856", u"DOS 856", u"DOS-856"}},
      {53,
       u"KZ-1048",
       u"KZ-1048/STRK1048-2002 - Kazakhstan",
       {u"KZ1048", u"RK1048", u"STRK1048-2002"}},
      {54, u"CP1006", u"IBM CP 1006 - English/Urdu - Pakistan", {u"CP-1006"}},
      {55, u"NeXT", u"NextStep, OpenStep", {u"openstep", u"nextstep"}},
      {56, u"EBCDIC-37", u"EBCDIC CP 37 - USA", {u"CP37"}},
      {57, u"EBCDIC-500", u"EBCDIC CP 500 - International", {u"CP500"}},
      {58, u"EBCDIC-875", u"EBCDIC CP 875 - Greek", {u"CP875"}},
      {59, u"EBCDIC-1026", u"EBCDIC CP 1026 - Turkish", {u"CP1026"}},
  };
  return rows;
}

struct NameCase {
  std::u16string_view Name;
  int32_t ExpectedId;
};

struct IdCase {
  int32_t Id;
  std::u16string_view ExpectedName;
};

// Readable form of a UTF-16 name for failure messages: ASCII as is, anything else as \uXXXX.
std::string Printable(std::u16string_view name) {
  std::string out = "\"";
  for (const char16_t c : name) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  return out + "\"";
}

std::u16string MapAscii(std::u16string_view name, bool upper) {
  std::u16string out(name);
  for (char16_t& c : out) {
    if (upper && c >= u'a' && c <= u'z') {
      c = static_cast<char16_t>(c - u'a' + u'A');
    } else if (!upper && c >= u'A' && c <= u'Z') {
      c = static_cast<char16_t>(c - u'A' + u'a');
    }
  }
  return out;
}

// The id a name must resolve to: that of the first row listing it, since lookups take the first
// match and "CP874" is listed under two ids.
int32_t FirstRowListing(std::u16string_view name) {
  for (const RegistryRow& row : Registry()) {
    if (row.Primary == name) {
      return row.Id;
    }
    for (const std::u16string_view alias : row.Aliases) {
      if (alias == name) {
        return row.Id;
      }
    }
  }
  ADD_FAILURE() << Printable(name) << " is not listed in the registry rows";
  return -1;
}

void ExpectIds(const std::vector<NameCase>& cases) {
  for (const NameCase& c : cases) {
    EXPECT_EQ(GetCharsetId(c.Name), c.ExpectedId) << "name " << Printable(c.Name);
  }
}

TEST(CharsetRegistry, TableHoldsTheRegistryRowsInOrder) {
  std::size_t index = 0;
  const auto expect_record = [&index](std::u16string_view name, std::u16string_view description,
                                      int32_t id, bool primary) {
    ASSERT_LT(index, kCharsetTableSize);
    const CharsetEntry& entry = CharsetTable[index];
    SCOPED_TRACE("record " + std::to_string(index) + ", expected name " + Printable(name));
    EXPECT_EQ(std::u16string(entry.Name), std::u16string(name));
    EXPECT_EQ(std::u16string(entry.Description), std::u16string(description));
    EXPECT_EQ(entry.Id, id);
    EXPECT_EQ(entry.Primary, primary);
    ++index;
  };
  for (const RegistryRow& row : Registry()) {
    expect_record(row.Primary, row.Description, row.Id, true);
    for (const std::u16string_view alias : row.Aliases) {
      expect_record(alias, u"", row.Id, false);
    }
  }
  // The terminator follows the last named record and is the last record of the array.
  expect_record(u"", u"", 0, false);
  EXPECT_EQ(index, kCharsetTableSize);
}

TEST(CharsetRegistry, TableCountsPrimariesAndAliases) {
  std::array<int, 60> aliases_per_id{};
  int primaries = 0;
  int aliases = 0;
  std::size_t named = 0;
  while (named < kCharsetTableSize && CharsetTable[named].Name[0] != u'\0') {
    const CharsetEntry& entry = CharsetTable[named];
    ASSERT_GE(entry.Id, 0);
    ASSERT_LT(entry.Id, 60);
    if (entry.Primary) {
      ++primaries;
    } else {
      ++aliases;
      ++aliases_per_id[entry.Id];
    }
    ++named;
  }
  EXPECT_EQ(named, 187u);
  EXPECT_EQ(primaries, 60);
  EXPECT_EQ(aliases, 127);
  std::array<int, 4> ids_with_alias_count{};
  for (const int count : aliases_per_id) {
    ASSERT_LE(count, 3);
    ++ids_with_alias_count[count];
  }
  EXPECT_EQ(ids_with_alias_count[0], 2);
  EXPECT_EQ(ids_with_alias_count[1], 18);
  EXPECT_EQ(ids_with_alias_count[2], 11);
  EXPECT_EQ(ids_with_alias_count[3], 29);
}

TEST(CharsetRegistry, NameOfEveryRegisteredIdIsItsPrimaryName) {
  for (const RegistryRow& row : Registry()) {
    EXPECT_EQ(std::u16string(GetCharsetName(row.Id)), std::u16string(row.Primary))
        << "id " << row.Id;
  }
}

TEST(CharsetRegistry, EveryIdRoundTripsThroughItsPrimaryName) {
  for (int32_t id = 0; id < kSingleByteCharsetCount; ++id) {
    const std::u16string_view name = GetCharsetName(id);
    EXPECT_FALSE(name.empty()) << "id " << id;
    EXPECT_LT(name.size(), kCharsetNameBufferSize) << "id " << id;
    EXPECT_EQ(GetCharsetId(name), id) << "id " << id << ", name " << Printable(name);
  }
  for (int32_t id = kCharsetIdUtf8; id <= kCharsetIdUtf32Be; ++id) {
    EXPECT_EQ(GetCharsetId(GetCharsetName(id)), id) << "id " << id;
  }
}

TEST(CharsetRegistry, EveryStoredNameResolvesInAnyAsciiCase) {
  for (const RegistryRow& row : Registry()) {
    std::vector<std::u16string_view> names = row.Aliases;
    names.push_back(row.Primary);
    for (const std::u16string_view name : names) {
      const int32_t expected = FirstRowListing(name);
      EXPECT_EQ(GetCharsetId(name), expected) << "name " << Printable(name);
      EXPECT_EQ(GetCharsetId(MapAscii(name, true)), expected) << "upper-cased " << Printable(name);
      EXPECT_EQ(GetCharsetId(MapAscii(name, false)), expected) << "lower-cased " << Printable(name);
    }
  }
}

TEST(CharsetRegistry, AliasesResolveInMixedCase) {
  ExpectIds({
      {u"LATIN-9", 14},
      {u"ansi", 18},
      {u"koi8r", 50},
      {u"dos-856", 52},
      {u"rk1048", 53},
      {u"NEXTSTEP", 55},
      {u"OpenStep", 55},
      {u"iso 8859-16", 11},
      {u"latin1", 0},
      {u"Latin10", 11},
      {u"next", 55},
      {u"atarist", 49},
      {u"tis-620", 10},
  });
}

TEST(CharsetRegistry, FirstStoredMatchWinsForCp874) {
  ExpectIds({
      {u"CP874", 15},
      {u"cp874", 15},
      {u"Cp874", 15},
      {u"874", 40},
      {u"DOS 874", 40},
      {u"dos-874", 40},
      {u"Windows 874", 15},
  });
}

TEST(CharsetRegistry, UtfNamesResolveInEverySpelling) {
  const std::vector<NameCase> spellings = {
      {u"utf 8", kCharsetIdUtf8},       {u"utf-8", kCharsetIdUtf8},
      {u"utf8", kCharsetIdUtf8},        {u"utf 16", kCharsetIdUtf16},
      {u"utf-16", kCharsetIdUtf16},     {u"utf16", kCharsetIdUtf16},
      {u"utf-16be", kCharsetIdUtf16Be}, {u"utf 16be", kCharsetIdUtf16Be},
      {u"utf16be", kCharsetIdUtf16Be},  {u"utf-32", kCharsetIdUtf32},
      {u"utf32", kCharsetIdUtf32},      {u"utf 32", kCharsetIdUtf32},
      {u"utf-32be", kCharsetIdUtf32Be}, {u"utf32be", kCharsetIdUtf32Be},
      {u"utf 32be", kCharsetIdUtf32Be},
  };
  ExpectIds(spellings);
  for (const NameCase& c : spellings) {
    EXPECT_EQ(GetCharsetId(MapAscii(c.Name, true)), c.ExpectedId)
        << "upper-cased " << Printable(c.Name);
  }
  ExpectIds({
      {u"UTF-8", 100},
      {u"Utf 8", 100},
      {u"UTF16BE", 102},
      {u"Utf-16Be", 102},
      {u"UTF-32", 103},
      {u"UTF32BE", 104},
  });
}

TEST(CharsetRegistry, AutoResolvesInAnyCase) {
  ExpectIds({{u"auto", 1000}, {u"AUTO", 1000}, {u"Auto", 1000}, {u"aUtO", 1000}});
}

TEST(CharsetRegistry, NearSpellingsAndUnknownNamesGiveZero) {
  // Id 0 is also ISO-8859-1, so only names that would otherwise resolve elsewhere prove a miss.
  ExpectIds({
      {u""sv, 0},
      {u"utf-8le"sv, 0},
      {u"utf-16le"sv, 0},
      {u"utf_8"sv, 0},
      {u"utf_16be"sv, 0},
      {u"utf-8 "sv, 0},
      {u" utf-8"sv, 0},
      {u"auto "sv, 0},
      {u"autodetect"sv, 0},
      {u"ISO-8859-15 "sv, 0},
      {u" ISO-8859-15"sv, 0},
      {u"ISO-8859-1 "sv, 0},
      {u"ISO8859-15"sv, 0},
      {u"ISO_8859-15"sv, 0},
      {u"ISO-8859-12"sv, 0},
      {u"Windows1252"sv, 0},
      {u"CP 874"sv, 0},
      {u"KOI8"sv, 0},
      {u"Latin-2"
       u"\0"sv,
       0},
      {u"ISO-8859-15"
       u"\0"
       u"x"sv,
       0},
      {u"nonsense"sv, 0},
  });
}

TEST(CharsetRegistry, OnlyAsciiLettersAreFolded) {
  // Each name equals a stored one under some wider folding (Unicode case folding, compatibility
  // normalisation, truncation to a byte, or setting bit 5 of any character), never under A-Z only.
  ExpectIds({
      {u"\u0130SO-8859-15", 0},          // dotted capital I lower-cases to "i"
      {u"\uFF35\uFF34\uFF26-8", 0},      // fullwidth "UTF"
      {u"\uFF21\uFF2E\uFF33\uFF29", 0},  // fullwidth "ANSI"
      {u"\u212AOI8-R", 0},               // Kelvin sign folds to "k"
      {u"An\u017Fi", 0},                 // long s folds to "s"
      {u"\u0141nsi", 0},                 // low byte is "A"
      {u"KOI8\u012DR", 0},               // low byte is "-"
      {u"ISO\r8859-15", 0},              // with bit 5 set, CR is "-"
      {u"Windows\x00"
       u"1252"sv,
       0},                // with bit 5 set, NUL is " "
      {u"Latin\x12", 0},  // with bit 5 set, 0x12 is "2"
  });
}

TEST(CharsetRegistry, NamesOfSpecialAndUnregisteredIds) {
  const std::vector<IdCase> cases = {
      {0, u"ISO-8859-1"},
      {14, u"ISO-8859-15"},
      {59, u"EBCDIC-1026"},
      {11, u"ISO-8859-16"},
      {12, u"ISO-8859-13"},
      {13, u"ISO-8859-14"},
      {100, u"utf-8"},
      {101, u"utf-16"},
      {102, u"utf-16be"},
      {103, u"utf-32"},
      {104, u"utf-32be"},
      {60, u""},
      {99, u""},
      {105, u""},
      {-1, u""},
      {1000, u""},
      {999, u""},
      {1001, u""},
      {-100, u""},
      {INT32_MIN, u""},
      {INT32_MAX, u""},
  };
  for (const IdCase& c : cases) {
    EXPECT_EQ(std::u16string(GetCharsetName(c.Id)), std::u16string(c.ExpectedName))
        << "id " << c.Id;
  }
}

TEST(CharsetRegistry, SpecialIdConstants) {
  EXPECT_EQ(kCharsetIdUnknown, 0);
  EXPECT_EQ(kDefaultCharsetId, 14);
  EXPECT_EQ(kCharsetIdUtf8, 100);
  EXPECT_EQ(kCharsetIdUtf16, 101);
  EXPECT_EQ(kCharsetIdUtf16Be, 102);
  EXPECT_EQ(kCharsetIdUtf32, 103);
  EXPECT_EQ(kCharsetIdUtf32Be, 104);
  EXPECT_EQ(kCharsetIdAuto, 1000);
  EXPECT_EQ(std::u16string(GetCharsetName(kDefaultCharsetId)), u"ISO-8859-15");
}

}  // namespace
