// The detect command: rank a text against every statistics file found.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "stats/language_tag.h"

/// The result of one statistics file.
struct DetectResult {
  int32_t CharsetId = 0;
  LanguageTag Language{};
  double Score = 0.0;
};

/// Report order: -1 when `a` comes before `b` (a higher score, or a number
/// against NaN), 1 when `b` comes first, 0 when neither does (equal scores,
/// or both NaN). A strict weak ordering for every score.
int CompareResults(const DetectResult& a, const DetectResult& b);

/// Whether `a` is reported before `b`: by `CompareResults`, and among equal
/// scores by ascending charset id, so that a text that several charsets read
/// alike is shown first in the registry's earlier (ISO, then Windows) charset
/// whatever the files are called. The report keeps the list order of files
/// whose score and charset are equal.
bool ReportsFirst(const DetectResult& a, const DetectResult& b);

/// Scores the text at `inputPath` against the statistics files of the current
/// directory or, when it has none, of the shared folder, and prints the
/// ranked report. `weights`, when given, replace the model's start weights.
/// Returns the exit status: 0, or -1 when statistics files were found but the
/// input path does not exist.
int RunDetect(std::u16string_view inputPath, const std::optional<std::array<double, 3>>& weights);
