#include "app/options.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/test_strings.h"

namespace {

using Tag = std::array<uint8_t, 4>;
using Weights = std::array<double, 3>;

constexpr Tag kEng = {'E', 'N', 'G', 0};

using kesto_test::Narrow;

struct LanguageCase {
  Tag Before;
  std::u16string Value;
  Tag After;
};

TEST(SetLanguageTagTest, StoresTheLowBytesOfUpToFourCodeUnits) {
  const std::vector<LanguageCase> cases = {
      {kEng, u"de", {'D', 'E', 'G', 0}},
      {kEng, u"deu", {'D', 'E', 'U', 0}},
      {kEng, u"deutsch", {'D', 'E', 'U', 'T'}},
      {kEng, u"", kEng},
      {kEng, u"DeU", {'D', 'E', 'U', 0}},
      {kEng, u"x", {'X', 'N', 'G', 0}},
      {{'D', 'E', 'U', 'T'}, u"fr", {'F', 'R', 'U', 'T'}},
      {kEng, u"a/bc", {'A', '/', 'B', 'C'}},
      {kEng, u"/detect", {'/', 'D', 'E', 'T'}},
      {kEng, u"1z{`", {'1', 'Z', '{', '`'}},  // only a to z change
      {kEng, u"@[", {'@', '[', 'G', 0}},
      // Code units beyond ASCII: their low 8 bits, upper-cased when a to z.
      {kEng, u"\u00E9u", {0xE9, 'U', 'G', 0}},  // e acute is not a to z
      {kEng, u"\u00FF", {0xFF, 'N', 'G', 0}},
      {kEng, u"\u0161", {'A', 'N', 'G', 0}},          // U+0161: low byte 0x61 'a'
      {kEng, u"\u0441\u0443", {'A', 'C', 'G', 0}},    // Cyrillic: low bytes 0x41, 0x43
      {kEng, u"\u012F", {'/', 'N', 'G', 0}},          // U+012F: low byte '/'
      {kEng, u"\u0100", {0, 'N', 'G', 0}},            // U+0100: low byte 0
      {kEng, u"\xDCE9\xDC80", {0xE9, 0x80, 'G', 0}},  // escaped native bytes
      {kEng, u"\U0001D538", {'5', '8', 'G', 0}},      // a surrogate pair: D835 DD38
      {kEng, std::u16string(u"a\0b", 3), {'A', 0, 'B', 0}},
  };
  for (const LanguageCase& c : cases) {
    LanguageTag tag{c.Before};
    SetLanguageTag(c.Value, tag);
    EXPECT_EQ(tag.Bytes, c.After) << "value " << Narrow(c.Value);
  }
}

struct WeightsCase {
  std::u16string_view Value;
  Weights Expected;
};

TEST(ParseWeightsTest, ReadsUpToThreeCommaSeparatedNumbers) {
  const std::vector<WeightsCase> cases = {
      {u"2", {2, 50, 100}},
      {u"1,50,100", {1, 50, 100}},
      {u"1,,7", {1, 7, 100}},
      {u"1,50,", {1, 50, 0}},
      {u"1,", {1, 0, 100}},
      {u"1 2 3", {1, 2, 3}},
      {u"1;2;3", {1, 0, 0}},
      {u"", {0, 50, 100}},
      {u"1,50,100,7", {1, 50, 100}},
      // More of the same rules.
      {u"3,4", {3, 4, 100}},
      {u",5", {0, 5, 100}},
      {u",,,5,,,6,,,7", {0, 5, 6}},
      {u"0.5,-2,1e2", {0.5, -2, 100}},
      {u"1d1,2D1,3e1", {10, 20, 30}},
      {u" 1 , 2 , 3", {1, 0, 0}},  // p stops at the space before the comma
      {u"1,x,3", {1, 0, 0}},
      {u"x", {0, 0, 0}},
      {u"1,2,3x", {1, 2, 3}},
  };
  for (const WeightsCase& c : cases) {
    EXPECT_EQ(ParseWeights(c.Value), c.Expected) << "value \"" << Narrow(c.Value) << "\"";
  }
}

TEST(ParseWeightsTest, KeepsValuesOutOfRange) {
  const Weights weights = ParseWeights(u"1e999,-1e999,1e-999");
  EXPECT_EQ(weights[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(weights[1], -std::numeric_limits<double>::infinity());
  EXPECT_EQ(weights[2], 0.0);
}

// What an option run is expected to leave, field by field: the defaults,
// changed by the setters.
struct Expected {
  bool Accepted = true;
  RunMode Mode = RunMode::None;
  std::u16string InputPath;
  std::u16string IgnorePath;
  Tag Language = kEng;
  int32_t CharsetId = 14;
  double ThresholdFraction = 0.00003;
  std::optional<Weights> WeightValues;

  Expected Refused() const {
    Expected e = *this;
    e.Accepted = false;
    return e;
  }
  Expected Command(RunMode mode, std::u16string path) const {
    Expected e = *this;
    e.Mode = mode;
    e.InputPath = std::move(path);
    return e;
  }
  Expected Ignore(std::u16string path) const {
    Expected e = *this;
    e.IgnorePath = std::move(path);
    return e;
  }
  Expected Lang(Tag tag) const {
    Expected e = *this;
    e.Language = tag;
    return e;
  }
  Expected Charset(int32_t id) const {
    Expected e = *this;
    e.CharsetId = id;
    return e;
  }
  Expected Threshold(double fraction) const {
    Expected e = *this;
    e.ThresholdFraction = fraction;
    return e;
  }
  Expected WithWeights(Weights weights) const {
    Expected e = *this;
    e.WeightValues = weights;
    return e;
  }
};

struct OptionsCase {
  std::vector<std::u16string> Arguments;
  Expected Want;
};

std::string Describe(const std::vector<std::u16string>& arguments) {
  std::string out;
  for (const std::u16string& argument : arguments) {
    out += "[" + Narrow(argument) + "] ";
  }
  return out;
}

/// The defaults: what a run without options leaves.
Expected W() {
  return {};
}

std::vector<OptionsCase> OptionCases() {
  const std::u16string longPath = std::u16string(300, u'd') + u"/a.txt";
  return {
      {{}, W()},
      {{u"/collect", u"a.txt"}, W().Command(RunMode::Collect, u"a.txt")},
      {{u"/COLLECT", u"a.txt"}, W().Command(RunMode::Collect, u"a.txt")},
      {{u"/CoLlEcT", u"a.txt"}, W().Command(RunMode::Collect, u"a.txt")},
      {{u"/detect", u"b.txt"}, W().Command(RunMode::Detect, u"b.txt")},
      {{u"/DETECT", u"b.txt"}, W().Command(RunMode::Detect, u"b.txt")},
      // A lone option has no value and changes nothing.
      {{u"/detect"}, W()},
      {{u"/collect"}, W()},
      {{u"/weights"}, W()},
      // The last of /collect and /detect decides the mode and the path.
      {{u"/collect", u"a.txt", u"/detect", u"b.txt"}, W().Command(RunMode::Detect, u"b.txt")},
      {{u"/detect", u"b.txt", u"/collect", u"a.txt"}, W().Command(RunMode::Collect, u"a.txt")},
      {{u"/detect", u"b.txt", u"/collect"}, W().Command(RunMode::Detect, u"b.txt")},
      {{u"foo", u"/detect", u"b.txt"}, W().Command(RunMode::Detect, u"b.txt")},
      // An option takes the next argument whatever it looks like.
      {{u"/language", u"/detect", u"b.txt"}, W().Lang({'/', 'D', 'E', 'T'})},
      {{u"/ignore", u"/collect", u"a.txt"}, W().Ignore(u"/collect")},
      {{u"/collect", u"/detect"}, W().Command(RunMode::Collect, u"/detect")},
      {{u"/collect", u""}, W().Command(RunMode::Collect, u"")},
      // Unknown arguments: near spellings, other prefixes, non-ASCII case forms.
      {{u"/collec", u"a.txt", u"/collectx", u"b.txt", u"-collect", u"c.txt", u"collect", u"d.txt",
        u"/analyze", u"e.txt", u" /collect", u"f.txt", u"/charse\u017F", u"utf8"},
       W()},
      // /charset: names, aliases and the unknown name.
      {{u"/charset", u"iso-8859-1", u"/language", u"deu", u"/collect", u"german.txt"},
       W().Command(RunMode::Collect, u"german.txt").Lang({'D', 'E', 'U', 0}).Charset(0)},
      {{u"/charset", u"nonsense", u"/collect", u"a.txt"},
       W().Command(RunMode::Collect, u"a.txt").Charset(0)},
      {{u"/charset", u"KOI8-R"}, W().Charset(50)},
      {{u"/CHARSET", u"latin-9"}, W().Charset(14)},
      {{u"/charset", u"koi8r", u"/charset", u"cp1252"}, W().Charset(18)},
      // /charset refusals end the loop at once.
      {{u"/charset", u"utf8", u"/detect", u"b.txt"}, W().Refused()},
      {{u"/charset", u"auto", u"/detect", u"b.txt"}, W().Refused()},
      {{u"/detect", u"b.txt", u"/charset", u"UTF-32BE", u"/collect", u"a.txt"},
       W().Refused().Command(RunMode::Detect, u"b.txt")},
      {{u"/charset", u"Utf 16", u"/language", u"fr"}, W().Refused()},
      {{u"/charset", u"utf-16le"}, W().Charset(0)},
      // /threshold is a percentage.
      {{u"/threshold", u"0.01"}, W().Threshold(0.0001)},
      {{u"/threshold", u"abc"}, W().Threshold(0.0)},
      {{u"/threshold", u"50"}, W().Threshold(0.5)},
      {{u"/threshold", u"-5"}, W().Threshold(-0.05)},
      {{u"/threshold", u"2e1xyz"}, W().Threshold(0.2)},
      {{u"/threshold", u"1e999"}, W().Threshold(std::numeric_limits<double>::infinity())},
      // /language and /ignore.
      {{u"/language", u"fr", u"/language", u"d"}, W().Lang({'D', 'R', 'G', 0})},
      {{u"/language", u"deutsch"}, W().Lang({'D', 'E', 'U', 'T'})},
      {{u"/language", u""}, W()},
      {{u"/ignore", u"skip.bin"}, W().Ignore(u"skip.bin")},
      {{u"/IGNORE", u"x", u"/ignore", u"y"}, W().Ignore(u"y")},
      // /weights: set only when given.
      {{u"/weights", u"2"}, W().WithWeights(Weights{2, 50, 100})},
      {{u"/WEIGHTS", u""}, W().WithWeights(Weights{0, 50, 100})},
      {{u"/weights", u"1,2,3", u"/weights", u"4"}, W().WithWeights(Weights{4, 50, 100})},
      // Paths are kept whole, however long, with escaped native bytes.
      {{u"/detect", longPath}, W().Command(RunMode::Detect, longPath)},
      {{u"/collect", u"t\xDCE9st.txt", u"/ignore", longPath},
       W().Command(RunMode::Collect, u"t\xDCE9st.txt").Ignore(longPath)},
  };
}

TEST(ParseOptionsTest, ReadsEveryOptionByTheRules) {
  for (const OptionsCase& c : OptionCases()) {
    Options options;
    const bool accepted = ParseOptions(c.Arguments, options);
    const std::string where = Describe(c.Arguments);
    EXPECT_EQ(accepted, c.Want.Accepted) << where;
    EXPECT_EQ(options.Mode, c.Want.Mode) << where;
    EXPECT_EQ(options.InputPath, c.Want.InputPath) << where;
    EXPECT_EQ(options.IgnorePath, c.Want.IgnorePath) << where;
    EXPECT_EQ(options.Language.Bytes, c.Want.Language) << where;
    if (c.Want.Accepted) {  // a refused id is of no further use
      EXPECT_EQ(options.CharsetId, c.Want.CharsetId) << where;
    }
    EXPECT_EQ(options.ThresholdFraction, c.Want.ThresholdFraction) << where;
    EXPECT_EQ(options.Weights, c.Want.WeightValues) << where;
  }
}

TEST(ParseOptionsTest, RefusesEveryUtfNameAndAuto) {
  const std::vector<std::u16string> names = {
      u"utf 8",  u"utf-8",    u"utf8",     u"UTF-8",    u"utf 16", u"utf-16",
      u"utf16",  u"utf-16be", u"utf 16be", u"UTF16BE",  u"utf-32", u"utf32",
      u"utf 32", u"utf-32be", u"utf32be",  u"utf 32be", u"auto",   u"AUTO"};
  for (const std::u16string& name : names) {
    Options options;
    const std::vector<std::u16string> arguments = {u"/charset", name, u"/collect", u"a.txt"};
    EXPECT_FALSE(ParseOptions(arguments, options)) << Narrow(name);
    EXPECT_EQ(options.Mode, RunMode::None) << Narrow(name);
  }
}

TEST(OptionsTest, DefaultsAreThoseOfARunWithoutOptions) {
  const Options options;
  EXPECT_EQ(options.ThresholdFraction, 0.00003);
  EXPECT_EQ(options.Language.Bytes, kEng);
  EXPECT_EQ(options.CharsetId, 14);
  EXPECT_TRUE(options.InputPath.empty());
  EXPECT_TRUE(options.IgnorePath.empty());
  EXPECT_EQ(options.Mode, RunMode::None);
  EXPECT_FALSE(options.Weights.has_value());
}

}  // namespace
