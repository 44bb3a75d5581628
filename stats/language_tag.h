// LanguageTag: the language code of a model, as four bytes.
#pragma once

#include <array>
#include <cstdint>

/// Upper case as the options produce it (DEU), NUL-padded when shorter than
/// four bytes, not necessarily NUL-terminated (DEUT). Wherever it is shown it
/// is at most four single-byte characters, ending early at a NUL byte.
struct LanguageTag {
  std::array<uint8_t, 4> Bytes{};

  friend bool operator==(const LanguageTag&, const LanguageTag&) = default;
};

/// "ENG" followed by one NUL byte.
inline constexpr LanguageTag kDefaultLanguageTag{{'E', 'N', 'G', 0}};
