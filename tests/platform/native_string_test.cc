// Tests of the conversion between native byte strings and program strings.
#include "platform/native_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using platform::FromNativeString;
using platform::ToNativeString;

TEST(NativeString, DecodesValidUtf8AndEscapesEveryOtherByte) {
  struct Case {
    std::string Bytes;
    std::u16string Text;
  } const cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\xC3\xA4", u"\u00E4"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xEF\xBF\xBF", u"\uFFFF"},
      // Four-byte sequences become surrogate pairs.
      {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
      {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
      {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
      // Invalid bytes become U+DC00 + byte, one by one.
      {"\xFF", {0xDCFF}},
      {"\x80", {0xDC80}},
      {"\xC3"
       "a",
       {0xDCC3, u'a'}},
      {"\xC0\x80", {0xDCC0, 0xDC80}},                          // overlong
      {"\xE0\x80\xAF", {0xDCE0, 0xDC80, 0xDCAF}},              // overlong
      {"\xED\xA0\x80", {0xDCED, 0xDCA0, 0xDC80}},              // a surrogate
      {"\xF4\x90\x80\x80", {0xDCF4, 0xDC90, 0xDC80, 0xDC80}},  // above U+10FFFF
      {"\xE2\x82", {0xDCE2, 0xDC82}},                          // cut short
      {"\xF8\x88\x80\x80\x80", {0xDCF8, 0xDC88, 0xDC80, 0xDC80, 0xDC80}},
      {"\xF0\x9F\x98\x80\xFF", {0xD83D, 0xDE00, 0xDCFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Bytes));
    EXPECT_EQ(FromNativeString(c.Bytes), c.Text);
    EXPECT_EQ(ToNativeString(c.Text), c.Bytes);
  }
}

TEST(NativeString, EncodesLoneSurrogatesThatAreNoEscapes) {
  struct Case {
    std::u16string Text;
    std::string Bytes;
  } const cases[] = {
      {{0xD800}, "\xED\xA0\x80"},
      {{0xDC7F}, "\xED\xB1\xBF"},
      {{0xDD00}, "\xED\xB4\x80"},
      {{0xDE00, 0xD83D}, "\xED\xB8\x80\xED\xA0\xBD"},  // a pair the wrong way round
      {{0xD83D, u'a'},
       "\xED\xA0\xBD"
       "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Bytes));
    EXPECT_EQ(ToNativeString(c.Text), c.Bytes);
  }
}

/// A byte string made of pieces that exercise the decoder: ASCII, valid
/// sequences of every length, and broken ones.
std::string RandomBytes(std::mt19937& random) {
  std::string bytes;
  const size_t pieces = random() % 12;
  for (size_t i = 0; i < pieces; ++i) {
    switch (random() % 5) {
      case 0:
        bytes.push_back(static_cast<char>(random() % 0x80));
        break;
      case 1:
        bytes.push_back(static_cast<char>(random()));
        break;
      case 2: {
        // A lead byte and continuation bytes in any number.
        static const unsigned char kLeads[] = {0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5};
        bytes.push_back(static_cast<char>(kLeads[random() % std::size(kLeads)]));
        const size_t continuations = random() % 4;
        for (size_t c = 0; c < continuations; ++c) {
          bytes.push_back(static_cast<char>(0x80 | (random() % 0x40)));
        }
        break;
      }
      default: {
        const std::u16string valid = {static_cast<char16_t>(0xD800 + random() % 0x400),
                                      static_cast<char16_t>(0xDC00 + random() % 0x400),
                                      static_cast<char16_t>(0x80 + random() % 0xD000)};
        bytes += ToNativeString(valid);
        break;
      }
    }
  }
  return bytes;
}

TEST(NativeString, EveryByteStringSurvivesTheRoundTrip) {
  std::mt19937 random(42);
  for (int i = 0; i < 20000; ++i) {
    const std::string bytes = RandomBytes(random);
    ASSERT_EQ(ToNativeString(FromNativeString(bytes)), bytes) << testing::PrintToString(bytes);
  }
  for (int i = 0; i < 5000; ++i) {
    std::string bytes(random() % 24, '\0');
    for (char& b : bytes) {
      b = static_cast<char>(random());
    }
    ASSERT_EQ(ToNativeString(FromNativeString(bytes)), bytes) << testing::PrintToString(bytes);
  }
}

TEST(NativeString, TextWithoutLoneSurrogatesSurvivesTheRoundTrip) {
  std::mt19937 random(43);
  for (int i = 0; i < 5000; ++i) {
    std::u16string text;
    const size_t count = random() % 10;
    for (size_t c = 0; c < count; ++c) {
      const char32_t cp = random() % 0x110000;
      if (cp >= 0xD800 && cp <= 0xDFFF) {
        continue;
      }
      if (cp >= 0x10000) {
        text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        text.push_back(static_cast<char16_t>(cp));
      }
    }
    ASSERT_EQ(FromNativeString(ToNativeString(text)), text);
  }
}

}  // namespace
