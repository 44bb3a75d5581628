#include "app/run_detect.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "app/print.h"
#include "charset/charset_registry.h"
#include "platform/data_folder.h"
#include "platform/path.h"
#include "stats/file_scoring.h"
#include "stats/score.h"
#include "stats/stat_discovery.h"
#include "stats/stat_file.h"
#include "stats/statistics.h"
#include "stats/text_file.h"

namespace {

constexpr std::u16string_view kSharedFolderName = u"kesto";

void FreePaths(CPathList& paths) {
  for (uint32_t j = 0; j < paths.GetCount(); ++j) {
    delete[] paths.ElementAt(j);
  }
}

void SortResults(std::vector<DetectResult>& results) {
  std::stable_sort(results.begin(), results.end(), ReportsFirst);
}

/// Shown like a file name's tag: at most four bytes, ending at a NUL.
std::span<const uint8_t> TagBytes(const DetectResult& result) {
  return result.Language.Bytes;
}

}  // namespace

int CompareResults(const DetectResult& a, const DetectResult& b) {
  const bool aIsNumber = !std::isnan(a.Score);
  const bool bIsNumber = !std::isnan(b.Score);
  if (aIsNumber != bIsNumber) {
    return aIsNumber ? -1 : 1;
  }
  if (a.Score > b.Score) {
    return -1;
  }
  if (a.Score < b.Score) {
    return 1;
  }
  return 0;
}

bool ReportsFirst(const DetectResult& a, const DetectResult& b) {
  const int order = CompareResults(a, b);
  return order != 0 ? order < 0 : a.CharsetId < b.CharsetId;
}

int RunDetect(std::u16string_view inputPath, const std::optional<std::array<double, 3>>& weights) {
  const std::array<double, kTableCount> modelWeights = weights.value_or(kStartWeights);

  CPathList paths = FindStatisticsFiles(u".");
  if (paths.GetCount() == 0) {
    const std::u16string folder =
        platform::PathAppend(platform::GetCommonAppDataFolder(), kSharedFolderName);
    CPathList shared = FindStatisticsFiles(folder);
    paths = shared;
  }
  if (paths.GetCount() == 0) {
    Print(u"No statistics data files found.\n");
    return 0;
  }
  if (!platform::PathExists(inputPath)) {
    Print(u"File \"%s\" not found.\n", {inputPath});
    FreePaths(paths);
    return -1;
  }

  const uint32_t count = paths.GetCount();
  std::vector<DetectResult> results(count);
  Print(u"Found %d dat files...\n", {static_cast<int32_t>(count)});

  // The text is read and its sequences numbered once, for every model.
  TextBuffer text;
  std::optional<CPreparedText> prepared;
  if (ReadTextFile(inputPath, text)) {
    prepared.emplace(text.View());
  }
  std::vector<std::u16string_view> pathViews;
  for (uint32_t j = 0; j < count; ++j) {
    pathViews.emplace_back(paths.ElementAt(j));
  }
  const std::vector<FileScore> scores =
      ScoreStatisticsFiles(pathViews, prepared ? &*prepared : nullptr, modelWeights);
  for (uint32_t j = 0; j < count; ++j) {
    if (scores[j].Read == StatFileRead::Loaded) {
      results[j] = {scores[j].CharsetId, scores[j].Language, scores[j].Score};
      if (prepared) {
        Print(u"Using %s...\n", {pathViews[j]});
      } else {
        Print(u"Analyzation failed\n");
      }
    } else {
      Print(u"Error loading statistics file %s.\n", {pathViews[j]});
    }
  }
  FreePaths(paths);

  SortResults(results);
  if (results[0].Score == 0.0) {
    results[0] = {kDefaultCharsetId, kDefaultLanguageTag, 100.0};
  }
  const double best = results[0].Score;
  for (const DetectResult& result : results) {
    Print(u"Detected: % 15s (%.4S) with %8.4f%%\n",
          {GetCharsetName(result.CharsetId), TagBytes(result), result.Score * 100 / best});
  }
  return 0;
}
