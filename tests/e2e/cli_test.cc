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

std::string Building(const std::string& path) {
  return "Building statistics with \"" + path + "\" file...\n";
}

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
