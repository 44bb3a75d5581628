#include "app/decimal.h"

#include <cstdlib>
#include <string>

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool IsSign(char16_t c) { return c == u'+' || c == u'-'; }

bool IsExponentLetter(char16_t c) { return c == u'e' || c == u'E' || c == u'd' || c == u'D'; }

}  // namespace

double ReadDecimal(std::u16string_view text, size_t& consumed) {
  consumed = 0;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) {
    ++i;
  }
  // The number in the form the C library reads, with 'e' as the exponent letter.
  std::string number;
  if (i < text.size() && IsSign(text[i])) {
    number.push_back(static_cast<char>(text[i++]));
  }
  size_t digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      ++digits;
    } else if (text[i] == u'.' && !point) {
      point = true;
    } else {
      break;
    }
    number.push_back(static_cast<char>(text[i]));
  }
  if (digits == 0) {
    return 0;
  }
  if (i < text.size() && IsExponentLetter(text[i])) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && IsSign(text[j])) {
      exponent.push_back(static_cast<char>(text[j++]));
    }
    const size_t firstDigit = j;
    while (j < text.size() && IsDigit(text[j])) {
      exponent.push_back(static_cast<char>(text[j++]));
    }
    if (j > firstDigit) {
      number += exponent;
      i = j;
    }
  }
  consumed = i;
  return std::strtod(number.c_str(), nullptr);
}
