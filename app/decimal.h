// Reading a decimal number from the start of a program string.
#pragma once

#include <cstddef>
#include <string_view>

/// Reads the longest prefix of `text` of the form: optional white space, an
/// optional sign, decimal digits with at most one "." among or around them (at
/// least one digit), and an optional exponent (e, E, d or D, an optional sign,
/// digits). Sets `consumed` to the length of that prefix and returns its value
/// (infinite when out of range). Text that does not begin with such a number
/// gives 0 with `consumed` 0.
double ReadDecimal(std::u16string_view text, size_t& consumed);
