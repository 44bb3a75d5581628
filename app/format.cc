#include "app/format.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

struct Conversion {
  std::string Flags;
  size_t Width = 0;
  bool HasPrecision = false;
  size_t Precision = 0;
  char16_t Letter = 0;
};

bool IsFlag(char16_t c) { return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0'; }

size_t ReadCount(std::u16string_view format, size_t& i) {
  size_t value = 0;
  while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
    value = value * 10 + static_cast<size_t>(format[i] - u'0');
    ++i;
  }
  return value;
}

/// Parses the conversion that starts after a '%' at `i`; `i` ends after its letter.
Conversion ParseConversion(std::u16string_view format, size_t& i) {
  Conversion conversion;
  while (i < format.size() && IsFlag(format[i])) {
    conversion.Flags.push_back(static_cast<char>(format[i++]));
  }
  conversion.Width = ReadCount(format, i);
  if (i < format.size() && format[i] == u'.') {
    ++i;
    conversion.HasPrecision = true;
    conversion.Precision = ReadCount(format, i);
  }
  if (i >= format.size()) {
    throw std::logic_error("format ends inside a conversion");
  }
  conversion.Letter = format[i++];
  return conversion;
}

void AppendPadded(std::u16string& out, const std::u16string& text, const Conversion& conversion) {
  const bool left = conversion.Flags.find('-') != std::string::npos;
  const size_t padding = conversion.Width > text.size() ? conversion.Width - text.size() : 0;
  if (!left) {
    out.append(padding, u' ');
  }
  out.append(text);
  if (left) {
    out.append(padding, u' ');
  }
}

/// A number through the C library's formatting, which never depends on the
/// locale here: the program does not change it from "C".
template <typename Number>
std::u16string FormatNumber(const Conversion& conversion, const char* length, Number number) {
  std::string spec = "%" + conversion.Flags;
  if (conversion.Width != 0) {
    spec += std::to_string(conversion.Width);
  }
  if (conversion.HasPrecision) {
    spec += "." + std::to_string(conversion.Precision);
  }
  spec += length;
  spec.push_back(static_cast<char>(conversion.Letter));
  const int size = std::snprintf(nullptr, 0, spec.c_str(), number);
  std::string text(static_cast<size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), spec.c_str(), number);
  text.resize(static_cast<size_t>(size));
  return std::u16string(text.begin(), text.end());
}

const FormatArg& Take(const FormatArg*& next, const FormatArg* end, FormatArg::Kind kind) {
  if (next == end || next->ArgKind != kind) {
    throw std::logic_error("format conversion without an argument of its kind");
  }
  return *next++;
}

}  // namespace

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  const FormatArg* next = args.begin();
  for (size_t i = 0; i < format.size();) {
    if (format[i] != u'%') {
      out.push_back(format[i++]);
      continue;
    }
    ++i;
    const Conversion conversion = ParseConversion(format, i);
    switch (conversion.Letter) {
      case u'%':
        out.push_back(u'%');
        break;
      case u's': {
        std::u16string_view text = Take(next, args.end(), FormatArg::Kind::Wide).Wide;
        if (conversion.HasPrecision) {
          text = text.substr(0, conversion.Precision);
        }
        AppendPadded(out, std::u16string(text), conversion);
        break;
      }
      case u'S': {
        const auto bytes = Take(next, args.end(), FormatArg::Kind::Bytes).Bytes;
        std::u16string text;
        for (const uint8_t byte : bytes) {
          if (byte == 0 || (conversion.HasPrecision && text.size() == conversion.Precision)) {
            break;
          }
          text.push_back(static_cast<char16_t>(byte));
        }
        AppendPadded(out, text, conversion);
        break;
      }
      case u'd':
        out += FormatNumber(conversion, "", Take(next, args.end(), FormatArg::Kind::Integer).Integer);
        break;
      case u'f':
        out += FormatNumber(conversion, "", Take(next, args.end(), FormatArg::Kind::Real).Real);
        break;
      default:
        throw std::logic_error("unknown format conversion");
    }
  }
  return out;
}
