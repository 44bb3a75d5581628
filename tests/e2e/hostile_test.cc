// Hostile inputs: statistics files cut short, lying about their sizes, full of
// garbage or of numbers that are no numbers; "*.dat" names that are no regular
// files or change between the search and the load; texts that are tiny, all
// NUL bytes or unreadable; and a working directory that cannot be written.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// ----- statistics files whose counts need not agree with their entries -----

void Put32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

uint32_t Get32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
  }
  return value;
}

std::string Header(std::string_view tag, int32_t charsetId, uint32_t entryCount) {
  std::string out = "STAT";
  std::string tagBytes(tag);
  tagBytes.resize(4, '\0');
  out += tagBytes;
  Put32(out, static_cast<uint32_t>(charsetId));
  Put32(out, entryCount);
  return out;
}

std::string BlockHeader(uint32_t flags, uint32_t entryCount) {
  std::string out = "STBL";
  Put32(out, flags);
  Put32(out, entryCount);
  return out;
}

std::string EntryBytes(uint32_t key, double value) {
  std::string out;
  Put32(out, key);
  const auto bits = std::bit_cast<uint64_t>(value);
  Put32(out, static_cast<uint32_t>(bits));
  Put32(out, static_cast<uint32_t>(bits >> 32));
  return out;
}

/// The percentage the report shows for `score` against the best score.
double Percent(double score, double best) {
  return score * 100 / best;
}

// The text of most detect runs here, and a model that scores it 302: the
// text has 4 scored positions, each with a, aa and aaa, so the sums are 2, 1
// and 0.5 and the start weights 1, 50, 500 give 2 + 50 + 250.
const std::string kText = "aaaaaaaa";
std::string ReferenceFile(std::string_view tag = "REF", int32_t charsetId = 0) {
  return StatFile(tag, charsetId,
                  {{{{Key('a'), 0.5}}, {{Key('a', 'a'), 0.25}}, {{Key('a', 'a', 'a'), 0.125}}}});
}
constexpr double kReferenceScore = 302;

class HostileTest : public CE2eTest {
 protected:
  ProgramRun Prepared(std::vector<std::string> arguments) const {
    ProgramRun run;
    run.Arguments = std::move(arguments);
    run.WorkingDirectory = Dir;
    run.Environment = Utf8Environment();
    // Only a safety net: a run that waits for a FIFO or a device never ends.
    run.SignalAfterDelay = SIGKILL;
    run.Delay = std::chrono::minutes(5);
    return run;
  }

  /// Runs a detect that must change no file and write nothing to stderr.
  ProgramResult Detect(ProgramRun run) {
    const FileTree before = Snapshot();
    ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
    return result;
  }

  /// Lets the unprivileged user read everything below the test directory
  /// (which mkdtemp makes private): directories 0755, files 0644.
  void OpenToEveryone() const {
    fs::permissions(Dir, fs::perms(0755));
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Dir)) {
      if (entry.is_symlink()) {
        continue;
      }
      if (entry.is_directory()) {
        fs::permissions(entry.path(), fs::perms(0755));
      } else if (entry.is_regular_file()) {
        fs::permissions(entry.path(), fs::perms(0644));
      }
    }
  }
};

/// Keeps the program's memory small whatever a file claims: in a plain build
/// its whole address space (RLIMIT_AS); under AddressSanitizer, whose shadow
/// memory takes terabytes of address space, the size of any one allocation.
/// An allocation beyond the bound ends the program with an error.
void BoundMemory(ProgramRun& run, uint64_t mebibytes) {
#if defined(__SANITIZE_ADDRESS__)
  const std::string bound =
      "max_allocation_size_mb=" + std::to_string(mebibytes) + ":allocator_may_return_null=0";
  for (std::string& entry : run.Environment) {
    if (entry.starts_with("ASAN_OPTIONS=")) {
      entry += ":" + bound;
      return;
    }
  }
  run.Environment.push_back("ASAN_OPTIONS=" + bound);
#else
  run.Limits.push_back({RLIMIT_AS, mebibytes << 20});
#endif
}

#define SKIP_UNLESS_ANOTHER_USER_IS_POSSIBLE()                                            \
  if (!CanRunAsAnotherUser()) {                                                           \
    GTEST_SKIP() << "not running as root: the program cannot be run as an unprivileged "  \
                    "user, and for the tests' own user nothing here would be unreadable"; \
  }

// ----- statistics files cut at every byte -----

/// What a statistics file cut to `bytes` holds, read by the rules of the
/// format on its own: the keys of the entries that lie whole in the bytes.
struct CutFile {
  bool Listed = false;  // the first four bytes are "STAT"
  std::array<std::set<uint32_t>, 3> Keys;
};

CutFile ReadCut(std::string_view bytes) {
  CutFile cut;
  cut.Listed = bytes.size() >= 4 && bytes.substr(0, 4) == "STAT";
  size_t at = 16;
  for (size_t n = 0; n < 3; ++n) {
    if (at + 12 > bytes.size() || bytes.substr(at, 4) != "STBL") {
      break;
    }
    const uint32_t count = Get32(bytes, at + 8);
    at += 12;
    for (uint32_t i = 0; i < count; ++i, at += 12) {
      if (at + 12 > bytes.size()) {
        return cut;
      }
      cut.Keys[n].insert(Get32(bytes, at));
    }
  }
  return cut;
}

/// The keys of the sequences the scoring looks up: at each position up to the
/// size minus five, one, two and three bytes.
std::array<std::set<uint32_t>, 3> ScoredKeys(std::string_view text) {
  std::array<std::set<uint32_t>, 3> keys;
  for (size_t p = 0; p + 4 < text.size(); ++p) {
    uint32_t key = 0;
    for (size_t n = 0; n < 3; ++n) {
      key |= uint32_t{static_cast<uint8_t>(text[p + n])} << (8 * n);
      keys[n].insert(key);
    }
  }
  return keys;
}

TEST_F(HostileTest, EveryPrefixOfACollectedFileGivesTheReportOfTheEntriesItHoldsWhole) {
  // Latin-1 bytes; the spaces are ignored, so the blocks differ in size.
  const std::string sample =
      "Gr\xFC\xDF"
      "e aus K\xF6ln, gut!";
  WriteFile("sample.txt", sample);
  ASSERT_EQ(Run({"/collect", "sample.txt", "/charset", "koi8-r", "/language", "rus"}).ExitCode, 0);
  const std::string whole = ReadFile("KOI8-R.RUS.dat");
  fs::remove(PathOf("KOI8-R.RUS.dat"));
  {
    // Every block holds entries, so the cuts fall into each of them.
    const CutFile all = ReadCut(whole);
    ASSERT_EQ(whole.size(), 52 + 12 * size_t{Get32(whole, 12)});
    ASSERT_EQ(Get32(whole, 12), all.Keys[0].size() + all.Keys[1].size() + all.Keys[2].size());
    for (const auto& keys : all.Keys) {
      ASSERT_FALSE(keys.empty());
    }
  }
  // Every frequency a collect writes is positive, so the score is positive
  // exactly when a loaded key is one the text is scored by.
  const auto scored = ScoredKeys(sample);
  const std::string found = "Found 1 dat files...\nUsing ./cut.dat...\n";
  struct Cut {
    std::string Expected;
    ProgramResult Result;
  };
  std::vector<Cut> cuts(whole.size() + 1);
  size_t listedCuts = 0;
  size_t scoringCuts = 0;
  for (size_t size = 0; size <= whole.size(); ++size) {
    const CutFile cut = ReadCut(std::string_view(whole).substr(0, size));
    bool scores = false;
    for (size_t n = 0; n < 3; ++n) {
      for (const uint32_t key : cut.Keys[n]) {
        scores = scores || scored[n].contains(key);
      }
    }
    cuts[size].Expected = kNoFiles;
    if (cut.Listed) {
      cuts[size].Expected = found + (scores ? DetectedLine("KOI8-R", "RUS", 100) : kFallbackLine);
    }
    listedCuts += cut.Listed;
    scoringCuts += scores;
  }
  // A few runs at a time, each in a directory of its own with one cut as its
  // only statistics file.
  const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    const std::string directory = "w" + std::to_string(w);
    MakeDirectory(directory);
    threads.emplace_back([&, w, directory] {
      for (size_t size = w; size < cuts.size(); size += workers) {
        WriteFile(directory + "/cut.dat", whole.substr(0, size));
        ProgramRun run = Prepared({"/detect", "../sample.txt"});
        run.WorkingDirectory = PathOf(directory);
        cuts[size].Result = RunProgram(run);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (size_t size = 0; size < cuts.size(); ++size) {
    SCOPED_TRACE("the first " + std::to_string(size) + " of " + std::to_string(whole.size()) +
                 " bytes");
    EXPECT_EQ(cuts[size].Result.Out, cuts[size].Expected);
    EXPECT_EQ(cuts[size].Result.ExitCode, 0);
    EXPECT_EQ(cuts[size].Result.Err, "");
    if (HasFailure()) {
      break;  // one cut's report tells enough
    }
  }
  if (!HasFailure()) {
    // The reading above is no vacuous one: cuts from 4 bytes on are listed,
    // and from the first whole entry on they score.
    EXPECT_EQ(listedCuts, whole.size() + 1 - 4);
    EXPECT_EQ(scoringCuts, whole.size() + 1 - (16 + 12 + 12));
  }
}

// ----- counts that lie -----

struct CountCase {
  std::string Name;
  std::string File;
  double Score;  // against kText
};

TEST_F(HostileTest, EntryCountsOfBillionsAllocateNothingByThem) {
  constexpr uint32_t kHuge = 0xFFFFFFFF;
  constexpr uint32_t k32Mi = 1u << 25;  // 384 MiB of entries, more than the bound
  const std::string header = Header("BIG", 50, 2);
  const std::vector<CountCase> cases = {
      {"the header's count",
       Header("BIG", 50, kHuge) + BlockHeader(0, 1) + EntryBytes(Key('a'), 0.25) +
           BlockHeader(2, 1) + EntryBytes(Key('a', 'a'), 0.125) + BlockHeader(4, 0),
       1 + 50 * 0.5},
      {"the first block's count, the file ending after one entry",
       header + BlockHeader(0, kHuge) + EntryBytes(Key('a'), 0.25), 1},
      {"the first block's count of 32 Mi",
       header + BlockHeader(0, k32Mi) + EntryBytes(Key('a'), 0.25), 1},
      // The first block then takes in the rest of the file: each later block
      // header reads as one entry, with the key "STBL", which is no key of a
      // single byte, nor are the pairs and triples that follow.
      {"every count",
       Header("BIG", 50, kHuge) + BlockHeader(0, kHuge) + EntryBytes(Key('a'), 0.25) +
           BlockHeader(2, kHuge) + EntryBytes(Key('a', 'a'), 0.125) + BlockHeader(4, kHuge) +
           EntryBytes(Key('a', 'a', 'a'), 1.0),
       1},
      {"the second block's count, taking in the third block",
       header + BlockHeader(0, 0) + BlockHeader(2, kHuge) + EntryBytes(Key('a', 'a'), 0.125) +
           BlockHeader(4, 1) + EntryBytes(Key('a', 'a', 'a'), 1.0),
       50 * 0.5},
      {"the third block's count",
       header + BlockHeader(0, 0) + BlockHeader(2, 0) + BlockHeader(4, kHuge) +
           EntryBytes(Key('a', 'a', 'a'), 0.25),
       500 * 1.0},
  };
  WriteFile("text.txt", kText);
  WriteFile("ref.dat", ReferenceFile());
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFile("big.dat", c.File);
    ProgramRun run = Prepared({"/detect", "text.txt"});
    BoundMemory(run, 256);
    const ProgramResult result = Detect(run);
    const double best = std::max(c.Score, kReferenceScore);
    EXPECT_EQ(result.Out, "Found 2 dat files...\nUsing ./big.dat...\nUsing ./ref.dat...\n" +
                              (c.Score > kReferenceScore
                                   ? DetectedLine("KOI8-R", "BIG", Percent(c.Score, best)) +
                                         DetectedLine("ISO-8859-1", "REF", Percent(302, best))
                                   : DetectedLine("ISO-8859-1", "REF", Percent(302, best)) +
                                         DetectedLine("KOI8-R", "BIG", Percent(c.Score, best))));
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(HostileTest, FiftyMegabytesOfGarbageAreReadToTheEndInBoundedMemory) {
  constexpr size_t kGarbageEntries = 50'000'000 / 12;
  std::mt19937 random(2024);
  std::string garbage;
  garbage.reserve(kGarbageEntries * 12);
  for (size_t i = 0; i < kGarbageEntries * 3; ++i) {
    Put32(garbage, static_cast<uint32_t>(random()));
  }
  // The score needs the key of 'a' (0x61); the garbage itself must not hold it.
  bool garbageHoldsA = false;
  for (size_t at = 0; at < garbage.size(); at += 12) {
    garbageHoldsA = garbageHoldsA || Get32(garbage, at) == Key('a');
  }
  ASSERT_FALSE(garbageHoldsA);
  ASSERT_NE(garbage.substr(0, 4), "STBL");

  WriteFile("text.txt", kText);
  WriteFile("ref.dat", StatFile("REF", 0, {{{{Key('a'), 0.5}}, {}, {}}}));  // scores 2
  const std::string found = "Found 2 dat files...\nUsing ./junk.dat...\nUsing ./ref.dat...\n";
  const std::string refLine = DetectedLine("ISO-8859-1", "REF", 100);
  struct GarbageCase {
    std::string Name;
    std::string File;
    std::string Report;
  } const cases[] = {
      // Where the first block should begin: the blocks stop there.
      {"garbage after the header", Header("JNK", 18, 3) + garbage,
       found + refLine + DetectedLine("Windows-1252", "JNK", 0)},
      // A block that claims every entry there can be: the reader goes through
      // all 50 MB, keeps what has the form of a single byte's key, and finds the
      // entry at the very end (a: 0.25, a score of 1).
      {"garbage as the entries of a block",
       Header("JNK", 18, 3) + BlockHeader(0, 0xFFFFFFFF) + garbage + EntryBytes(Key('a'), 0.25),
       found + refLine + DetectedLine("Windows-1252", "JNK", 50)},
  };
  for (const GarbageCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_GT(c.File.size(), 50'000'000u - 12);
    WriteFile("junk.dat", c.File);
    ProgramRun run = Prepared({"/detect", "text.txt"});
    BoundMemory(run, 256);
    const ProgramResult result = Detect(run);
    EXPECT_EQ(result.Out, c.Report);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(HostileTest, ASparseFileOfZeroEntriesIsReadInBoundedMemory) {
  // 256 MiB that take no room on disk: a header, a block that claims every
  // entry there can be, then holes, which read as entries of key 0 and value 0.
  WriteFile("sparse.dat", Header("SPR", 50, 0) + BlockHeader(0, 0xFFFFFFFF));
  fs::resize_file(PathOf("sparse.dat"), 256u << 20);
  WriteFile("text.txt", kText);
  WriteFile("ref.dat", ReferenceFile());
  ProgramRun run = Prepared({"/detect", "text.txt"});
  BoundMemory(run, 256);
  const ProgramResult result = Detect(run);
  EXPECT_EQ(result.Out, "Found 2 dat files...\nUsing ./ref.dat...\nUsing ./sparse.dat...\n" +
                            DetectedLine("ISO-8859-1", "REF", 100) +
                            DetectedLine("KOI8-R", "SPR", 0));
  EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(HostileTest, InfiniteNaNAndNegativeFrequenciesRankAsTheirScoresWithNaNLast) {
  // Scores against kText, with the start weights 1, 50, 500:
  //   1.dat INF  {} {aa: inf} {}            50 x inf = inf
  //   2.dat POS  {a: 0.5}                   2
  //   3.dat NEG  {a: -0.25}                 -1
  //   4.dat NAN  {} {} {aaa: NaN}           NaN
  //   5.dat MIX  {a: inf} {aa: -inf} {}     inf - inf = NaN
  WriteFile("text.txt", kText);
  WriteFile("1.dat", StatFile("INF", 0, {{{}, {{Key('a', 'a'), kInf}}, {}}}));
  WriteFile("2.dat", StatFile("POS", 14, {{{{Key('a'), 0.5}}, {}, {}}}));
  WriteFile("3.dat", StatFile("NEG", 50, {{{{Key('a'), -0.25}}, {}, {}}}));
  WriteFile("4.dat", StatFile("NAN", 18, {{{}, {}, {{Key('a', 'a', 'a'), kNaN}}}}));
  WriteFile("5.dat", StatFile("MIX", 0, {{{{Key('a'), kInf}}, {{Key('a', 'a'), -kInf}}, {}}}));
  const std::string using5 =
      "Using ./1.dat...\nUsing ./2.dat...\nUsing ./3.dat...\nUsing ./4.dat...\nUsing ./5.dat...\n";
  {
    SCOPED_TRACE("an infinite best score");
    const ProgramResult result = Detect(Prepared({"/detect", "text.txt"}));
    // Against an infinite best, the best itself shows NaN, finite scores 0
    // (the negative one -0), and NaN stays NaN. The two NaN scores are equal
    // in rank, so the lower charset id comes first.
    EXPECT_EQ(WithoutNanSigns(result.Out),
              WithoutNanSigns("Found 5 dat files...\n" + using5 +
                              DetectedLine("ISO-8859-1", "INF", Percent(kInf, kInf)) +
                              DetectedLine("ISO-8859-15", "POS", 0.0) +
                              DetectedLine("KOI8-R", "NEG", -0.0) +
                              DetectedLine("ISO-8859-1", "MIX", kNaN) +
                              DetectedLine("Windows-1252", "NAN", kNaN)));
    EXPECT_EQ(result.ExitCode, 0);
  }
  fs::remove(PathOf("1.dat"));
  fs::remove(PathOf("5.dat"));
  {
    SCOPED_TRACE("a finite best score");
    const ProgramResult result = Detect(Prepared({"/detect", "text.txt"}));
    EXPECT_EQ(WithoutNanSigns(result.Out),
              WithoutNanSigns(
                  "Found 3 dat files...\nUsing ./2.dat...\nUsing ./3.dat...\nUsing ./4.dat...\n" +
                  DetectedLine("ISO-8859-15", "POS", 100) + DetectedLine("KOI8-R", "NEG", -50) +
                  DetectedLine("Windows-1252", "NAN", kNaN)));
    EXPECT_EQ(result.ExitCode, 0);
  }
}

// ----- "*.dat" names that are no regular files -----

TEST_F(HostileTest, DatNamesThatAreNoRegularFilesAreNotListed) {
  WriteFile("text.txt", kText);
  WriteFile("sub.txt", ReferenceFile("LNK"));
  ASSERT_EQ(::mkfifo(PathOf("fifo.dat").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", PathOf("zero.dat"));
  fs::create_symlink("/dev/urandom", PathOf("urandom.dat"));
  fs::create_symlink("/dev/stdin", PathOf("stdin.dat"));
  fs::create_symlink("nowhere.dat", PathOf("dangling.dat"));
  fs::create_symlink("loop.dat", PathOf("loop.dat"));  // a link to itself
  fs::create_symlink("sub.txt", PathOf("link.dat"));   // a link to a statistics file
  MakeDirectory("folder.dat");
  WriteFile("folder.dat/inner.dat", ReferenceFile("INR"));
  // A device node of its own, where the system lets us make one (as root).
  ::mknod(PathOf("null.dat").c_str(), S_IFCHR | 0666, makedev(1, 3));
  {
    SCOPED_TRACE("with no statistics file");
    const ProgramResult result = Detect(Prepared({"/detect", "text.txt"}));
    EXPECT_EQ(result.Out, kNoFiles);
    EXPECT_EQ(result.ExitCode, 0);
  }
  {
    SCOPED_TRACE("beside one statistics file");
    WriteFile("real.dat", ReferenceFile());
    const ProgramResult result = Detect(Prepared({"/detect", "text.txt"}));
    EXPECT_EQ(result.Out, "Found 1 dat files...\nUsing ./real.dat...\n" +
                              DetectedLine("ISO-8859-1", "REF", 100));
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST_F(HostileTest, UnreadableStatisticsFilesAreNotListed) {
  SKIP_UNLESS_ANOTHER_USER_IS_POSSIBLE();
  WriteFile("text.txt", kText);
  WriteFile("a.dat", StatFile("AAA", 14, {{{{Key('a'), 0.25}}, {}, {}}}));
  WriteFile("b.dat", ReferenceFile());
  OpenToEveryone();
  fs::permissions(PathOf("b.dat"), fs::perms::none);
  ProgramRun run = Prepared({"/detect", "text.txt"});
  run.User = kNobody;
  const ProgramResult result = Detect(run);
  EXPECT_EQ(result.Out,
            "Found 1 dat files...\nUsing ./a.dat...\n" + DetectedLine("ISO-8859-15", "AAA", 100));
  EXPECT_EQ(result.ExitCode, 0);

  // The same run as root reads it: the permissions are what kept it out.
  const ProgramResult asRoot = Detect(Prepared({"/detect", "text.txt"}));
  EXPECT_EQ(asRoot.Out, "Found 2 dat files...\nUsing ./a.dat...\nUsing ./b.dat...\n" +
                            DetectedLine("ISO-8859-1", "REF", 100) +
                            DetectedLine("ISO-8859-15", "AAA", Percent(1, 302)));
}

struct ChangeCase {
  std::string Name;
  std::function<void(HostileTest&)> Change;
  bool AsNobody;
  bool Loads;  // the changed file still loads, with empty tables
};

// The program waits in its first write ("Found ... dat files"), after the
// search and before any load; there the test puts something else in place of
// a listed file. Removal, a directory and a wrong magic are tested with the
// other detect tests.
TEST_F(HostileTest, ListedFilesReplacedBeforeTheLoadAreReportedAndNeverWaitedFor) {
  const auto replaceBy = [](std::function<void(const std::string&)> make) {
    return [make](HostileTest& t) {
      fs::remove(t.PathOf("b.dat"));
      make(t.PathOf("b.dat"));
    };
  };
  const std::vector<ChangeCase> cases = {
      {"a FIFO", replaceBy([](const std::string& path) { ::mkfifo(path.c_str(), 0666); }), false,
       false},
      {"a link to /dev/zero",
       replaceBy([](const std::string& path) { fs::create_symlink("/dev/zero", path); }), false,
       false},
      {"a link to a statistics file",
       replaceBy([](const std::string& path) { fs::create_symlink("a.dat", path); }), false, false},
      {"a dangling link",
       replaceBy([](const std::string& path) { fs::create_symlink("gone.dat", path); }), false,
       false},
      {"its first 3 bytes", [](HostileTest& t) { fs::resize_file(t.PathOf("b.dat"), 3); }, false,
       false},
      {"its header and 4 bytes", [](HostileTest& t) { fs::resize_file(t.PathOf("b.dat"), 20); },
       false, true},
      {"made unreadable",
       [](HostileTest& t) { fs::permissions(t.PathOf("b.dat"), fs::perms::none); }, true, false},
  };
  WriteFile("text.txt", kText);
  const std::string aLine = DetectedLine("ISO-8859-15", "AAA", 100);  // a.dat scores 1
  for (const ChangeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.AsNobody && !CanRunAsAnotherUser()) {
      continue;
    }
    fs::remove(PathOf("b.dat"));
    WriteFile("a.dat", StatFile("AAA", 14, {{{{Key('a'), 0.25}}, {}, {}}}));
    WriteFile("b.dat", ReferenceFile("BBB", 50));
    OpenToEveryone();
    ProgramRun run = Prepared({"/detect", "text.txt"});
    if (c.AsNobody) {
      run.User = kNobody;
    }
    run.AtFirstOutput = [&] { c.Change(*this); };
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.Out,
              "Found 2 dat files...\nUsing ./a.dat...\n" +
                  (c.Loads ? "Using ./b.dat...\n" + aLine + DetectedLine("KOI8-R", "BBB", 0)
                           : "Error loading statistics file ./b.dat.\n" + aLine +
                                 DetectedLine("ISO-8859-1", "", 0)));
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err, "");
  }
}

// ----- texts -----

TEST_F(HostileTest, TextsOfOneToThreeBytesGiveEmptyModelsAndTheFallback) {
  WriteFile("a.dat", ReferenceFile("AAA", 14));
  WriteFile("b.dat", ReferenceFile("BBB", 50));
  for (const std::string& text : {"a"s, "aa"s, "aaa"s}) {
    SCOPED_TRACE(std::to_string(text.size()) + " bytes");
    WriteFile("short.txt", text);
    const ProgramResult detect = Detect(Prepared({"/detect", "short.txt"}));
    EXPECT_EQ(detect.Out, "Found 2 dat files...\nUsing ./a.dat...\nUsing ./b.dat...\n" +
                              kFallbackLine + DetectedLine("KOI8-R", "BBB", 0));
    EXPECT_EQ(detect.ExitCode, 0);

    const FileTree before = Snapshot();
    const ProgramResult collect = Run({"/collect", "short.txt"});
    EXPECT_EQ(collect.Out, Building("short.txt"));
    EXPECT_EQ(collect.ExitCode, 0);
    ExpectFiles(before, Snapshot(), {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, {}}}});
    fs::remove(PathOf("ISO-8859-15.ENG.dat"));
  }
}

TEST_F(HostileTest, ATextOfNulBytesOnlyIsScoredByItsNulSequencesButNeverCollected) {
  const std::string nuls(8, '\0');
  WriteFile("nul.txt", nuls);
  // The sequences of NUL bytes have the keys 0 in every table.
  WriteFile("a.dat", ReferenceFile("AAA", 14));
  WriteFile("z.dat", StatFile("ZZZ", 50, {{{{0, 0.5}}, {{0, 0.25}}, {{0, 0.125}}}}));
  const ProgramResult detect = Detect(Prepared({"/detect", "nul.txt"}));
  EXPECT_EQ(detect.Out, "Found 2 dat files...\nUsing ./a.dat...\nUsing ./z.dat...\n" +
                            DetectedLine("KOI8-R", "ZZZ", 100) +
                            DetectedLine("ISO-8859-15", "AAA", 0));
  EXPECT_EQ(detect.ExitCode, 0);

  // Byte 0 is always ignored: nothing is counted, even with an empty ignore set.
  WriteFile("empty.bin", "");
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, std::vector<std::string>{"/ignore", "empty.bin"}}) {
    SCOPED_TRACE(options.empty() ? "the default ignore set" : "an empty ignore set");
    std::vector<std::string> arguments = {"/collect", "nul.txt"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const FileTree before = Snapshot();
    const ProgramResult collect = Run(arguments);
    EXPECT_EQ(collect.Out, Building("nul.txt"));
    EXPECT_EQ(collect.ExitCode, 0);
    ExpectFiles(before, Snapshot(), {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, {}}}});
    fs::remove(PathOf("ISO-8859-15.ENG.dat"));
  }
}

TEST_F(HostileTest, AnUnreadableTextFailsVisibly) {
  SKIP_UNLESS_ANOTHER_USER_IS_POSSIBLE();
  WriteFile("a.dat", ReferenceFile("AAA", 14));
  WriteFile("b.dat", ReferenceFile("BBB", 50));
  WriteFile("ISO-8859-15.ENG.dat", StatFile("OLD", 14, {{{{Key('o'), 1.0}}, {}, {}}}));
  WriteFile("locked.txt", kText);
  OpenToEveryone();
  fs::permissions(PathOf("locked.txt"), fs::perms::none);
  {
    SCOPED_TRACE("detect");
    ProgramRun run = Prepared({"/detect", "locked.txt"});
    run.User = kNobody;
    const ProgramResult result = Detect(run);
    // The file exists, so the run goes on; every analysis fails. In list
    // order: ISO-8859-15.ENG.dat (OLD, replaced by the fallback), a, b.
    EXPECT_EQ(result.Out,
              "Found 3 dat files...\nAnalyzation failed\nAnalyzation failed\nAnalyzation failed\n" +
                  kFallbackLine + DetectedLine("ISO-8859-15", "AAA", 0) +
                  DetectedLine("KOI8-R", "BBB", 0));
    EXPECT_EQ(result.ExitCode, 0);
  }
  {
    SCOPED_TRACE("collect");
    ProgramRun run = Prepared({"/collect", "locked.txt"});
    run.User = kNobody;
    const FileTree before = Snapshot();
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.Out, Building("locked.txt") + kReadError);
    EXPECT_EQ(result.ExitCode, 255);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
  }
}

TEST_F(HostileTest, AnUnreadableIgnoreFileLeavesTheDefaultSet) {
  SKIP_UNLESS_ANOTHER_USER_IS_POSSIBLE();
  WriteFile("text.txt", kText);
  WriteFile("skip.bin", "a");
  OpenToEveryone();
  ASSERT_EQ(::chown(Dir.c_str(), kNobody, kNobody), 0);  // where the collect writes
  fs::permissions(PathOf("skip.bin"), fs::perms::none);
  // 4 positions of a, aa and aaa: shares of the running totals 4, 8 and 12.
  const ExpectedTables defaultSet = {
      {{{Key('a'), 4, 4}}, {{Key('a', 'a'), 4, 8}}, {{Key('a', 'a', 'a'), 4, 12}}}};
  struct {
    std::string Name;
    bool AsNobody;
    ExpectedTables Model;
  } const cases[] = {
      {"unreadable", true, defaultSet},
      {"read, as root", false, {}},  // "a" ignored: nothing is counted
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const FileTree before = Snapshot();
    ProgramRun run = Prepared({"/collect", "text.txt", "/ignore", "skip.bin"});
    if (c.AsNobody) {
      run.User = kNobody;
    }
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.Out, Building("text.txt"));
    EXPECT_EQ(result.ExitCode, 0);
    ExpectFiles(before, Snapshot(), {{"ISO-8859-15.ENG.dat", {"ENG\0"s, 14, c.Model}}});
    fs::remove(PathOf("ISO-8859-15.ENG.dat"));
  }
}

// ----- a working directory that cannot be written -----

TEST_F(HostileTest, ACollectWhereNothingCanBeWrittenFailsAndKeepsTheOldFile) {
  SKIP_UNLESS_ANOTHER_USER_IS_POSSIBLE();
  MakeDirectory("locked");
  WriteFile("locked/a.txt", "abababab");
  const std::string old = StatFile("ENG", 14, {{{{Key('o'), 1.0}}, {}, {}}});
  WriteFile("locked/ISO-8859-15.ENG.dat", old);
  OpenToEveryone();
  fs::permissions(PathOf("locked"), fs::perms(0555));
  const FileTree before = Snapshot();
  ProgramRun run = Prepared({"/collect", "a.txt"});
  run.WorkingDirectory = PathOf("locked");
  run.User = kNobody;
  const ProgramResult result = RunProgram(run);
  EXPECT_EQ(result.Out, Building("a.txt") + WriteError("ISO-8859-15.ENG.dat"));
  EXPECT_EQ(result.ExitCode, 255);
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
  EXPECT_EQ(ReadFile("locked/ISO-8859-15.ENG.dat"), old);
}

}  // namespace
}  // namespace e2e
