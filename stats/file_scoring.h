// Scoring one text against many statistics files at once.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "stats/score.h"
#include "stats/stat_file.h"

/// The outcome for one statistics file.
struct FileScore {
  StatFileRead Read = StatFileRead::NotLoadable;
  LanguageTag Language{};  ///< from the file's header, when Read is Loaded
  int32_t CharsetId = 0;   ///< from the file's header, when Read is Loaded
  double Score = 0.0;      ///< when Read is Loaded and a text was given
};

/// Reads each statistics file of `paths` and scores `text` (when not null)
/// against it with `weights`. The files are independent, so they are spread
/// over the machine's processors; the results are in the order of `paths`
/// and the same as one after another.
std::vector<FileScore> ScoreStatisticsFiles(std::span<const std::u16string_view> paths,
                                            const CPreparedText* text,
                                            std::span<const double, kTableCount> weights);
