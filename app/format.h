// Formatting messages into program strings, printf style.
//
// Conversions: %s a wide string, %S a byte string (each byte becomes the
// character of the same value; it ends at the first NUL byte), %d a signed
// integer, %f a double, %% a percent sign. Flags (- + space # 0), a width and a
// precision may stand between % and the conversion letter, with printf's
// meaning: "% 15s" right-aligns a string in 15 characters (the space flag does
// nothing to a string), "%.4S" shows at most four bytes, "%8.4f" a number with
// four decimals in at least 8 characters. Numbers are formatted as in the C
// locale, whatever the user's locale.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

class FormatArg {
 public:
  enum class Kind { Wide, Bytes, Integer, Real };

  FormatArg(std::u16string_view wide) : ArgKind(Kind::Wide), Wide(wide) {}
  FormatArg(const std::u16string& wide) : ArgKind(Kind::Wide), Wide(wide) {}
  FormatArg(std::span<const uint8_t> bytes) : ArgKind(Kind::Bytes), Bytes(bytes) {}
  FormatArg(int32_t integer) : ArgKind(Kind::Integer), Integer(integer) {}
  FormatArg(double real) : ArgKind(Kind::Real), Real(real) {}

  Kind ArgKind;
  std::u16string_view Wide;
  std::span<const uint8_t> Bytes;
  int32_t Integer = 0;
  double Real = 0;
};

/// `format` with its conversions replaced by `args`, in order. A conversion
/// without an argument of its kind is a programming error: std::logic_error.
std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args);
