#include "app/format.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/test_strings.h"

namespace {

using kesto_test::Narrow;

std::span<const uint8_t> Bytes(const std::array<uint8_t, 4>& bytes) {
  return bytes;
}

TEST(FormatTest, CopiesTextAndPercentSigns) {
  EXPECT_EQ(Format(u"", {}), u"");
  EXPECT_EQ(Format(u"plain text\n", {}), u"plain text\n");
  EXPECT_EQ(Format(u"tab\there, quote \"x\"\n", {}), u"tab\there, quote \"x\"\n");
  EXPECT_EQ(Format(u"Default is 0.003%%.\n", {}), u"Default is 0.003%.\n");
  EXPECT_EQ(Format(u"%%%%", {}), u"%%");
  EXPECT_EQ(Format(u"100%% of %d", {int32_t{5}}), u"100% of 5");
  // Characters outside ASCII pass through unchanged.
  EXPECT_EQ(Format(u"\u00E9\u20AC\U0001F600", {}), u"\u00E9\u20AC\U0001F600");
}

struct WideCase {
  std::u16string_view Format;
  std::u16string_view Argument;
  std::u16string_view Expected;
};

TEST(FormatTest, FormatsWideStrings) {
  const std::vector<WideCase> cases = {
      {u"%s", u"abc", u"abc"},
      {u"[%s]", u"", u"[]"},
      {u"\"%s\"", u"t\u00E9st.txt", u"\"t\u00E9st.txt\""},
      {u"%s", u"\xDCE9", u"\xDCE9"},  // an escaped native byte stays as it is
      {u"% 15s", u"ISO-8859-1", u"     ISO-8859-1"},
      {u"% 15s", u"KOI8-R", u"         KOI8-R"},
      {u"% 15s", u"ISO-8859-15", u"    ISO-8859-15"},
      {u"% 15s", u"", u"               "},
      {u"% 15s", u"ABCDEFGHIJKLMNOPQ", u"ABCDEFGHIJKLMNOPQ"},
      {u"%15s", u"KOI8-R", u"         KOI8-R"},
      {u"%-8s|", u"abc", u"abc     |"},
      {u"%.3s", u"abcdef", u"abc"},
      {u"%5.2s", u"abcdef", u"   ab"},
  };
  for (const WideCase& c : cases) {
    EXPECT_EQ(Format(c.Format, {c.Argument}), c.Expected) << "format " << Narrow(c.Format);
  }
}

struct BytesCase {
  std::u16string_view Format;
  std::array<uint8_t, 4> Argument;
  std::u16string_view Expected;
};

TEST(FormatTest, FormatsByteStringsAsCharactersOfTheSameValue) {
  const std::vector<BytesCase> cases = {
      {u"(%.4S)", {'D', 'E', 'U', 0}, u"(DEU)"},
      {u"(%.4S)", {'D', 'E', 'U', 'T'}, u"(DEUT)"},
      {u"(%.4S)", {'D', 'E', 0, 'X'}, u"(DE)"},
      {u"(%.4S)", {0, 'E', 'N', 'G'}, u"()"},
      {u"(%.4S)", {0, 0, 0, 0}, u"()"},
      {u"(%.4S)", {0xE9, 0x80, 0xFF, 0x2F}, u"(\u00E9\u0080\u00FF/)"},
      {u"(%.2S)", {'D', 'E', 'U', 'T'}, u"(DE)"},
      {u"(%S)", {'D', 'E', 'U', 'T'}, u"(DEUT)"},
      {u"(%6S)", {'R', 'U', 'S', 0}, u"(   RUS)"},
      {u"%s.%.4S.dat", {'E', 'N', 'G', 0}, u"ISO-8859-15.ENG.dat"},
  };
  for (const BytesCase& c : cases) {
    if (c.Format.starts_with(u"%s")) {
      EXPECT_EQ(Format(c.Format, {std::u16string_view(u"ISO-8859-15"), Bytes(c.Argument)}),
                c.Expected);
    } else {
      EXPECT_EQ(Format(c.Format, {Bytes(c.Argument)}), c.Expected) << Narrow(c.Expected);
    }
  }
  // A byte string that is shorter than the precision ends with the span.
  const uint8_t two[] = {'A', 'B'};
  EXPECT_EQ(Format(u"%.4S", {std::span<const uint8_t>(two)}), u"AB");
}

struct NumberCase {
  std::u16string_view Format;
  double Argument;
  std::u16string_view Expected;
};

TEST(FormatTest, FormatsRealNumbersAsTheCLocaleDoes) {
  const std::vector<NumberCase> cases = {
      {u"%8.4f", 100.0, u"100.0000"},
      {u"%8.4f", 52.5, u" 52.5000"},
      {u"%8.4f", 0.0, u"  0.0000"},
      {u"%8.4f", -0.0, u" -0.0000"},
      {u"%8.4f", 12345.678, u"12345.6780"},
      {u"%8.4f", -3.25, u" -3.2500"},
      {u"%8.4f", 33.443708609271525, u" 33.4437"},
      {u"%8.4f", 0.00004, u"  0.0000"},
      {u"%8.4f", 0.00006, u"  0.0001"},
      {u"%8.4f", std::numeric_limits<double>::infinity(), u"     inf"},
      {u"%8.4f", -std::numeric_limits<double>::infinity(), u"    -inf"},
      {u"%8.4f", std::numeric_limits<double>::quiet_NaN(), u"     nan"},
      {u"%.2f", 1.005, u"1.00"},  // 1.005 lies just below 1.005 in binary
      {u"%f", 1.5, u"1.500000"},
      {u"%08.3f", 3.14159, u"0003.142"},
      {u"%+.1f", 2.0, u"+2.0"},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(Format(c.Format, {c.Argument}), c.Expected)
        << "format " << Narrow(c.Format) << " value " << c.Argument;
  }
}

TEST(FormatTest, FormatsIntegers) {
  EXPECT_EQ(Format(u"Found %d dat files...\n", {int32_t{2}}), u"Found 2 dat files...\n");
  EXPECT_EQ(Format(u"%d", {int32_t{0}}), u"0");
  EXPECT_EQ(Format(u"%d", {int32_t{-1}}), u"-1");
  EXPECT_EQ(Format(u"%d", {std::numeric_limits<int32_t>::min()}), u"-2147483648");
  EXPECT_EQ(Format(u"%d", {std::numeric_limits<int32_t>::max()}), u"2147483647");
  EXPECT_EQ(Format(u"[%4d]", {int32_t{14}}), u"[  14]");
  EXPECT_EQ(Format(u"[%-4d]", {int32_t{14}}), u"[14  ]");
  EXPECT_EQ(Format(u"Character set \"%d\" is unknown.\n", {int32_t{1000}}),
            u"Character set \"1000\" is unknown.\n");
}

struct ReportRow {
  std::u16string_view Name;
  std::array<uint8_t, 4> Tag;
  double Percentage;
  std::u16string_view Expected;
};

// The report line: the name right-aligned in 15 characters, the tag as at most
// four bytes, the percentage with four decimals in at least 8 characters.
TEST(FormatTest, FormatsReportLines) {
  const std::vector<ReportRow> rows = {
      {u"ISO-8859-1",
       {'D', 'E', 'U', 0},
       100.0,
       u"Detected:      ISO-8859-1 (DEU) with 100.0000%\n"},
      {u"KOI8-R", {'R', 'U', 'S', 0}, 52.5, u"Detected:          KOI8-R (RUS) with  52.5000%\n"},
      {u"ISO-8859-1", {0, 0, 0, 0}, 0.0, u"Detected:      ISO-8859-1 () with   0.0000%\n"},
      {u"ISO-8859-15",
       {'E', 'N', 'G', 0},
       100.0,
       u"Detected:     ISO-8859-15 (ENG) with 100.0000%\n"},
      {u"MSMAC-CYRILLIC",
       {'D', 'E', 'U', 'T'},
       7.125,
       u"Detected:  MSMAC-CYRILLIC (DEUT) with   7.1250%\n"},
      {u"", {'X', 0, 0, 0}, 100.0, u"Detected:                 (X) with 100.0000%\n"},
  };
  for (const ReportRow& row : rows) {
    EXPECT_EQ(Format(u"Detected: % 15s (%.4S) with %8.4f%%\n",
                     {row.Name, Bytes(row.Tag), row.Percentage}),
              row.Expected);
  }
}

TEST(FormatTest, MixesConversionsInOrder) {
  const std::array<uint8_t, 4> tag = {'A', '/', 'B', 'C'};
  EXPECT_EQ(Format(u"%s|%S|%d|%.1f|%%", {std::u16string_view(u"w"), Bytes(tag), int32_t{-7}, 0.25}),
            u"w|A/BC|-7|0.2|%");
}

TEST(FormatTest, RejectsConversionsWithoutTheirArgument) {
  EXPECT_THROW(Format(u"%s", {}), std::logic_error);
  EXPECT_THROW(Format(u"%d %d", {int32_t{1}}), std::logic_error);
  EXPECT_THROW(Format(u"%d", {1.0}), std::logic_error);
  EXPECT_THROW(Format(u"%f", {int32_t{1}}), std::logic_error);
  EXPECT_THROW(Format(u"%S", {std::u16string_view(u"x")}), std::logic_error);
  EXPECT_THROW(Format(u"%s", {int32_t{1}}), std::logic_error);
  EXPECT_THROW(Format(u"50%", {}), std::logic_error);
  EXPECT_THROW(Format(u"%8.4", {1.0}), std::logic_error);
  EXPECT_THROW(Format(u"%q", {int32_t{1}}), std::logic_error);
}

}  // namespace
