// Test support: program strings shown readably in failure messages.
#pragma once

#include <string>
#include <string_view>

namespace kesto_test {

/// Printable ASCII as itself, every other code unit as \u<decimal value>.
inline std::string Narrow(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
  }
  return out;
}

}  // namespace kesto_test
