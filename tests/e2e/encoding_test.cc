// Output bytes whatever the locale, file names that are not UTF-8, and paths
// longer than the program's path buffers.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// "abababab": the model a 2/4, b 2/4; ab 2/8, ba 2/8; aba 2/12, bab 2/12.
const std::string kSample = "abababab";
const ExpectedTables kSampleModel = {{
    {{Key('a'), 2, 4}, {Key('b'), 2, 4}},
    {{Key('a', 'b'), 2, 8}, {Key('b', 'a'), 2, 8}},
    {{Key('a', 'b', 'a'), 2, 12}, {Key('b', 'a', 'b'), 2, 12}},
}};

struct LocaleCase {
  std::string Name;
  std::vector<std::string> Arguments;
  std::string Out;  // empty: the usage text
  int ExitCode;
  std::map<std::string, ExpectedStat> Written;
};

class EncodingTest : public CE2eTest {
 protected:
  void SetUp() override {
    CE2eTest::SetUp();
    MakeDirectory("stats");
    // Byte order of the names: "D\xC3\xA9U..." (0x44), "\xC3\xA9.dat", "\xFF.dat".
    WriteFile("stats/D\xC3\xA9U.dat", StatFile("D\xE9U", 0, {{{{Key('a'), 0.5}}, {}, {}}}));
    WriteFile("stats/\xC3\xA9.dat", StatFile("\xC9T\xC9", 50, {{{{Key('a'), 0.25}}, {}, {}}}));
    WriteFile("stats/\xFF.dat", StatFile("\xFF\x80", 18, {{{{Key('a'), 0.125}}, {}, {}}}));
    WriteFile("stats/t\xE9st.txt", "aaaaaaaa");
    WriteFile("stats/t\xC3\xABst.txt", "aaaaaaaa");
    WriteFile("t\xE9st.txt", kSample);
    WriteFile("t\xC3\xABst.txt", kSample);
  }
};

TEST_F(EncodingTest, PrintsTheSameBytesUnderEveryLocale) {
  // Scores against "aaaaaaaa": 2, 1 and 0.5.
  const std::string report =
      "Found 3 dat files...\n"
      "Using ./D\xC3\xA9U.dat...\n"
      "Using ./\xC3\xA9.dat...\n"
      "Using ./\xFF.dat...\n"
      "Detected:      ISO-8859-1 (D\xC3\xA9U) with 100.0000%\n"
      "Detected:          KOI8-R (\xC3\x89T\xC3\x89) with  50.0000%\n"
      "Detected:    Windows-1252 (\xC3\xBF\xC2\x80) with  25.0000%\n";
  const std::vector<LocaleCase> cases = {
      {"usage", {}, "", 0, {}},
      {"collect, a UTF-8 name",
       {"/collect", "t\xC3\xABst.txt"},
       Building("t\xC3\xABst.txt"),
       0,
       {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kSampleModel}}}},
      {"collect, a name that is not UTF-8, a non-ASCII tag",
       {"/collect", "t\xE9st.txt", "/language", "d\xC3\xA9u"},
       Building("t\xE9st.txt"),
       0,
       {{"ISO-8859-15.D\xC3\xA9U.dat", {"D\xE9U\0"s, 14, kSampleModel}}}},
      {"collect, a missing name that is not UTF-8",
       {"/collect", "m\xE9ssing"},
       Building("m\xE9ssing") + "Error building statistics file, may be file was not found...\n",
       255,
       {}},
      {"collect, a refused non-ASCII tag",
       {"/language", "\xC3\xA9/", "/collect", "t\xE9st.txt"},
       "Language \"\xC3\xA9/G\" contains \"/\" and cannot be part of a file name.\n",
       255,
       {}},
      {"detect, names that are not UTF-8", {"/detect", "t\xE9st.txt"}, report, 0, {}},
      {"detect, a UTF-8 name", {"/detect", "t\xC3\xABst.txt"}, report, 0, {}},
      {"detect, a missing name that is not UTF-8",
       {"/detect", "\xE9\xFF"},
       "File \"\xE9\xFF\" not found.\n",
       255,
       {}},
  };
  for (const auto& [environmentName, environment] : LocaleEnvironments()) {
    for (const LocaleCase& c : cases) {
      SCOPED_TRACE(c.Name + " with " + environmentName);
      const std::string directory = c.Name.starts_with("detect") ? "stats" : "";
      const FileTree before = Snapshot();
      const ProgramResult result = RunIn(directory, c.Arguments, environment);
      if (c.Out.empty()) {
        EXPECT_TRUE(IsUsageText(result.Out));
        EXPECT_EQ(result.Out, Run({}).Out);
      } else {
        EXPECT_EQ(result.Out, c.Out);
      }
      EXPECT_EQ(result.ExitCode, c.ExitCode);
      EXPECT_EQ(result.Err, "");
      ExpectFiles(before, Snapshot(), c.Written);
      for (const auto& [name, stat] : c.Written) {
        fs::remove(PathOf(name));
      }
    }
  }
}

TEST_F(EncodingTest, UsesAStatisticsFolderWhoseNameIsNotUtf8) {
  // The test's own directory name is ASCII; a subdirectory that is not UTF-8
  // holds the text, and the path is printed back as its own bytes.
  MakeDirectory("\xE9\xE8");
  WriteFile("\xE9\xE8/t.txt", "aaaaaaaa");
  WriteFile("x.dat", StatFile("DEU", 0, {{{{Key('a'), 0.5}}, {}, {}}}));
  for (const auto& [environmentName, environment] : LocaleEnvironments()) {
    SCOPED_TRACE(environmentName);
    const ProgramResult result = Run({"/detect", "\xE9\xE8/t.txt"}, environment);
    EXPECT_EQ(result.Out,
              "Found 1 dat files...\n"
              "Using ./x.dat...\n"
              "Detected:      ISO-8859-1 (DEU) with 100.0000%\n");
    EXPECT_EQ(result.ExitCode, 0);
    const ProgramResult missing = Run({"/detect", "\xE9\xE8/none.txt"}, environment);
    EXPECT_EQ(missing.Out, "File \"\xE9\xE8/none.txt\" not found.\n");
    EXPECT_EQ(missing.ExitCode, 255);
  }
}

// A path of more than 259 characters is taken whole. Its first 259
// characters name another file of their own, which a cut path would open.
class LongPathTest : public CE2eTest {
 protected:
  void SetUp() override {
    CE2eTest::SetUp();
    std::string directory;
    for (int level = 0; level < 6; ++level) {
      directory += std::string(50, static_cast<char>('a' + level)) + "/";
    }
    directory.pop_back();
    MakeDirectory(directory);
    Long = directory + "/long-name.txt";
    Cut = Long.substr(0, 259);
    ASSERT_GT(Long.size(), 300u);
    // The cut ends inside the sixth directory name: a file of that name.
    ASSERT_EQ(fs::path(Cut).parent_path().string().size(), 254u);
  }

  std::string Long;
  std::string Cut;
};

TEST_F(LongPathTest, CollectReadsTheWholePath) {
  WriteFile(Long, kSample);
  WriteFile(Cut, "cccccc");
  const FileTree before = Snapshot();
  const ProgramResult result = Run({"/collect", Long});
  EXPECT_EQ(result.Out, Building(Long));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Err, "");
  ExpectFiles(before, Snapshot(), {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kSampleModel}}});

  // Without the whole path's file, nothing is read at all.
  fs::remove(PathOf(Long));
  fs::remove(PathOf("ISO-8859-15.ENG.dat"));
  const ProgramResult missing = Run({"/collect", Long});
  EXPECT_EQ(missing.Out,
            Building(Long) + "Error building statistics file, may be file was not found...\n");
  EXPECT_EQ(missing.ExitCode, 255);
  EXPECT_FALSE(fs::exists(PathOf("ISO-8859-15.ENG.dat")));
}

TEST_F(LongPathTest, CollectReadsTheWholeIgnorePath) {
  WriteFile("sample.txt", "ab ab ab");
  WriteFile(Long, "b");  // ignore b: only a, and the space, are counted
  WriteFile(Cut, "");    // would ignore nothing but byte 0
  ASSERT_EQ(Run({"/collect", "sample.txt", "/ignore", Long}).ExitCode, 0);
  // "ab ab ab": positions at a, b, space, a; b ends every sequence.
  EXPECT_TRUE(IsStatFile(ReadFile("ISO-8859-15.ENG.dat"), "ENG\0"s, 14,
                         {{{{Key('a'), 2, 3}, {Key(' '), 1, 3}}, {{Key(' ', 'a'), 1, 4}}, {}}}));
}

TEST_F(LongPathTest, DetectReadsTheWholePath) {
  WriteFile(Long, "aaaaaaaa");
  WriteFile(Cut, "bbbbbbbb");
  WriteFile("A.dat", StatFile("AAA", 0, {{{{Key('a'), 0.5}}, {}, {}}}));
  WriteFile("B.dat", StatFile("BBB", 0, {{{{Key('b'), 0.25}}, {}, {}}}));
  const ProgramResult result = Run({"/detect", Long});
  EXPECT_EQ(result.Out,
            "Found 2 dat files...\n"
            "Using ./A.dat...\n"
            "Using ./B.dat...\n"
            "Detected:      ISO-8859-1 (AAA) with 100.0000%\n"
            "Detected:      ISO-8859-1 (BBB) with   0.0000%\n");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Err, "");

  fs::remove(PathOf(Long));
  const ProgramResult missing = Run({"/detect", Long});
  EXPECT_EQ(missing.Out, "File \"" + Long + "\" not found.\n");
  EXPECT_EQ(missing.ExitCode, 255);
}

}  // namespace
}  // namespace e2e
