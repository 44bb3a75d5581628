// Tests of scoring one text against many statistics files at once: the
// results must be those of loading and scoring each file on its own, in the
// order of the paths, whatever thread handled a file.
#include "stats/file_scoring.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "stats/collect.h"
#include "stats/stat_file.h"
#include "tests/platform/test_files.h"
#include "tests/stats/pseudo_text.h"

namespace {

using kesto_test::CTempDirectory;

constexpr uint8_t kDefaultIgnoreSet[] = {' ', '\n', '\t', '\r', 0};

TEST(ScoreStatisticsFiles, MatchesLoadingAndScoringEachFileInPathOrder) {
  CTempDirectory directory;
  std::vector<std::u16string> paths;
  // Many models of different texts, with unloadable entries among them.
  for (uint32_t i = 0; i < 40; ++i) {
    const std::string name = "model" + std::to_string(i) + ".dat";
    if (i % 9 == 4) {
      kesto_test::WriteBytes(directory.Join(name), {'N', 'O', 'P', 'E'});
    } else if (i % 9 != 7) {  // i % 9 == 7 stays missing
      CStatistics model;
      CollectStatistics(model, kDefaultIgnoreSet, kesto_test::MakePseudoText(3000 + 97 * i, i),
                        0.0);
      LanguageTag tag{{'L', static_cast<uint8_t>('A' + i % 26), 0, 0}};
      ASSERT_TRUE(SaveStatistics(model, directory.Join16(name), tag, static_cast<int32_t>(i)));
    }
    paths.push_back(directory.Join16(name));
  }
  const std::vector<uint8_t> text = kesto_test::MakePseudoText(20000, 1234);
  const CPreparedText prepared(text);
  const double weights[kTableCount] = {1.0, 50.0, 500.0};
  const std::vector<std::u16string_view> views(paths.begin(), paths.end());

  const std::vector<FileScore> scores = ScoreStatisticsFiles(views, &prepared, weights);
  const std::vector<FileScore> unscored = ScoreStatisticsFiles(views, nullptr, weights);

  ASSERT_EQ(scores.size(), paths.size());
  ASSERT_EQ(unscored.size(), paths.size());
  for (size_t j = 0; j < paths.size(); ++j) {
    SCOPED_TRACE(j);
    CStatistics model;
    const bool loaded = LoadStatistics(model, paths[j]);
    EXPECT_EQ(scores[j].Read == StatFileRead::Loaded, loaded);
    EXPECT_EQ(unscored[j].Read, scores[j].Read);
    if (!loaded) {
      continue;
    }
    EXPECT_EQ(scores[j].CharsetId, model.CharsetId);
    EXPECT_EQ(scores[j].Language, model.Language);
    EXPECT_EQ(std::bit_cast<uint64_t>(scores[j].Score),
              std::bit_cast<uint64_t>(prepared.Score(model)));
    EXPECT_EQ(unscored[j].Score, 0.0);
  }
}

TEST(ScoreStatisticsFiles, NoPathsGiveNoResults) {
  const CPreparedText prepared(std::vector<uint8_t>(100, 'a'));
  const double weights[kTableCount] = {1.0, 50.0, 500.0};
  EXPECT_TRUE(ScoreStatisticsFiles({}, &prepared, weights).empty());
}

}  // namespace
