// The command-line options and the loop that reads them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "charset/charset_registry.h"
#include "stats/language_tag.h"

enum class RunMode { None, Collect, Detect };

/// The option values of one run, with their defaults.
struct Options {
  /// /threshold: the share of the sample's size a sequence's count must reach,
  /// as a fraction (the option's value is a percentage).
  double ThresholdFraction = 0.00003;
  /// /language: the tag written into a collected statistics file.
  LanguageTag Language = kDefaultLanguageTag;
  /// /charset: the charset id written into a collected statistics file.
  int32_t CharsetId = kDefaultCharsetId;
  /// /collect or /detect: the text to read, taken whole however long.
  std::u16string InputPath;
  /// /ignore: the file whose bytes replace the default ignore set.
  std::u16string IgnorePath;
  /// The last of /collect and /detect decides.
  RunMode Mode = RunMode::None;
  /// /weights: the weights of the three tables in the score, for /detect.
  std::optional<std::array<double, 3>> Weights;
};

/// Reads `arguments` (the program's name excluded) into `options`. Options are
/// matched whole, ASCII case ignored; the argument after an option is its
/// value whatever it looks like; unknown arguments and an option without a
/// value are skipped. Returns false at once when /charset names a UTF
/// character set or "auto".
bool ParseOptions(std::span<const std::u16string> arguments, Options& options);

/// Sets the language tag from an option value: the low 8 bits of its first
/// four UTF-16 code units, a-z upper-cased. Bytes beyond the value's length
/// keep what they held; no terminator is written.
void SetLanguageTag(std::u16string_view value, LanguageTag& tag);

/// The three weights an option value gives: numbers separated by runs of
/// commas, starting from 1, 50 and 100.
std::array<double, 3> ParseWeights(std::u16string_view value);
