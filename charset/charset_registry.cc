#include "charset/charset_registry.h"

#include <iterator>

namespace {

// ASCII-only folding: option values are typed by users in any case, but the names are ASCII, and
// folding any other letter would let lookalike names (a dotted capital I, fullwidth letters, the
// Kelvin sign) select a character set by accident.
constexpr char16_t FoldAsciiLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr bool NamesMatch(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiLetter(a[i]) != FoldAsciiLetter(b[i])) {
      return false;
    }
  }
  return true;
}

struct UtfName {
  std::u16string_view Name;
  int32_t Id;
};

// Checked before the table, in this order. The UTF encodings are multi-byte, so the table does
// not list them; they are recognised only to be refused.
constexpr UtfName kUtfNames[] = {
    {u"utf 8", kCharsetIdUtf8},       {u"utf-8", kCharsetIdUtf8},
    {u"utf8", kCharsetIdUtf8},        {u"utf 16", kCharsetIdUtf16},
    {u"utf-16", kCharsetIdUtf16},     {u"utf16", kCharsetIdUtf16},
    {u"utf-16be", kCharsetIdUtf16Be}, {u"utf 16be", kCharsetIdUtf16Be},
    {u"utf16be", kCharsetIdUtf16Be},  {u"utf-32", kCharsetIdUtf32},
    {u"utf32", kCharsetIdUtf32},      {u"utf 32", kCharsetIdUtf32},
    {u"utf-32be", kCharsetIdUtf32Be}, {u"utf32be", kCharsetIdUtf32Be},
    {u"utf 32be", kCharsetIdUtf32Be},
};

constexpr std::u16string_view kAutoName = u"auto";

// Indexed by id - kCharsetIdUtf8.
constexpr std::u16string_view kUtfPrimaryNames[] = {u"utf-8", u"utf-16", u"utf-16be", u"utf-32",
                                                    u"utf-32be"};
static_assert(std::size(kUtfPrimaryNames) == kCharsetIdUtf32Be - kCharsetIdUtf8 + 1);

}  // namespace

// clang-format off
// One row per record. Rows that break the pattern, all deliberate and kept because the ids are
// stored in statistics files and the names are what users already type:
// - Ids follow this table, not the ISO part numbers: ISO-8859-16 is 11, ISO-8859-13 is 12,
//   ISO-8859-14 is 13, and there is no ISO-8859-12.
// - "CP874" is stored twice, under Windows-874 (15) and under DOS-874 (40). The first match wins,
//   so "CP874" always gives 15, while "874" and "DOS 874" give 40.
// - The aliases of CP856 (52) run "856", "DOS 856", "DOS-856", unlike the other DOS groups.
// - "openstep" and "nextstep" are stored in lower case (it makes no difference to matching).
// - "AtariST" is its own description; Apple-Roman and AtariST have no alias.
constexpr CharsetEntry CharsetTable[kCharsetTableSize] = {
    {u"ISO-8859-1", u"Latin-1, West European", 0, true},
    {u"ISO 8859-1", u"", 0, false},
    {u"Latin-1", u"", 0, false},
    {u"Latin1", u"", 0, false},
    {u"ISO-8859-2", u"Latin-2, East European", 1, true},
    {u"ISO 8859-2", u"", 1, false},
    {u"Latin-2", u"", 1, false},
    {u"Latin2", u"", 1, false},
    {u"ISO-8859-3", u"Latin-3, South European", 2, true},
    {u"ISO 8859-3", u"", 2, false},
    {u"Latin-3", u"", 2, false},
    {u"Latin3", u"", 2, false},
    {u"ISO-8859-4", u"Latin-4, Baltic", 3, true},
    {u"ISO 8859-4", u"", 3, false},
    {u"Latin-4", u"", 3, false},
    {u"Latin4", u"", 3, false},
    {u"ISO-8859-5", u"Cyrillic", 4, true},
    {u"ISO 8859-5", u"", 4, false},
    {u"ISO-8859-6", u"Arabic", 5, true},
    {u"ISO 8859-6", u"", 5, false},
    {u"ISO-8859-7", u"Greek", 6, true},
    {u"ISO 8859-7", u"", 6, false},
    {u"ISO-8859-8", u"Hebrew", 7, true},
    {u"ISO 8859-8", u"", 7, false},
    {u"ISO-8859-9", u"Latin-5, Turkish", 8, true},
    {u"ISO 8859-9", u"", 8, false},
    {u"Latin-5", u"", 8, false},
    {u"Latin5", u"", 8, false},
    {u"ISO-8859-10", u"Latin-6, Nordic", 9, true},
    {u"ISO 8859-10", u"", 9, false},
    {u"Latin-6", u"", 9, false},
    {u"Latin6", u"", 9, false},
    {u"ISO-8859-11", u"Thai", 10, true},
    {u"ISO 8859-11", u"", 10, false},
    {u"TIS-620", u"", 10, false},
    {u"ISO-8859-16", u"Latin-10, South Eastern European", 11, true},
    {u"ISO 8859-16", u"", 11, false},
    {u"Latin-10", u"", 11, false},
    {u"Latin10", u"", 11, false},
    {u"ISO-8859-13", u"Latin-7, Baltic", 12, true},
    {u"ISO 8859-13", u"", 12, false},
    {u"Latin-7", u"", 12, false},
    {u"Latin7", u"", 12, false},
    {u"ISO-8859-14", u"Latin-8, Celtic", 13, true},
    {u"ISO 8859-14", u"", 13, false},
    {u"Latin-8", u"", 13, false},
    {u"Latin8", u"", 13, false},
    {u"ISO-8859-15", u"Latin-9, West European, Euro", 14, true},
    {u"ISO 8859-15", u"", 14, false},
    {u"Latin-9", u"", 14, false},
    {u"Latin9", u"", 14, false},
    {u"Windows-874", u"Thai", 15, true},
    {u"Windows 874", u"", 15, false},
    {u"CP874", u"", 15, false},
    {u"Windows-1250", u"Central European", 16, true},
    {u"Windows 1250", u"", 16, false},
    {u"CP1250", u"", 16, false},
    {u"Windows-1251", u"Cyrillic", 17, true},
    {u"Windows 1251", u"", 17, false},
    {u"CP1251", u"", 17, false},
    {u"Windows-1252", u"Western European, ANSI", 18, true},
    {u"Windows 1252", u"", 18, false},
    {u"CP1252", u"", 18, false},
    {u"Ansi", u"", 18, false},
    {u"Windows-1253", u"Greek", 19, true},
    {u"Windows 1253", u"", 19, false},
    {u"CP1253", u"", 19, false},
    {u"Windows-1254", u"Turkish", 20, true},
    {u"Windows 1254", u"", 20, false},
    {u"CP1254", u"", 20, false},
    {u"Windows-1255", u"Hebrew", 21, true},
    {u"Windows 1255", u"", 21, false},
    {u"CP1255", u"", 21, false},
    {u"Windows-1256", u"Arabic", 22, true},
    {u"Windows 1256", u"", 22, false},
    {u"CP1256", u"", 22, false},
    {u"Windows-1257", u"Baltic", 23, true},
    {u"Windows 1257", u"", 23, false},
    {u"CP1257", u"", 23, false},
    {u"Windows-1258", u"Vietnamese", 24, true},
    {u"Windows 1258", u"", 24, false},
    {u"CP1258", u"", 24, false},
    {u"DOS-437", u"DOS - US", 25, true},
    {u"DOS 437", u"", 25, false},
    {u"437", u"", 25, false},
    {u"CP437", u"", 25, false},
    {u"DOS-737", u"DOS - Greek", 26, true},
    {u"DOS 737", u"", 26, false},
    {u"737", u"", 26, false},
    {u"CP737", u"", 26, false},
    {u"DOS-775", u"DOS - Baltic", 27, true},
    {u"DOS 775", u"", 27, false},
    {u"775", u"", 27, false},
    {u"CP775", u"", 27, false},
    {u"DOS-850", u"DOS - Latin 1", 28, true},
    {u"DOS 850", u"", 28, false},
    {u"850", u"", 28, false},
    {u"CP850", u"", 28, false},
    {u"DOS-852", u"DOS - Latin 2", 29, true},
    {u"DOS 852", u"", 29, false},
    {u"852", u"", 29, false},
    {u"CP852", u"", 29, false},
    {u"DOS-855", u"DOS - Cyrillic", 30, true},
    {u"DOS 855", u"", 30, false},
    {u"855", u"", 30, false},
    {u"CP855", u"", 30, false},
    {u"DOS-857", u"DOS - Turkish", 31, true},
    {u"DOS 857", u"", 31, false},
    {u"857", u"", 31, false},
    {u"CP857", u"", 31, false},
    {u"DOS-860", u"DOS - Portuguese", 32, true},
    {u"DOS 860", u"", 32, false},
    {u"860", u"", 32, false},
    {u"CP860", u"", 32, false},
    {u"DOS-861", u"DOS - Icelandic", 33, true},
    {u"DOS 861", u"", 33, false},
    {u"861", u"", 33, false},
    {u"CP861", u"", 33, false},
    {u"DOS-862", u"DOS - Hebrew", 34, true},
    {u"DOS 862", u"", 34, false},
    {u"862", u"", 34, false},
    {u"CP862", u"", 34, false},
    {u"DOS-863", u"DOS - CanadaF", 35, true},
    {u"DOS 863", u"", 35, false},
    {u"863", u"", 35, false},
    {u"CP863", u"", 35, false},
    {u"DOS-864", u"DOS - Arabic", 36, true},
    {u"DOS 864", u"", 36, false},
    {u"864", u"", 36, false},
    {u"CP864", u"", 36, false},
    {u"DOS-865", u"DOS - Nordic", 37, true},
    {u"DOS 865", u"", 37, false},
    {u"865", u"", 37, false},
    {u"CP865", u"", 37, false},
    {u"DOS-866", u"DOS - Cyrillic/Russian", 38, true},
    {u"DOS 866", u"", 38, false},
    {u"866", u"", 38, false},
    {u"CP866", u"", 38, false},
    {u"DOS-869", u"DOS - Greek2", 39, true},
    {u"DOS 869", u"", 39, false},
    {u"869", u"", 39, false},
    {u"CP869", u"", 39, false},
    {u"DOS-874", u"DOS - 874", 40, true},
    {u"DOS 874", u"", 40, false},
    {u"874", u"", 40, false},
    {u"CP874", u"", 40, false},  // shadowed by id 15's "CP874"
    {u"MSMAC-CYRILLIC", u"Microsoft MAC - Cyrillic, CP 10007", 41, true},
    {u"CP10007", u"", 41, false},
    {u"MSMAC-GREEK", u"Microsoft MAC - Greek, CP 10006", 42, true},
    {u"CP10006", u"", 42, false},
    {u"MSMAC-ICELAND", u"Microsoft MAC - Icelandic, CP 10079", 43, true},
    {u"CP10079", u"", 43, false},
    {u"MSMAC-LATIN2", u"Microsoft MAC - Latin 2, CP 10029", 44, true},
    {u"CP10029", u"", 44, false},
    {u"MSMAC-ROMAN", u"Microsoft MAC - Roman, CP 10000", 45, true},
    {u"CP10000", u"", 45, false},
    {u"MSMAC-TURKISH", u"Microsoft MAC - Turkish, CP 10081", 46, true},
    {u"CP10081", u"", 46, false},
    {u"Apple-CENTEURO", u"Apple - Central European", 47, true},
    {u"CENTEURO", u"", 47, false},
    {u"Apple-Roman", u"Apple - Roman", 48, true},
    {u"AtariST", u"AtariST", 49, true},
    {u"KOI8-R", u"Code for Information Exchange - Russian", 50, true},
    {u"KOI8R", u"", 50, false},
    {u"KOI8-U", u"Code for Information Exchange - Ukrainian", 51, true},
    {u"KOI8U", u"", 51, false},
    {u"CP856", u"CP856 - Hebrew", 52, true},
    {u"856", u"", 52, false},
    {u"DOS 856", u"", 52, false},
    {u"DOS-856", u"", 52, false},
    {u"KZ-1048", u"KZ-1048/STRK1048-2002 - Kazakhstan", 53, true},
    {u"KZ1048", u"", 53, false},
    {u"RK1048", u"", 53, false},
    {u"STRK1048-2002", u"", 53, false},
    {u"CP1006", u"IBM CP 1006 - English/Urdu - Pakistan", 54, true},
    {u"CP-1006", u"", 54, false},
    {u"NeXT", u"NextStep, OpenStep", 55, true},
    {u"openstep", u"", 55, false},
    {u"nextstep", u"", 55, false},
    {u"EBCDIC-37", u"EBCDIC CP 37 - USA", 56, true},
    {u"CP37", u"", 56, false},
    {u"EBCDIC-500", u"EBCDIC CP 500 - International", 57, true},
    {u"CP500", u"", 57, false},
    {u"EBCDIC-875", u"EBCDIC CP 875 - Greek", 58, true},
    {u"CP875", u"", 58, false},
    {u"EBCDIC-1026", u"EBCDIC CP 1026 - Turkish", 59, true},
    {u"CP1026", u"", 59, false},
    {u"", u"", 0, false},  // terminator: every scan stops at the first empty name
};
// clang-format on

namespace {

constexpr std::u16string_view NameOf(const CharsetEntry& entry) {
  return entry.Name;
}
constexpr std::u16string_view DescriptionOf(const CharsetEntry& entry) {
  return entry.Description;
}

constexpr std::size_t kNamedRecordCount = kCharsetTableSize - 1;

// Missing rows would be value-initialised, i.e. empty-named, and would end every scan early.
constexpr bool EveryRecordBeforeTheTerminatorIsNamed() {
  for (std::size_t i = 0; i < kNamedRecordCount; ++i) {
    if (NameOf(CharsetTable[i]).empty()) {
      return false;
    }
  }
  return true;
}

constexpr bool TerminatorIsEmpty() {
  const CharsetEntry& last = CharsetTable[kNamedRecordCount];
  return NameOf(last).empty() && DescriptionOf(last).empty() && last.Id == 0 && !last.Primary;
}

// Ids 0 to 59 in ascending order without gaps, each group opened by its only primary record,
// which alone carries a description.
constexpr bool GroupsAreOrderedAndOpenedByTheirPrimary() {
  int32_t expected_id = -1;
  for (std::size_t i = 0; i < kNamedRecordCount; ++i) {
    const CharsetEntry& entry = CharsetTable[i];
    if (entry.Primary) {
      if (entry.Id != expected_id + 1 || DescriptionOf(entry).empty()) {
        return false;
      }
      expected_id = entry.Id;
    } else if (entry.Id != expected_id || !DescriptionOf(entry).empty()) {
      return false;
    }
  }
  return expected_id == kSingleByteCharsetCount - 1;
}

// The UTF names and "auto" are looked up first, so a table name equal to one would be
// unreachable.
constexpr bool NoTableNameIsShadowed() {
  for (std::size_t i = 0; i < kNamedRecordCount; ++i) {
    const std::u16string_view name = NameOf(CharsetTable[i]);
    if (NamesMatch(name, kAutoName)) {
      return false;
    }
    for (const UtfName& utf : kUtfNames) {
      if (NamesMatch(name, utf.Name)) {
        return false;
      }
    }
  }
  return true;
}

static_assert(std::size(CharsetTable) == 188);
static_assert(EveryRecordBeforeTheTerminatorIsNamed());
static_assert(TerminatorIsEmpty());
static_assert(GroupsAreOrderedAndOpenedByTheirPrimary());
static_assert(NoTableNameIsShadowed());

}  // namespace

int32_t GetCharsetId(std::u16string_view name) {
  for (const UtfName& utf : kUtfNames) {
    if (NamesMatch(name, utf.Name)) {
      return utf.Id;
    }
  }
  if (NamesMatch(name, kAutoName)) {
    return kCharsetIdAuto;
  }
  for (const CharsetEntry& entry : CharsetTable) {
    const std::u16string_view entry_name = NameOf(entry);
    if (entry_name.empty()) {
      break;
    }
    if (NamesMatch(name, entry_name)) {
      return entry.Id;
    }
  }
  return kCharsetIdUnknown;
}

std::u16string_view GetCharsetName(int32_t id) {
  if (id >= kCharsetIdUtf8 && id <= kCharsetIdUtf32Be) {
    return kUtfPrimaryNames[id - kCharsetIdUtf8];
  }
  for (const CharsetEntry& entry : CharsetTable) {
    const std::u16string_view entry_name = NameOf(entry);
    if (entry_name.empty()) {
      break;
    }
    if (entry.Primary && entry.Id == id) {
      return entry_name;
    }
  }
  return {};
}
