// Console output.
#pragma once

#include <string_view>

namespace platform {

/// Writes `text` to standard output as UTF-8, whatever the locale; bytes that
/// came from native strings are written back as themselves. The text is
/// written at once, unbuffered, so output from the program stays in order.
void WriteStandardOutput(std::u16string_view text);

/// The console input code page has no meaning on this platform: does nothing.
void SetConsoleInputToUtf16();

}  // namespace platform
