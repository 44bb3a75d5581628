#include "stats/file_scoring.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// More threads than this only wait for the disk.
constexpr unsigned kMaxThreads = 4;

}  // namespace

std::vector<FileScore> ScoreStatisticsFiles(std::span<const std::u16string_view> paths,
                                            const CPreparedText* text,
                                            std::span<const double, kTableCount> weights) {
  std::vector<FileScore> scores(paths.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t j = next++; j < paths.size(); j = next++) {
      StatisticsFileContent content;
      scores[j].Read = ReadStatisticsFile(paths[j], content);
      if (scores[j].Read == StatFileRead::Loaded) {
        scores[j].Language = content.Language;
        scores[j].CharsetId = content.CharsetId;
        if (text != nullptr) {
          scores[j].Score = text->Score(content.Tables, weights);
        }
      }
    }
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
  {
    std::vector<std::jthread> helpers;
    for (unsigned t = 1; t < threads && t < paths.size(); ++t) {
      helpers.emplace_back(work);
    }
    work();
  }  // joins the helpers
  return scores;
}
