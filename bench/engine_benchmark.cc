// Speed of the statistics engine on realistic inputs: collecting a 1 MiB
// sample, loading a statistics file of about 5,000 entries, and scoring a
// 1 MiB text against that model. Throughput is reported in bytes per second
// of the text (or of the file, for loading).
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "stats/collect.h"
#include "stats/score.h"
#include "stats/stat_file.h"
#include "stats/statistics.h"
#include "tests/stats/pseudo_text.h"

namespace {

constexpr size_t kTextSize = size_t{1} << 20;

/// Bytes 0x01 to 0x20, the collect command's default ignore set.
const std::vector<uint8_t> kIgnoreSet = [] {
  std::vector<uint8_t> set;
  for (uint8_t b = 1; b <= 0x20; ++b) {
    set.push_back(b);
  }
  set.push_back(0);
  return set;
}();

/// The collect command's default threshold fraction.
constexpr double kFraction = 3e-05;
/// A fraction that keeps about 5,000 sequences of the 1 MiB sample.
constexpr double kModelFraction = 1e-04;

std::u16string Widen(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

/// A statistics file collected from a 1 MiB sample, in a temporary directory
/// that lives for the whole run.
class CModelFile {
 public:
  CModelFile() {
    std::string pattern = "/tmp/kesto_bench_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    Directory = pattern;
    Path = Directory + "/ISO-8859-1.ENG.dat";
    CStatistics model;
    CollectStatistics(model, kIgnoreSet.data(), kesto_test::MakePseudoText(kTextSize, 1),
                      kModelFraction);
    for (const CFrequencyTable& table : model.Tables) {
      Entries += table.GetCount();
    }
    if (!SaveStatistics(model, Widen(Path), kDefaultLanguageTag, 0)) {
      throw std::runtime_error("cannot write " + Path);
    }
    FileSize = 52 + 12 * Entries;
  }
  CModelFile(const CModelFile&) = delete;
  CModelFile& operator=(const CModelFile&) = delete;
  ~CModelFile() {
    std::remove(Path.c_str());
    ::rmdir(Directory.c_str());
  }

  std::string Directory;
  std::string Path;
  uint64_t Entries = 0;
  uint64_t FileSize = 0;
};

const CModelFile& ModelFile() {
  static const CModelFile file;
  return file;
}

const std::vector<uint8_t>& TextToScore() {
  static const std::vector<uint8_t> text = kesto_test::MakePseudoText(kTextSize, 2);
  return text;
}

void LoadModel(CStatistics& model) {
  if (!LoadStatistics(model, Widen(ModelFile().Path))) {
    throw std::runtime_error("cannot load " + ModelFile().Path);
  }
}

void BM_CollectStatistics(benchmark::State& state) {
  const std::vector<uint8_t> text = kesto_test::MakePseudoText(kTextSize, 1);
  for (auto _ : state) {
    CStatistics model;
    CollectStatistics(model, kIgnoreSet.data(), text, kFraction);
    benchmark::DoNotOptimize(model.Tables[2].GetCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CollectStatistics)->Unit(benchmark::kMillisecond);

void BM_LoadStatistics(benchmark::State& state) {
  const CModelFile& file = ModelFile();
  CStatistics model;
  for (auto _ : state) {
    LoadModel(model);
    benchmark::DoNotOptimize(model.Tables[0].GetCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.FileSize));
  state.counters["entries"] = static_cast<double>(file.Entries);
}
BENCHMARK(BM_LoadStatistics)->Unit(benchmark::kMicrosecond);

/// The text prepared once, scored against the model in each iteration: the
/// cost of one more statistics file in a detect run.
void BM_ScorePreparedText(benchmark::State& state) {
  CStatistics model;
  LoadModel(model);
  const CPreparedText prepared(TextToScore());
  for (auto _ : state) {
    benchmark::DoNotOptimize(prepared.Score(model));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TextToScore().size()));
}
BENCHMARK(BM_ScorePreparedText)->Unit(benchmark::kMillisecond);

/// Preparation and scoring together, as ComputeScore does for one model.
void BM_ComputeScore(benchmark::State& state) {
  CStatistics model;
  LoadModel(model);
  for (auto _ : state) {
    double score = 0;
    ComputeScore(model, TextToScore(), score);
    benchmark::DoNotOptimize(score);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TextToScore().size()));
}
BENCHMARK(BM_ComputeScore)->Unit(benchmark::kMillisecond);

/// For comparison: the score done literally, two locked probes per table at
/// every position.
void BM_ScoreByLockedProbes(benchmark::State& state) {
  CStatistics model;
  LoadModel(model);
  const std::vector<uint8_t>& text = TextToScore();
  for (auto _ : state) {
    double s[kTableCount] = {};
    for (size_t p = 0; p + 4 < text.size(); ++p) {
      uint32_t key = 0;
      for (int n = 0; n < kTableCount; ++n) {
        key |= static_cast<uint32_t>(text[p + static_cast<size_t>(n)]) << (8 * n);
        if (model.Tables[n].Contains(key)) {
          s[n] += model.Tables[n].Lookup(key);
        }
      }
    }
    benchmark::DoNotOptimize((model.Weights[0] * s[0] + model.Weights[1] * s[1]) +
                             model.Weights[2] * s[2]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ScoreByLockedProbes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
