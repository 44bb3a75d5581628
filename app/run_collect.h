// The collect command: one sample text into one statistics file.
#pragma once

#include <cstdint>
#include <string_view>

#include "stats/language_tag.h"

/// Collects the sample at `inputPath` and writes the statistics file named
/// "<charset name>.<language>.dat" in the current directory. Prints its
/// messages; returns the exit status: 0, or -1 when the language tag cannot
/// be part of a file name, the sample cannot be read, or the file cannot be
/// written (a previous file of that name then stays as it was).
int RunCollect(std::u16string_view inputPath, std::u16string_view ignorePath,
               double thresholdFraction, LanguageTag language, int32_t charsetId);
