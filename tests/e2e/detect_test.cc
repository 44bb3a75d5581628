// The detect command: finding statistics files, scoring, the report.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// Three statistics files, listed in this order:
//   ISO-8859-1.DEU.dat     id 0,  DEU:  {a: 0.5} {aa: 0.25} {aaa: 0.125}
//   KOI8-R.RUS.dat         id 50, RUS:  {a: 0.25} {aa: 0.5} {}
//   Windows-1252.XYZW.dat  id 18, XYZW: {b: 1}
// Against "aaaaaaaa" (4 positions, each a, aa, aaa) the sums are
//   DEU s0 = 2, s1 = 1, s2 = 0.5;  RUS s0 = 1, s1 = 2, s2 = 0;  XYZW all 0.
const std::string kDeu = "ISO-8859-1.DEU.dat";
const std::string kRus = "KOI8-R.RUS.dat";
const std::string kXyzw = "Windows-1252.XYZW.dat";
const std::string kText = "aaaaaaaa";

const std::string kDeuLine100 = "Detected:      ISO-8859-1 (DEU) with 100.0000%\n";
const std::string kRusLine100 = "Detected:          KOI8-R (RUS) with 100.0000%\n";
const std::string kRusLine0 = "Detected:          KOI8-R (RUS) with   0.0000%\n";
const std::string kXyzwLine0 = "Detected:    Windows-1252 (XYZW) with   0.0000%\n";

const std::string kFoundThree =
    "Found 3 dat files...\n"
    "Using ./ISO-8859-1.DEU.dat...\n"
    "Using ./KOI8-R.RUS.dat...\n"
    "Using ./Windows-1252.XYZW.dat...\n";

std::string DeuFile() {
  return StatFile("DEU", 0,
                  {{{{Key('a'), 0.5}}, {{Key('a', 'a'), 0.25}}, {{Key('a', 'a', 'a'), 0.125}}}});
}
std::string RusFile() {
  return StatFile("RUS", 50, {{{{Key('a'), 0.25}}, {{Key('a', 'a'), 0.5}}, {}}});
}
std::string XyzwFile() {
  return StatFile("XYZW", 18, {{{{Key('b'), 1.0}}, {}, {}}});
}

class DetectTest : public CE2eTest {
 protected:
  void WriteThreeFiles() const {
    WriteFile(kDeu, DeuFile());
    WriteFile(kRus, RusFile());
    WriteFile(kXyzw, XyzwFile());
  }

  /// Runs a detect that must change no file and write nothing to stderr.
  ProgramResult Detect(std::vector<std::string> arguments,
                       Environment environment = Utf8Environment()) {
    const FileTree before = Snapshot();
    ProgramResult result = Run(std::move(arguments), std::move(environment));
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
    return result;
  }
};

struct WeightsCase {
  std::string Weights;  // empty: no /weights
  std::string Report;   // the lines after the "Using" lines
};

TEST_F(DetectTest, RanksTheFilesByWeightedScore) {
  // Scores (w0 s0 + w1 s1) + w2 s2, as percentages of the best.
  const std::vector<WeightsCase> cases = {
      // 1, 50, 500: DEU 2 + 50 + 250 = 302; RUS 1 + 100 = 101 (33.44370...%).
      {"", kDeuLine100 + "Detected:          KOI8-R (RUS) with  33.4437%\n" + kXyzwLine0},
      // 1, 50, 100: DEU 102; RUS 101 (99.01960...%).
      {"1,50,100", kDeuLine100 + "Detected:          KOI8-R (RUS) with  99.0196%\n" + kXyzwLine0},
      // 2, 50, 100: DEU 104; RUS 102 (98.07692...%).
      {"2", kDeuLine100 + "Detected:          KOI8-R (RUS) with  98.0769%\n" + kXyzwLine0},
      // 1, 0, 100: DEU 52; RUS 1 (1.92307...%).
      {"1,", kDeuLine100 + "Detected:          KOI8-R (RUS) with   1.9231%\n" + kXyzwLine0},
      // 0, 1, 0: DEU 1; RUS 2: RUS first.
      {"0,1,0", kRusLine100 + "Detected:      ISO-8859-1 (DEU) with  50.0000%\n" + kXyzwLine0},
      // 0, 1, 0 once more, through white space and runs of commas.
      {" 0,,,1,0", kRusLine100 + "Detected:      ISO-8859-1 (DEU) with  50.0000%\n" + kXyzwLine0},
      // 1;2;3 reads as 1, 0, 0: DEU 2, RUS 1.
      {"1;2;3", kDeuLine100 + "Detected:          KOI8-R (RUS) with  50.0000%\n" + kXyzwLine0},
      // Every score 0: the first record (DEU, the lowest charset id) becomes
      // the fallback; the others follow by charset id.
      {"0,0,0", kFallbackLine + kXyzwLine0 + kRusLine0},
      // Negative weights: DEU -3.5, RUS -3, XYZW 0 is the best score, exactly
      // 0.0, so the fallback replaces it; the others divide by 100.
      {"-1,-1,-1", kFallbackLine + "Detected:          KOI8-R (RUS) with  -3.0000%\n" +
                       "Detected:      ISO-8859-1 (DEU) with  -3.5000%\n"},
  };
  WriteThreeFiles();
  WriteFile("text.txt", kText);
  for (const WeightsCase& c : cases) {
    SCOPED_TRACE("weights \"" + c.Weights + "\"");
    std::vector<std::string> arguments = {"/detect", "text.txt"};
    if (!c.Weights.empty()) {
      arguments.insert(arguments.end(), {"/weights", c.Weights});
    }
    const ProgramResult result = Detect(arguments);
    EXPECT_EQ(result.Out, kFoundThree + c.Report);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(DetectTest, ANegativeBestScoreIsNoCaseForTheFallback) {
  // Weights -1, -1, -1: DEU -3.5, RUS -3. The best, -3, is not 0.0.
  WriteFile(kDeu, DeuFile());
  WriteFile(kRus, RusFile());
  WriteFile("text.txt", kText);
  const ProgramResult result = Detect({"/detect", "text.txt", "/weights", "-1,-1,-1"});
  EXPECT_EQ(result.Out,
            "Found 2 dat files...\n"
            "Using ./ISO-8859-1.DEU.dat...\n"
            "Using ./KOI8-R.RUS.dat...\n" +
                kRusLine100 + "Detected:      ISO-8859-1 (DEU) with 116.6667%\n");
  EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(DetectTest, FindsNothingWithoutStatisticsFiles) {
  WriteFile("text.txt", kText);
  // Things that look like statistics files but are not.
  WriteFile("junk.dat", "STAX" + std::string(60, '\0'));
  WriteFile("short.dat", "STA");
  WriteFile("empty.dat", "");
  WriteFile("stats.txt", DeuFile());
  WriteFile("stats.dat.bak", DeuFile());
  WriteFile("dat", DeuFile());
  MakeDirectory("folder.dat");
  MakeDirectory("sub");
  WriteFile("sub/real.dat", DeuFile());
  fs::create_symlink("sub/real.dat", PathOf("link.dat"));
  ASSERT_EQ(::mkfifo(PathOf("fifo.dat").c_str(), 0600), 0);
  for (const std::string& input : {"text.txt"s, "missing.txt"s, ""s}) {
    SCOPED_TRACE("input \"" + input + "\"");
    const ProgramResult result = Detect({"/detect", input});
    EXPECT_EQ(result.Out, kNoFiles);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(DetectTest, AMissingInputEndsTheRunWhenFilesWereFound) {
  WriteThreeFiles();
  const ProgramResult result = Detect({"/detect", "missing.txt"});
  EXPECT_EQ(result.Out, "File \"missing.txt\" not found.\n");
  EXPECT_EQ(result.ExitCode, 255);

  const ProgramResult empty = Detect({"/detect", ""});
  EXPECT_EQ(empty.Out, "File \"\" not found.\n");
  EXPECT_EQ(empty.ExitCode, 255);

  const ProgramResult percent = Detect({"/detect", "%s%d%%.txt"});  // not a format
  EXPECT_EQ(percent.Out, "File \"%s%d%%.txt\" not found.\n");
  EXPECT_EQ(percent.ExitCode, 255);
}

TEST_F(DetectTest, ListsFilesInByteOrderOfNamesWithAnyCaseOfDat) {
  WriteFile("text.txt", kText);
  // Equal scores, so the report keeps the list order too.
  const std::vector<std::pair<std::string, std::string>> files = {
      {"c.Dat", "C"}, {"b.dat", "B"}, {"B2.dat", "B2"}, {"a.DAT", "A"}, {"_.dAt", "_"}};
  for (const auto& [name, tag] : files) {
    WriteFile(name, StatFile(tag, 14, {{{{Key('a'), 0.5}}, {}, {}}}));
  }
  const ProgramResult result = Detect({"/detect", "text.txt"});
  EXPECT_EQ(result.Out,
            "Found 5 dat files...\n"
            "Using ./B2.dat...\n"
            "Using ./_.dAt...\n"
            "Using ./a.DAT...\n"
            "Using ./b.dat...\n"
            "Using ./c.Dat...\n"
            "Detected:     ISO-8859-15 (B2) with 100.0000%\n"
            "Detected:     ISO-8859-15 (_) with 100.0000%\n"
            "Detected:     ISO-8859-15 (A) with 100.0000%\n"
            "Detected:     ISO-8859-15 (B) with 100.0000%\n"
            "Detected:     ISO-8859-15 (C) with 100.0000%\n");
  EXPECT_EQ(result.ExitCode, 0);
}

struct FailedAnalysisCase {
  std::string Name;
  std::string Input;
  bool AnalysisFails;
};

TEST_F(DetectTest, FallsBackWhenEveryScoreIsZero) {
  WriteThreeFiles();
  WriteFile("short.txt", "aaaa");  // four bytes: no position is scored
  WriteFile("five.txt", "ccccc");  // one position, but nothing matches
  WriteFile("empty.txt", "");
  MakeDirectory("folder");
  ASSERT_EQ(::mkfifo(PathOf("fifo").c_str(), 0600), 0);
  const std::vector<FailedAnalysisCase> cases = {
      {"a text of four bytes", "short.txt", false},
      {"an empty text", "empty.txt", false},
      {"a text that matches nothing", "five.txt", false},
      {"a directory as input", "folder", true},
      {"a FIFO as input", "fifo", true},
  };
  for (const FailedAnalysisCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const ProgramResult result = Detect({"/detect", c.Input});
    const std::string found =
        c.AnalysisFails
            ? "Found 3 dat files...\nAnalyzation failed\nAnalyzation failed\nAnalyzation failed\n"
            : kFoundThree;
    EXPECT_EQ(result.Out, found + kFallbackLine + kXyzwLine0 + kRusLine0);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(DetectTest, ATextOver4GiBCannotBeAnalyzed) {
  WriteThreeFiles();
  WriteFile("huge.txt", "");
  ASSERT_EQ(::truncate(PathOf("huge.txt").c_str(), 4294967296LL), 0);
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("huge.txt").c_str(), &info), 0);
  if (info.st_blocks > 1024) {
    GTEST_SKIP() << "the file system here does not keep files sparse";
  }
  const ProgramResult result = Detect({"/detect", "huge.txt"});
  EXPECT_EQ(result.Out,
            "Found 3 dat files...\nAnalyzation failed\nAnalyzation failed\nAnalyzation failed\n" +
                kFallbackLine + kXyzwLine0 + kRusLine0);
  EXPECT_EQ(result.ExitCode, 0);
}

struct ChangeCase {
  std::string Name;
  std::function<void(DetectTest&)> Change;
  std::string Out;
};

// The program waits in its first write ("Found ... dat files"), after the
// search and before any load; the test changes files there.
TEST_F(DetectTest, ReportsFilesThatCannotBeLoadedAfterTheSearch) {
  const std::string zeroRecordLine = "Detected:      ISO-8859-1 () with   0.0000%\n";
  const std::string loadError = "Error loading statistics file ./KOI8-R.RUS.dat.\n";
  // The zero record reads charset id 0, so it leads the equal scores.
  const std::string withRusUnloadable =
      "Found 3 dat files...\n"
      "Using ./ISO-8859-1.DEU.dat...\n" +
      loadError + "Using ./Windows-1252.XYZW.dat...\n" + kDeuLine100 + zeroRecordLine + kXyzwLine0;
  const std::vector<ChangeCase> cases = {
      {"removed", [](DetectTest& t) { fs::remove(t.PathOf(kRus)); }, withRusUnloadable},
      {"its magic overwritten",
       [](DetectTest& t) { t.WriteFile(kRus, "JUNK" + RusFile().substr(4)); }, withRusUnloadable},
      {"replaced by a directory",
       [](DetectTest& t) {
         fs::remove(t.PathOf(kRus));
         t.MakeDirectory(kRus);
       },
       withRusUnloadable},
      {"every file removed",
       [](DetectTest& t) {
         fs::remove(t.PathOf(kDeu));
         fs::remove(t.PathOf(kRus));
         fs::remove(t.PathOf(kXyzw));
       },
       "Found 3 dat files...\n"
       "Error loading statistics file ./ISO-8859-1.DEU.dat.\n"
       "Error loading statistics file ./KOI8-R.RUS.dat.\n"
       "Error loading statistics file ./Windows-1252.XYZW.dat.\n" +
           kFallbackLine + zeroRecordLine + zeroRecordLine},
      {"the text removed", [](DetectTest& t) { fs::remove(t.PathOf("text.txt")); },
       "Found 3 dat files...\nAnalyzation failed\nAnalyzation failed\nAnalyzation failed\n" +
           kFallbackLine + kXyzwLine0 + kRusLine0},
  };
  for (const ChangeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const std::string& name : {kDeu, kRus, kXyzw, "text.txt"s}) {
      fs::remove_all(PathOf(name));
    }
    WriteThreeFiles();
    WriteFile("text.txt", kText);
    ProgramRun run;
    run.Arguments = {"/detect", "text.txt"};
    run.WorkingDirectory = Dir;
    run.Environment = Utf8Environment();
    run.AtFirstOutput = [&] { c.Change(*this); };
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.Out, c.Out);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err, "");
  }
}

TEST_F(DetectTest, ShowsNamesAndTagsOfEveryKind) {
  WriteFile("text.txt", kText);
  WriteFile("1.dat", StatFile("ABCD", 77, {{{{Key('a'), 1.0}}, {}, {}}}));      // 4
  WriteFile("2.dat", StatFile("R\xE9", 50, {{{{Key('a'), 0.5}}, {}, {}}}));     // 2
  WriteFile("3.dat", "STAT");                                                   // 0
  WriteFile("4.dat", StatFile("neg", -1, {{{{Key('a'), 0.25}}, {}, {}}}));      // 1
  WriteFile("5.dat", StatFile("\x01x", 104, {{{{Key('a'), 0.125}}, {}, {}}}));  // 0.5
  const ProgramResult result = Detect({"/detect", "text.txt"});
  EXPECT_EQ(result.Out,
            "Found 5 dat files...\n"
            "Using ./1.dat...\n"
            "Using ./2.dat...\n"
            "Using ./3.dat...\n"
            "Using ./4.dat...\n"
            "Using ./5.dat...\n"
            "Detected:                 (ABCD) with 100.0000%\n"
            "Detected:          KOI8-R (R\xC3\xA9) with  50.0000%\n"
            "Detected:                 (neg) with  25.0000%\n"
            "Detected:        utf-32be (\x01x) with  12.5000%\n"
            "Detected:      ISO-8859-1 () with   0.0000%\n");
  EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(DetectTest, OrdersEqualScoresByCharsetIdThenListOrder) {
  // 24 files in three score levels and four charsets, interleaved; enough
  // records that an unstable sort would mix the members of a level up.
  WriteFile("text.txt", kText);
  const std::vector<std::pair<int32_t, std::string>> charsets = {
      {50, "KOI8-R"}, {0, "ISO-8859-1"}, {18, "Windows-1252"}, {14, "ISO-8859-15"}};
  const std::vector<int32_t> idsInReportOrder = {0, 14, 18, 50};
  struct Record {
    std::string Tag;
    int32_t CharsetId;
    std::string CharsetName;
    int Level;
  };
  std::vector<Record> records;
  std::string using_;
  for (int i = 0; i < 24; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    const int level = (i * 7 + i / 5) % 3 + 1;
    const auto& [id, name] = charsets[static_cast<size_t>(i) % charsets.size()];
    // Table 0 {a: level / 4}: the score is 4 x level / 4 = level.
    WriteFile("F" + number + ".dat",
              StatFile("T" + number, id, {{{{Key('a'), level / 4.0}}, {}, {}}}));
    records.push_back({"T" + number, id, name, level});
    using_ += "Using ./F" + number + ".dat...\n";
  }
  std::string report;
  for (int level = 3; level >= 1; --level) {
    for (const int32_t id : idsInReportOrder) {
      for (const Record& record : records) {
        if (record.Level == level && record.CharsetId == id) {
          report += DetectedLine(record.CharsetName, record.Tag, level * 100.0 / 3.0);
        }
      }
    }
  }
  const ProgramResult result = Detect({"/detect", "text.txt"});
  EXPECT_EQ(result.Out, "Found 24 dat files...\n" + using_ + report);
  EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(DetectTest, SortsNaNScoresAfterAllNumbers) {
  WriteFile("text.txt", kText);
  {
    SCOPED_TRACE("/weights 1e999: infinity times a zero sum");
    // Weights inf, 50, 100. 1.dat and 3.dat match nothing: inf x 0 is NaN.
    // 2.dat: inf x 2 = inf, the best; inf x 100 / inf is NaN too.
    WriteFile("1.dat", StatFile("N1", 50, {}));
    WriteFile("2.dat", StatFile("DEU", 0, {{{{Key('a'), 0.5}}, {}, {}}}));
    WriteFile("3.dat", StatFile("N3", 18, {{{{Key('b'), 1.0}}, {}, {}}}));
    const ProgramResult result = Detect({"/detect", "text.txt", "/weights", "1e999"});
    EXPECT_EQ(WithoutNanSigns(result.Out),
              "Found 3 dat files...\n"
              "Using ./1.dat...\n"
              "Using ./2.dat...\n"
              "Using ./3.dat...\n"
              "Detected:      ISO-8859-1 (DEU) with      nan%\n"
              "Detected:    Windows-1252 (N3) with      nan%\n"
              "Detected:          KOI8-R (N1) with      nan%\n");
    EXPECT_EQ(result.ExitCode, 0);
  }
  for (const std::string name : {"1.dat", "2.dat", "3.dat"}) {
    fs::remove(PathOf(name));
  }
  {
    SCOPED_TRACE("frequencies that are not numbers");
    WriteFile("1.dat", StatFile("NAN", 18, {{{{Key('a'), kNaN}}, {}, {}}}));
    WriteFile("2.dat", StatFile("DEU", 0, {{{{Key('a'), 0.5}}, {}, {}}}));     // 2
    WriteFile("3.dat", StatFile("NEG", 14, {{{{Key('a'), -kInf}}, {}, {}}}));  // -inf
    WriteFile("4.dat", StatFile("NAN2", 50, {{{}, {{Key('a', 'a'), -kNaN}}, {}}}));
    WriteFile("5.dat", StatFile("RUS", 50, {{{{Key('a'), 0.25}}, {}, {}}}));  // 1
    const ProgramResult result = Detect({"/detect", "text.txt"});
    EXPECT_EQ(WithoutNanSigns(result.Out),
              "Found 5 dat files...\n"
              "Using ./1.dat...\n"
              "Using ./2.dat...\n"
              "Using ./3.dat...\n"
              "Using ./4.dat...\n"
              "Using ./5.dat...\n"
              "Detected:      ISO-8859-1 (DEU) with 100.0000%\n"
              "Detected:          KOI8-R (RUS) with  50.0000%\n"
              "Detected:     ISO-8859-15 (NEG) with     -inf%\n"
              "Detected:    Windows-1252 (NAN) with      nan%\n"
              "Detected:          KOI8-R (NAN2) with      nan%\n");
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(DetectTest, FallsBackToTheSharedFolderOnlyWhenTheCurrentOneHasNone) {
  WriteFile("text.txt", kText);
  WriteFile("junk.dat", "not a statistics file");
  WriteSharedFile(kDeu, DeuFile());
  WriteSharedFile(kRus, RusFile());
  WriteSharedFile("notes.txt", DeuFile());
  {
    SCOPED_TRACE("the shared folder");
    const ProgramResult result = Detect({"/detect", "text.txt"});
    EXPECT_EQ(result.Out,
              "Found 2 dat files...\n"
              "Using " +
                  SharedFolder() + "/ISO-8859-1.DEU.dat...\n" + "Using " + SharedFolder() +
                  "/KOI8-R.RUS.dat...\n" + kDeuLine100 +
                  "Detected:          KOI8-R (RUS) with  33.4437%\n");
    EXPECT_EQ(result.ExitCode, 0);
  }
  {
    SCOPED_TRACE("the shared folder with a missing input");
    const ProgramResult result = Detect({"/detect", "missing.txt"});
    EXPECT_EQ(result.Out, "File \"missing.txt\" not found.\n");
    EXPECT_EQ(result.ExitCode, 255);
  }
  {
    SCOPED_TRACE("one file here: the shared folder is not searched");
    WriteFile(kXyzw, XyzwFile());
    const ProgramResult result = Detect({"/detect", "text.txt"});
    EXPECT_EQ(result.Out,
              "Found 1 dat files...\n"
              "Using ./Windows-1252.XYZW.dat...\n" +
                  kFallbackLine);
    EXPECT_EQ(result.ExitCode, 0);
  }
  fs::remove(PathOf(kXyzw));
  {
    SCOPED_TRACE("an empty shared folder");
    fs::remove(SharedFolder() + "/" + kDeu);
    fs::remove(SharedFolder() + "/" + kRus);
    const ProgramResult result = Detect({"/detect", "text.txt"});
    EXPECT_EQ(result.Out, kNoFiles);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

}  // namespace
}  // namespace e2e
