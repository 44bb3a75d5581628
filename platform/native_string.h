// Conversion between the operating system's byte strings (command-line
// arguments, file names, terminal output) and the program's UTF-16 strings.
//
// Native strings are taken as UTF-8. A byte that is not part of a valid UTF-8
// sequence becomes the lone surrogate U+DC00 + byte (U+DC80..U+DCFF), and
// converting back turns such a surrogate into its byte again. Valid UTF-8 never
// encodes a surrogate, so every byte string survives the round trip
// bytes -> UTF-16 -> bytes unchanged: a file name that is not valid UTF-8
// still opens and prints as its own bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Decodes native bytes (UTF-8, invalid bytes escaped) into UTF-16.
std::u16string FromNativeString(std::string_view bytes);

/// Encodes UTF-16 into native bytes; escaped bytes come back as themselves.
/// Any other lone surrogate is written as its three-byte generalised UTF-8 form.
std::string ToNativeString(std::u16string_view text);

}  // namespace platform
