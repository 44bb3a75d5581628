// The option loop and the run driver, seen from the command line.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using namespace std::string_literals;

// Two samples and two statistics files that tell apart which text a detect
// run scored:
//   ISO-8859-1.DEU.dat  table 0 {b: 0.5}
//   KOI8-R.RUS.dat      table 0 {a: 0.5, b: 0.25}, table 1 {ab: 0.125}
// a.txt "abababab" (4 positions: a b a b; pairs ab ba ab ba):
//   DEU 2 x 0.5 = 1; RUS 1 x (0.5 + 0.25 + 0.5 + 0.25) + 50 x 2 x 0.125 = 14
// b.txt "bbbbbbbb": DEU 4 x 0.5 = 2; RUS 4 x 0.25 = 1
const std::string kSampleA = "abababab";
const std::string kSampleB = "bbbbbbbb";

const std::string kDetectA =
    "Found 2 dat files...\n"
    "Using ./ISO-8859-1.DEU.dat...\n"
    "Using ./KOI8-R.RUS.dat...\n"
    "Detected:          KOI8-R (RUS) with 100.0000%\n"
    "Detected:      ISO-8859-1 (DEU) with   7.1429%\n";  // 1 x 100 / 14
const std::string kDetectB =
    "Found 2 dat files...\n"
    "Using ./ISO-8859-1.DEU.dat...\n"
    "Using ./KOI8-R.RUS.dat...\n"
    "Detected:      ISO-8859-1 (DEU) with 100.0000%\n"
    "Detected:          KOI8-R (RUS) with  50.0000%\n";

const std::string kUsage = "<usage>";  // stands for the usage text
const std::string kRefusal = "UTF-8, UTF-16 or UTF-32 character sets are not supported.\n";

// The model of "abababab" with the default ignore set and threshold.
const ExpectedTables kModelA = {{
    {{Key('a'), 2, 4}, {Key('b'), 2, 4}},
    {{Key('a', 'b'), 2, 8}, {Key('b', 'a'), 2, 8}},
    {{Key('a', 'b', 'a'), 2, 12}, {Key('b', 'a', 'b'), 2, 12}},
}};

struct CliCase {
  std::string Name;
  std::vector<std::string> Arguments;
  std::string Out;
  int ExitCode;
  std::map<std::string, ExpectedStat> Written;
};

class CliTest : public CE2eTest {
 protected:
  void SetUp() override {
    CE2eTest::SetUp();
    WriteFile("a.txt", kSampleA);
    WriteFile("b.txt", kSampleB);
    WriteFile("ISO-8859-1.DEU.dat", StatFile("DEU", 0, {{{{Key('b'), 0.5}}, {}, {}}}));
    WriteFile(
        "KOI8-R.RUS.dat",
        StatFile("RUS", 50, {{{{Key('a'), 0.5}, {Key('b'), 0.25}}, {{Key('a', 'b'), 0.125}}, {}}}));
  }

  /// Runs one case and checks its whole output, exit code and the files it
  /// wrote; those files are removed again for the next case.
  void ExpectOutcome(const CliCase& c) {
    SCOPED_TRACE(c.Name);
    const FileTree before = Snapshot();
    const ProgramResult result = Run(c.Arguments);
    if (c.Out == kUsage) {
      EXPECT_TRUE(IsUsageText(result.Out));
    } else {
      EXPECT_EQ(result.Out, c.Out);
    }
    EXPECT_EQ(result.ExitCode, c.ExitCode);
    EXPECT_EQ(result.Err, "");
    ExpectFiles(before, Snapshot(), c.Written);
    for (const auto& [name, stat] : c.Written) {
      std::filesystem::remove(PathOf(name));
    }
  }
};

TEST_F(CliTest, RunsTheCommandTheOptionsName) {
  const std::vector<CliCase> cases = {
      {"no arguments", {}, kUsage, 0, {}},
      {"/COLLECT",
       {"/COLLECT", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelA}}}},
      {"/Detect", {"/Detect", "b.txt"}, kDetectB, 0, {}},
      {"a lone /detect", {"/detect"}, kUsage, 0, {}},
      {"a lone /collect", {"/collect"}, kUsage, 0, {}},
      {"only unknown arguments", {"foo", "b.txt", "/analyze", "a.txt"}, kUsage, 0, {}},
      {"options without a command",
       {"/language", "deu", "/charset", "koi8-r", "/ignore", "x"},
       kUsage,
       0,
       {}},
      {"/detect wins when last", {"/collect", "a.txt", "/detect", "b.txt"}, kDetectB, 0, {}},
      {"/collect wins when last",
       {"/detect", "b.txt", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelA}}}},
      {"a trailing option is ignored", {"/detect", "b.txt", "/collect"}, kDetectB, 0, {}},
      {"a trailing /charset is ignored", {"/detect", "a.txt", "/charset"}, kDetectA, 0, {}},
      {"an unknown argument is skipped", {"foo", "/detect", "b.txt"}, kDetectB, 0, {}},
      {"an option takes an option name as its value",
       {"/language", "/detect", "b.txt"},
       kUsage,
       0,
       {}},
      {"/ignore takes /collect as its value", {"/ignore", "/collect", "a.txt"}, kUsage, 0, {}},
      {"utf8 is refused", {"/charset", "utf8", "/detect", "b.txt"}, kRefusal, 255, {}},
      {"auto is refused", {"/charset", "auto", "/detect", "b.txt"}, kRefusal, 255, {}},
      {"UTF-16BE is refused before a collect",
       {"/charset", "UTF-16BE", "/collect", "a.txt"},
       kRefusal,
       255,
       {}},
      {"a refusal after a command", {"/collect", "a.txt", "/charset", "Utf 32"}, kRefusal, 255, {}},
      {"a refusal with no command", {"/charset", "utf-8"}, kRefusal, 255, {}},
      {"a UTF name followed by more is unknown",
       {"/charset", "utf-8le", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-1.ENG.dat", {"ENG\0"s, 0, kModelA}}}},
      {"an unknown charset collects as id 0",
       {"/charset", "nonsense", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-1.ENG.dat", {"ENG\0"s, 0, kModelA}}}},
      {"options of collect do not change detect",
       {"/language", "xx", "/threshold", "90", "/ignore", "a.txt", "/charset", "KOI8-U", "/detect",
        "b.txt"},
       kDetectB,
       0,
       {}},
      {"the detect command ignores a /language that names a path",
       {"/language", "a/b", "/detect", "a.txt"},
       kDetectA,
       0,
       {}},
  };
  for (const CliCase& c : cases) {
    ExpectOutcome(c);
  }
}

// The model of "abababab" with /threshold 100: thresholds 8, 4 and 2 for
// the three tables, so only the triples (2 each) stay.
const ExpectedTables kModelATriplesOnly = {{
    {},
    {},
    {{Key('a', 'b', 'a'), 2, 4}, {Key('b', 'a', 'b'), 2, 4}},
}};
// The model of "abababab" with the ignore set "a": b twice, nothing longer.
const ExpectedTables kModelAWithoutA = {{{{Key('b'), 2, 2}}, {}, {}}};
// a.txt with the weights 1, 1, 1: DEU 1, RUS 1.5 + 0.25.
const std::string kDetectAEvenWeights =
    "Found 2 dat files...\n"
    "Using ./ISO-8859-1.DEU.dat...\n"
    "Using ./KOI8-R.RUS.dat...\n"
    "Detected:          KOI8-R (RUS) with 100.0000%\n"
    "Detected:      ISO-8859-1 (DEU) with  57.1429%\n";
// a.txt with the weights 0, 0, 0: every score 0; DEU, first, is the fallback.
const std::string kDetectAZeroWeights =
    "Found 2 dat files...\n"
    "Using ./ISO-8859-1.DEU.dat...\n"
    "Using ./KOI8-R.RUS.dat...\n"
    "Detected:     ISO-8859-15 (ENG) with 100.0000%\n"
    "Detected:          KOI8-R (RUS) with   0.0000%\n";

std::vector<CliCase> HostileCommandLines() {
  const std::string lead = "\xED\xA0\x80";   // a lone high surrogate, as UTF-8 would write it
  const std::string trail = "\xED\xB0\x80";  // a lone low surrogate
  const std::string longPath(100'000, 'p');
  const std::map<std::string, ExpectedStat> modelA = {
      {"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelA}}};
  std::vector<CliCase> cases = {
      // Given twice: the later one counts.
      {"/charset twice",
       {"/charset", "koi8-r", "/charset", "iso-8859-1", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-1.ENG.dat", {"ENG\0"s, 0, kModelA}}}},
      {"a refused /charset is not undone by a later one",
       {"/charset", "utf-8", "/charset", "latin1", "/collect", "a.txt"},
       kRefusal,
       255,
       {}},
      {"/threshold twice, the later 0",
       {"/threshold", "100", "/threshold", "0", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       modelA},
      {"/threshold twice, the later 100",
       {"/threshold", "0", "/threshold", "100", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelATriplesOnly}}}},
      {"/ignore twice, the later missing",
       {"/ignore", "ign-a.bin", "/ignore", "missing.bin", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       modelA},
      {"/ignore twice, the later present",
       {"/ignore", "missing.bin", "/ignore", "ign-a.bin", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelAWithoutA}}}},
      {"/weights twice",
       {"/weights", "0,0,0", "/weights", "1,1,1", "/detect", "a.txt"},
       kDetectAEvenWeights,
       0,
       {}},
      {"/collect twice", {"/collect", "b.txt", "/collect", "a.txt"}, Building("a.txt"), 0, modelA},
      {"/detect twice", {"/detect", "a.txt", "/detect", "b.txt"}, kDetectB, 0, {}},
      // Values of 100,000 characters.
      {"a long /language",
       {"/language", std::string(100'000, 'q'), "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.QQQQ.dat", {"QQQQ", 14, kModelA}}}},
      {"a long /charset",
       {"/charset", std::string(100'000, 'x'), "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-1.ENG.dat", {"ENG\0"s, 0, kModelA}}}},
      {"a long /threshold that is almost 0",
       {"/threshold", "0." + std::string(99'997, '0') + "5", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       modelA},
      {"a long /threshold of 100",
       {"/threshold", std::string(99'997, '0') + "100", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelATriplesOnly}}}},
      {"a long /weights",
       {"/weights",
        [] {
          std::string ones;
          for (int i = 0; i < 50'000; ++i) {
            ones += "1,";
          }
          return ones;
        }(),
        "/detect", "a.txt"},
       kDetectAEvenWeights,
       0,
       {}},
      {"a long /collect path", {"/collect", longPath}, Building(longPath) + kReadError, 255, {}},
      {"a long /detect path",
       {"/detect", longPath},
       "File \"" + longPath + "\" not found.\n",
       255,
       {}},
      {"a long /ignore path",
       {"/ignore", longPath, "/collect", "a.txt"},
       Building("a.txt"),
       0,
       modelA},
      {"a long unknown argument",
       {"/" + std::string(99'999, 'x'), "/detect", "b.txt"},
       kDetectB,
       0,
       {}},
      // Bytes that are no UTF-8: the encoding of lone surrogates, and others.
      {"a lone high surrogate as /language",
       {"/language", lead, "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.\xC3\xAD\xC2\xA0\xC2\x80.dat", {"\xED\xA0\x80\0"s, 14, kModelA}}}},
      {"a lone low surrogate as /language",
       {"/language", trail, "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.\xC3\xAD\xC2\xB0\xC2\x80.dat", {"\xED\xB0\x80\0"s, 14, kModelA}}}},
      {"a surrogate pair encoded one by one as /language",
       {"/language", "\xED\xA0\xBD\xED\xB8\x80", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.\xC3\xAD\xC2\xA0\xC2\xBD\xC3\xAD.dat", {"\xED\xA0\xBD\xED", 14, kModelA}}}},
      {"a lone surrogate as /charset",
       {"/charset", lead, "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-1.ENG.dat", {"ENG\0"s, 0, kModelA}}}},
      {"a lone surrogate in the /collect path",
       {"/collect", lead + ".txt"},
       Building(lead + ".txt"),
       0,
       modelA},
      {"a lone surrogate in the /detect path", {"/detect", trail + ".txt"}, kDetectB, 0, {}},
      {"a missing /detect path of a lone surrogate",
       {"/detect", lead},
       "File \"" + lead + "\" not found.\n",
       255,
       {}},
      {"a lone surrogate in the /ignore path",
       {"/ignore", trail + ".bin", "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelAWithoutA}}}},
      {"a /threshold number ending in a lone surrogate",
       {"/threshold", "100" + lead, "/collect", "a.txt"},
       Building("a.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kModelATriplesOnly}}}},
      {"/weights of no number count 0",
       {"/weights", lead, "/detect", "a.txt"},
       kDetectAZeroWeights,
       0,
       {}},
      {"an option name with a byte that is no UTF-8", {"/detect\xFF", "b.txt"}, kUsage, 0, {}},
  };
  // Every option as the last argument, without its value, after a command;
  // "/collect" and "/charset" after "/detect" are in the table above.
  for (const std::string option :
       {"/threshold", "/language", "/charset", "/collect", "/ignore", "/detect", "/weights"}) {
    cases.push_back({"a trailing " + option + " after /collect",
                     {"/collect", "a.txt", option},
                     Building("a.txt"),
                     0,
                     modelA});
    if (option != "/collect" && option != "/charset") {
      cases.push_back({"a trailing " + option + " after /detect",
                       {"/detect", "b.txt", option},
                       kDetectB,
                       0,
                       {}});
    }
  }
  return cases;
}

TEST_F(CliTest, HostileCommandLinesHaveTheirExactOutcome) {
  WriteFile("ign-a.bin", "a");
  WriteFile("\xED\xB0\x80.bin", "a");
  WriteFile("\xED\xA0\x80.txt", kSampleA);
  WriteFile("\xED\xB0\x80.txt", kSampleB);
  for (const CliCase& c : HostileCommandLines()) {
    ExpectOutcome(c);
  }
}

TEST_F(CliTest, UsageTextIsTheSameForEveryWayOfGettingIt) {
  const ProgramResult none = Run({});
  ASSERT_TRUE(IsUsageText(none.Out));
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"/detect"}, {"/language", "/detect", "b.txt"}, {"foo"}}) {
    EXPECT_EQ(Run(arguments).Out, none.Out);
  }
}

}  // namespace
}  // namespace e2e
