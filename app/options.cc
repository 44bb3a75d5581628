#include "app/options.h"

#include <algorithm>

#include "app/decimal.h"

namespace {

enum class OptionName { Threshold, Language, Charset, Collect, Ignore, Detect, Weights };

struct OptionSpelling {
  std::u16string_view Text;
  OptionName Name;
};

// Matched in this order; the first match decides.
constexpr OptionSpelling kOptionSpellings[] = {
    {u"/threshold", OptionName::Threshold}, {u"/language", OptionName::Language},
    {u"/charset", OptionName::Charset},     {u"/collect", OptionName::Collect},
    {u"/ignore", OptionName::Ignore},       {u"/detect", OptionName::Detect},
    {u"/weights", OptionName::Weights},
};

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

const OptionSpelling* FindOption(std::u16string_view argument) {
  for (const OptionSpelling& option : kOptionSpellings) {
    if (EqualsIgnoringAsciiCase(argument, option.Text)) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

void SetLanguageTag(std::u16string_view value, LanguageTag& tag) {
  for (size_t j = 0; j < tag.Bytes.size() && j < value.size(); ++j) {
    auto byte = static_cast<uint8_t>(value[j] & 0xFF);
    if (byte >= 'a' && byte <= 'z') {
      byte = static_cast<uint8_t>(byte - 'a' + 'A');
    }
    tag.Bytes[j] = byte;
  }
}

std::array<double, 3> ParseWeights(std::u16string_view value) {
  std::array<double, 3> weights = {1.0, 50.0, 100.0};
  size_t p = 0;
  for (size_t k = 0; k < weights.size(); ++k) {
    size_t consumed = 0;
    weights[k] = ReadDecimal(value.substr(p), consumed);
    p += consumed;
    if (p == value.size()) {
      break;
    }
    while (p < value.size() && value[p] == u',') {
      ++p;
    }
  }
  return weights;
}

bool ParseOptions(std::span<const std::u16string> arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const OptionSpelling* option = FindOption(arguments[i]);
    if (option == nullptr || i + 1 == arguments.size()) {
      continue;
    }
    const std::u16string& value = arguments[++i];
    switch (option->Name) {
      case OptionName::Threshold: {
        size_t consumed = 0;
        options.ThresholdFraction = ReadDecimal(value, consumed) / 100;
        break;
      }
      case OptionName::Language:
        SetLanguageTag(value, options.Language);
        break;
      case OptionName::Charset:
        options.CharsetId = GetCharsetId(value);
        // Compared as unsigned: the UTF ids 100..104 and "auto" (1000).
        if (static_cast<uint32_t>(options.CharsetId) >= kCharsetIdUtf8) {
          return false;
        }
        break;
      case OptionName::Collect:
        options.InputPath = value;
        options.Mode = RunMode::Collect;
        break;
      case OptionName::Ignore:
        options.IgnorePath = value;
        break;
      case OptionName::Detect:
        options.InputPath = value;
        options.Mode = RunMode::Detect;
        break;
      case OptionName::Weights:
        options.Weights = ParseWeights(value);
        break;
    }
  }
  return true;
}
