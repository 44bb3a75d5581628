#include "app/decimal.h"

#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/test_strings.h"

namespace {

struct DecimalCase {
  std::u16string_view Text;
  double Value;
  size_t Consumed;
};

using kesto_test::Narrow;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ReadDecimalTest, ReadsTheLongestPrefixThatIsANumber) {
  const std::vector<DecimalCase> cases = {
      // Plain digits, white space and sign.
      {u"5", 5.0, 1},
      {u"0.01", 0.01, 4},
      {u"123", 123.0, 3},
      {u"  7", 7.0, 3},
      {u" \t\n\v\f\r8", 8.0, 7},
      {u"+3", 3.0, 2},
      {u"-2.5", -2.5, 4},
      {u"\t-4", -4.0, 3},
      // The decimal point among or around the digits, at most once.
      {u".5", 0.5, 2},
      {u"5.", 5.0, 2},
      {u"-.25", -0.25, 4},
      {u"1.2.3", 1.2, 3},
      {u"0.1", 0.1, 3},
      // Exponents: e, E, d and D, with an optional sign.
      {u"1e5", 1e5, 3},
      {u"1E5", 1e5, 3},
      {u"1d5", 1e5, 3},
      {u"1D-2", 0.01, 4},
      {u"2e+3", 2000.0, 4},
      {u"5.e2", 500.0, 4},
      {u".5e1", 5.0, 4},
      {u"1.5D+1", 15.0, 6},
      // An exponent letter without digits is not part of the number.
      {u"1e", 1.0, 1},
      {u"1e+", 1.0, 1},
      {u"1D-", 1.0, 1},
      {u"1ex", 1.0, 1},
      {u"7f3", 7.0, 1},
      // What follows the number is left alone.
      {u"3abc", 3.0, 1},
      {u"1 2", 1.0, 1},
      {u"1,50", 1.0, 1},
      {u"0x1A", 0.0, 1},
      // No number at all: 0, nothing consumed (white space included).
      {u"", 0.0, 0},
      {u"abc", 0.0, 0},
      {u".", 0.0, 0},
      {u"+", 0.0, 0},
      {u"-.", 0.0, 0},
      {u"   ", 0.0, 0},
      {u"+-1", 0.0, 0},
      {u"- 5", 0.0, 0},
      {u"e5", 0.0, 0},
      {u",1", 0.0, 0},
      {u"inf", 0.0, 0},
      {u"nan", 0.0, 0},
      // Only ASCII digits and ASCII white space count.
      {u"\u0663", 0.0, 0},   // ARABIC-INDIC DIGIT THREE
      {u"\uFF11", 0.0, 0},   // FULLWIDTH DIGIT ONE
      {u"\u0131", 0.0, 0},   // a code unit whose low byte is '1'
      {u"\u00A05", 0.0, 0},  // NO-BREAK SPACE
      {u"1\u0130", 1.0, 1},  // U+0130's low byte is '0'
      {u"2\u0165", 2.0, 1},  // U+0165's low byte is 'e'
      // Out of range.
      {u"1e999", kInf, 5},
      {u"-1e999", -kInf, 6},
      {u"1e-999", 0.0, 6},
  };
  for (const DecimalCase& c : cases) {
    size_t consumed = 99;
    const double value = ReadDecimal(c.Text, consumed);
    EXPECT_EQ(value, c.Value) << "text \"" << Narrow(c.Text) << "\"";
    EXPECT_EQ(std::signbit(value), std::signbit(c.Value)) << "text \"" << Narrow(c.Text) << "\"";
    EXPECT_EQ(consumed, c.Consumed) << "text \"" << Narrow(c.Text) << "\"";
  }
}

TEST(ReadDecimalTest, ConvertsLongNumbersCorrectlyRounded) {
  size_t consumed = 0;
  EXPECT_EQ(ReadDecimal(u"123456789012345678901234567890", consumed), 1.2345678901234568e29);
  EXPECT_EQ(consumed, 30u);
  EXPECT_EQ(ReadDecimal(u"0.000030", consumed), 3e-5);
  EXPECT_EQ(consumed, 8u);
  EXPECT_EQ(ReadDecimal(u"-0", consumed), 0.0);
  EXPECT_TRUE(std::signbit(ReadDecimal(u"-0", consumed)));
}

TEST(ReadDecimalTest, StopsAtTheEndOfTheView) {
  // A view that ends inside a longer string reads only up to its end.
  const std::u16string text = u"12345";
  size_t consumed = 0;
  EXPECT_EQ(ReadDecimal(std::u16string_view(text).substr(0, 2), consumed), 12.0);
  EXPECT_EQ(consumed, 2u);
  EXPECT_EQ(ReadDecimal(std::u16string_view(u"1e5").substr(0, 2), consumed), 1.0);
  EXPECT_EQ(consumed, 1u);
}

}  // namespace
