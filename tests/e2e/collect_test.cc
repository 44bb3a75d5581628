// The collect command: file names, headers, tables, ignore files, failures.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// "abababab" with the default ignore set and threshold: 4 positions (a b a b).
// Table 0 a 2, b 2 (total 4); table 1 ab 2, ba 2 (total 8); table 2 aba 2,
// bab 2 (total 12: the running total is not reset per table).
const std::string kSample = "abababab";
const ExpectedTables kSampleModel = {{
    {{Key('a'), 2, 4}, {Key('b'), 2, 4}},
    {{Key('a', 'b'), 2, 8}, {Key('b', 'a'), 2, 8}},
    {{Key('a', 'b', 'a'), 2, 12}, {Key('b', 'a', 'b'), 2, 12}},
}};
const ExpectedTables kEmptyModel = {};

struct NameCase {
  std::vector<std::string> Options;  // before "/collect a.txt"
  std::string FileName;
  std::string Tag;
  int32_t CharsetId;
};

TEST_F(CE2eTest, CollectNamesTheFileAfterCharsetAndLanguage) {
  const std::vector<NameCase> cases = {
      {{}, "ISO-8859-15.ENG.dat", "ENG\0"s, 14},
      {{"/charset", "iso-8859-1", "/language", "deu"}, "ISO-8859-1.DEU.dat", "DEU\0"s, 0},
      {{"/language", "deutsch"}, "ISO-8859-15.DEUT.dat", "DEUT", 14},
      {{"/language", "de"}, "ISO-8859-15.DEG.dat", "DEG\0"s, 14},
      {{"/language", ""}, "ISO-8859-15.ENG.dat", "ENG\0"s, 14},
      {{"/language", "fr", "/language", "d"}, "ISO-8859-15.DRG.dat", "DRG\0"s, 14},
      {{"/charset", "KOI8-R", "/language", "rus"}, "KOI8-R.RUS.dat", "RUS\0"s, 50},
      {{"/charset", "latin-9"}, "ISO-8859-15.ENG.dat", "ENG\0"s, 14},
      {{"/charset", "cp874"}, "Windows-874.ENG.dat", "ENG\0"s, 15},
      {{"/charset", "874"}, "DOS-874.ENG.dat", "ENG\0"s, 40},
      {{"/charset", "CP10007"}, "MSMAC-CYRILLIC.ENG.dat", "ENG\0"s, 41},
      {{"/charset", "ebcdic-1026"}, "EBCDIC-1026.ENG.dat", "ENG\0"s, 59},
      {{"/charset", "nonsense"}, "ISO-8859-1.ENG.dat", "ENG\0"s, 0},
      {{"/language", "abcd/"}, "ISO-8859-15.ABCD.dat", "ABCD", 14},
      {{"/language", "%s"}, "ISO-8859-15.%SG.dat", "%SG\0"s, 14},  // not a format
      // Non-ASCII tags: the low byte of each code unit, shown as the
      // character of that value (U+00E9, U+00FF: UTF-8 C3 A9, C3 BF).
      {{"/language", "d\xC3\xA9u"}, "ISO-8859-15.D\xC3\xA9U.dat", "D\xE9U\0"s, 14},
      {{"/language", "\xC5\xA1\xC3\xBF"}, "ISO-8859-15.A\xC3\xBFG.dat", "A\xFFG\0"s, 14},
      // A byte that is not UTF-8 becomes a tag byte of the same value.
      {{"/language", "x\xE9"}, "ISO-8859-15.X\xC3\xA9G.dat", "X\xE9G\0"s, 14},
  };
  WriteFile("a.txt", kSample);
  const FileTree before = Snapshot();
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.FileName);
    std::vector<std::string> arguments = c.Options;
    arguments.insert(arguments.end(), {"/collect", "a.txt"});
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.Out, Building("a.txt"));
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err, "");
    ExpectFiles(before, Snapshot(), {{c.FileName, {c.Tag, c.CharsetId, kSampleModel}}});
    fs::remove(PathOf(c.FileName));
  }
}

TEST_F(CE2eTest, CollectOfATextShorterThanFiveBytesWritesEmptyTables) {
  // The 52-byte file of an empty model, byte for byte.
  const std::string expected =
      "STAT"
      "ENG\0"s
      "\x0E\0\0\0"s
      "\0\0\0\0"s
      "STBL"
      "\0\0\0\0"s
      "\0\0\0\0"s
      "STBL"
      "\x02\0\0\0"s
      "\0\0\0\0"s
      "STBL"
      "\x04\0\0\0"s
      "\0\0\0\0"s;
  for (const std::string& text : {""s, "a"s, "abcd"s}) {
    WriteFile("short.txt", text);
    const ProgramResult result = Run({"/collect", "short.txt"});
    EXPECT_EQ(result.Out, Building("short.txt"));
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(ReadFile("ISO-8859-15.ENG.dat"), expected) << "text of " << text.size() << " bytes";
  }
}

struct ThresholdCase {
  std::string Threshold;
  ExpectedTables Model;
};

TEST_F(CE2eTest, CollectDropsSequencesBelowTheThreshold) {
  // "aaaaaaaabxyz": 12 bytes, 8 positions. Counts: a 8; aa 7, ab 1;
  // aaa 6, aab 1, abx 1.
  const ExpectedTables all = {{
      {{Key('a'), 8, 8}},
      {{Key('a', 'a'), 7, 16}, {Key('a', 'b'), 1, 16}},
      {{Key('a', 'a', 'a'), 6, 24}, {Key('a', 'a', 'b'), 1, 24}, {Key('a', 'b', 'x'), 1, 24}},
  }};
  const std::vector<ThresholdCase> cases = {
      {"", all},  // the default 0.003% of 12 bytes: thresholds 0, 0, 0
      {"0", all},
      {"abc", all},    // no number: 0
      {"-0.01", all},  // products between -1 and 0 truncate to 0
      // 50% of 12 bytes: thresholds 6, 3 and 2; only the frequent sequences stay.
      {"50", {{{{Key('a'), 8, 8}}, {{Key('a', 'a'), 7, 15}}, {{Key('a', 'a', 'a'), 6, 21}}}}},
      {"50xyz", {{{{Key('a'), 8, 8}}, {{Key('a', 'a'), 7, 15}}, {{Key('a', 'a', 'a'), 6, 21}}}}},
      // 5e1 is 50 too, and d serves as an exponent letter.
      {"5d1", {{{{Key('a'), 8, 8}}, {{Key('a', 'a'), 7, 15}}, {{Key('a', 'a', 'a'), 6, 21}}}}},
      // 60%: thresholds 7, 3, 2: a stays, aa (7) stays, aaa (6) stays.
      {"60", {{{{Key('a'), 8, 8}}, {{Key('a', 'a'), 7, 15}}, {{Key('a', 'a', 'a'), 6, 21}}}}},
      // 70%: thresholds 8, 4, 2.
      {"70", {{{{Key('a'), 8, 8}}, {{Key('a', 'a'), 7, 15}}, {{Key('a', 'a', 'a'), 6, 21}}}}},
      // 100%: thresholds 12, 6, 4: no single byte reaches 12.
      {"100", {{{}, {{Key('a', 'a'), 7, 7}}, {{Key('a', 'a', 'a'), 6, 13}}}}},
      // A negative threshold: thresholds wrap to huge numbers; nothing stays.
      {"-100", kEmptyModel},
      {"1e999", all},  // an infinite product gives the threshold 0
  };
  WriteFile("t.txt", "aaaaaaaabxyz");
  for (const ThresholdCase& c : cases) {
    SCOPED_TRACE("threshold \"" + c.Threshold + "\"");
    std::vector<std::string> arguments = {"/collect", "t.txt"};
    if (!c.Threshold.empty()) {
      arguments.insert(arguments.begin(), {"/threshold", c.Threshold});
    }
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.Out, Building("t.txt"));
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(IsStatFile(ReadFile("ISO-8859-15.ENG.dat"), "ENG\0"s, 14, c.Model));
  }
}

struct IgnoreCase {
  std::string Name;
  bool WithIgnoreFile;
  std::string IgnoreContent;  // written to skip.bin when WithIgnoreFile
  std::string IgnorePath;     // the /ignore value, empty for none
  ExpectedTables Model;
};

TEST_F(CE2eTest, CollectTakesTheIgnoreSetFromTheIgnoreFile) {
  // "x ya" + "zzzz": positions 0 to 3 start at x, space, y and a.
  // Default set (0x01..0x20): the space ends positions 0 and 1.
  const ExpectedTables defaults = {{
      {{Key('x'), 1, 3}, {Key('y'), 1, 3}, {Key('a'), 1, 3}},
      {{Key('y', 'a'), 1, 5}, {Key('a', 'z'), 1, 5}},
      {{Key('y', 'a', 'z'), 1, 7}, {Key('a', 'z', 'z'), 1, 7}},
  }};
  // The letter a ignored, the space counted.
  const ExpectedTables withoutA = {{
      {{Key('x'), 1, 3}, {Key(' '), 1, 3}, {Key('y'), 1, 3}},
      {{Key('x', ' '), 1, 5}, {Key(' ', 'y'), 1, 5}},
      {{Key('x', ' ', 'y'), 1, 6}},
  }};
  // Only byte 0 ignored.
  const ExpectedTables nothingIgnored = {{
      {{Key('x'), 1, 4}, {Key(' '), 1, 4}, {Key('y'), 1, 4}, {Key('a'), 1, 4}},
      {{Key('x', ' '), 1, 8}, {Key(' ', 'y'), 1, 8}, {Key('y', 'a'), 1, 8}, {Key('a', 'z'), 1, 8}},
      {{Key('x', ' ', 'y'), 1, 12},
       {Key(' ', 'y', 'a'), 1, 12},
       {Key('y', 'a', 'z'), 1, 12},
       {Key('a', 'z', 'z'), 1, 12}},
  }};
  const std::vector<IgnoreCase> cases = {
      {"no /ignore", false, "", "", defaults},
      {"abc", true, "abc", "skip.bin", withoutA},
      {"empty", true, "", "skip.bin", nothingIgnored},
      // 300 bytes: q, then a at index 255, then y from index 256 on; only the
      // first 256 count, so y is not ignored.
      {"300 bytes", true, std::string(255, 'q') + "a" + std::string(44, 'y'), "skip.bin", withoutA},
      // 256 bytes exactly, the last one counting.
      {"256 bytes", true, std::string(255, 'q') + "a", "skip.bin", withoutA},
      // The third byte is 0: only the first two count, y after it does not.
      {"third byte 0", true, "ab\0y"s, "skip.bin", withoutA},
      {"first byte 0", true, "\0a y"s, "skip.bin", nothingIgnored},
      {"missing ignore file", false, "", "missing.bin", defaults},
      {"ignore path is a directory", false, "", "folder", defaults},
      {"1 byte", true, "a", "skip.bin", withoutA},
      // What is no regular file is not read: 256 bytes of /dev/zero would
      // make an empty set.
      {"a FIFO", false, "", "fifo.bin", defaults},
      {"/dev/zero", false, "", "/dev/zero", defaults},
      {"a link to /dev/urandom", false, "", "urandom.bin", defaults},
      {"a dangling link", false, "", "dangling.bin", defaults},
      {"a link to an ignore file", true, "abc", "link.bin", withoutA},
  };
  WriteFile("s.txt", "x yazzzz");
  MakeDirectory("folder");
  ASSERT_EQ(::mkfifo(PathOf("fifo.bin").c_str(), 0600), 0);
  fs::create_symlink("/dev/urandom", PathOf("urandom.bin"));
  fs::create_symlink("nowhere.bin", PathOf("dangling.bin"));
  fs::create_symlink("skip.bin", PathOf("link.bin"));
  for (const IgnoreCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.WithIgnoreFile) {
      WriteFile("skip.bin", c.IgnoreContent);
    }
    const FileTree before = Snapshot();
    std::vector<std::string> arguments = {"/collect", "s.txt"};
    if (!c.IgnorePath.empty()) {
      arguments.insert(arguments.end(), {"/ignore", c.IgnorePath});
    }
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.Out, Building("s.txt"));
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err, "");
    ExpectFiles(before, Snapshot(), {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, c.Model}}});
    fs::remove(PathOf("ISO-8859-15.ENG.dat"));
    fs::remove(PathOf("skip.bin"));
  }
}

TEST_F(CE2eTest, CollectTwiceReplacesTheFile) {
  WriteFile("a.txt", kSample);
  ASSERT_EQ(Run({"/collect", "a.txt"}).ExitCode, 0);
  ASSERT_TRUE(IsStatFile(ReadFile("ISO-8859-15.ENG.dat"), "ENG\0"s, 14, kSampleModel));

  WriteFile("a.txt", "cccccc");  // 2 positions: c 2; cc 2; ccc 2
  const FileTree before = Snapshot();
  const ProgramResult result = Run({"/collect", "a.txt"});
  EXPECT_EQ(result.Out, Building("a.txt"));
  EXPECT_EQ(result.ExitCode, 0);
  ExpectFiles(before, Snapshot(),
              {{"ISO-8859-15.ENG.dat",
                {"ENG\0"s,
                 14,
                 {{{{Key('c'), 2, 2}}, {{Key('c', 'c'), 2, 4}}, {{Key('c', 'c', 'c'), 2, 6}}}}}}});
}

TEST_F(CE2eTest, CollectOfAnUnreadableTextFailsAndWritesNothing) {
  const std::string previous = StatFile("ENG", 14, {{{{Key('p'), 1.0}}, {}, {}}});
  WriteFile("ISO-8859-15.ENG.dat", previous);
  MakeDirectory("folder.txt");
  ASSERT_EQ(::mkfifo(PathOf("fifo.txt").c_str(), 0600), 0);
  const std::vector<std::string> inputs = {"missing.txt", "folder.txt", "fifo.txt", ""};
  for (const std::string& input : inputs) {
    SCOPED_TRACE("input \"" + input + "\"");
    const FileTree before = Snapshot();
    const ProgramResult result = Run({"/collect", input, "/language", "eng"});
    EXPECT_EQ(result.Out, Building(input) + kReadError);
    EXPECT_EQ(result.ExitCode, 255);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(Snapshot(), before);
  }
}

TEST_F(CE2eTest, CollectOfATextOver4GiBFailsAndWritesNothing) {
  // A sparse file: one byte past the largest size a text may have.
  {
    WriteFile("huge.txt", "");
    ASSERT_EQ(::truncate(PathOf("huge.txt").c_str(), 4294967296LL), 0);
    struct stat info {};
    ASSERT_EQ(::stat(PathOf("huge.txt").c_str(), &info), 0);
    if (info.st_blocks > 1024) {
      fs::remove(PathOf("huge.txt"));
      GTEST_SKIP() << "the file system here does not keep files sparse";
    }
  }
  const ProgramResult result = Run({"/collect", "huge.txt"});
  EXPECT_EQ(result.Out, Building("huge.txt") + kReadError);
  EXPECT_EQ(result.ExitCode, 255);
  EXPECT_FALSE(fs::exists(PathOf("ISO-8859-15.ENG.dat")));
}

TEST_F(CE2eTest, CollectThatCannotWriteKeepsThePreviousFile) {
  WriteFile("a.txt", kSample);
  const std::string previous = StatFile("ENG", 14, {{{{Key('p'), 1.0}}, {}, {}}});

  {
    SCOPED_TRACE("a directory in the way");
    MakeDirectory("ISO-8859-15.ENG.dat");
    WriteFile("ISO-8859-15.ENG.dat/inside", "x");
    const FileTree before = Snapshot();
    const ProgramResult result = Run({"/collect", "a.txt"});
    EXPECT_EQ(result.Out, Building("a.txt") + WriteError("ISO-8859-15.ENG.dat"));
    EXPECT_EQ(result.ExitCode, 255);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
    fs::remove_all(PathOf("ISO-8859-15.ENG.dat"));
  }
  {
    // The new file needs 52 + 6 x 12 = 124 bytes; the limit lets 100 through.
    SCOPED_TRACE("a file size limit");
    WriteFile("ISO-8859-15.ENG.dat", previous);
    const FileTree before = Snapshot();
    ProgramRun run;
    run.Arguments = {"/collect", "a.txt"};
    run.WorkingDirectory = Dir;
    run.Environment = Utf8Environment();
    run.FileSizeLimit = 100;
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.Out, Building("a.txt") + WriteError("ISO-8859-15.ENG.dat"));
    EXPECT_EQ(result.ExitCode, 255);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());

    // The same run without the limit replaces the file.
    run.FileSizeLimit = 124;
    const ProgramResult unlimited = RunProgram(run);
    EXPECT_EQ(unlimited.Out, Building("a.txt"));
    EXPECT_EQ(unlimited.ExitCode, 0);
    ExpectFiles(before, Snapshot(), {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, kSampleModel}}});
  }
}

struct RefusedTagCase {
  std::string Language;
  std::string Shown;  // the tag as the message shows it
};

TEST_F(CE2eTest, CollectRefusesALanguageTagThatHoldsASlash) {
  const std::vector<RefusedTagCase> cases = {
      {"a/bc", "A/BC"}, {"/", "/NG"},        {"de/", "DE/"},
      {"///x", "///X"}, {"\xC4\xAF", "/NG"},  // U+012F: its low byte is '/'
  };
  WriteFile("a.txt", kSample);
  const FileTree before = Snapshot();
  for (const RefusedTagCase& c : cases) {
    SCOPED_TRACE("language \"" + c.Language + "\"");
    for (const std::string& input : {"a.txt"s, "missing.txt"s}) {
      const ProgramResult result = Run({"/language", c.Language, "/collect", input});
      EXPECT_EQ(result.Out,
                "Language \"" + c.Shown + "\" contains \"/\" and cannot be part of a file name.\n");
      EXPECT_EQ(result.ExitCode, 255);
      EXPECT_EQ(result.Err, "");
      EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
    }
  }
}

TEST_F(CE2eTest, CollectLeavesNoTemporaryFileBehind) {
  WriteFile("a.txt", kSample);
  for (int run = 0; run < 3; ++run) {
    ASSERT_EQ(Run({"/collect", "a.txt", "/language", "deu"}).ExitCode, 0);
  }
  const FileTree after = Snapshot();
  std::vector<std::string> names;
  for (const auto& [name, content] : after) {
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"ISO-8859-15.DEU.dat", "a.txt"}));
}

}  // namespace
}  // namespace e2e
