// Printing messages: formatted (see format.h) and written to standard output.
#pragma once

#include <initializer_list>
#include <string_view>

#include "app/format.h"

/// Formats and writes one message to standard output; nothing goes to
/// standard error.
void Print(std::u16string_view format, std::initializer_list<FormatArg> args = {});
