// Faults while a collect writes its statistics file: a full file system, a
// kill in the middle of the write or at any other moment, and two collects
// writing the same name at once. The file of that name is always whole: the
// old one or a complete new one.
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <latch>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

const std::string kName = "ISO-8859-15.ENG.dat";
// The previous file of that name; it scores the random texts below.
const std::string kOldFile = StatFile("OLD", 14, {{{{Key('B'), 1.0}}, {}, {}}});

/// Random bytes from 'A' on, of `letters` different values: with 40, a model
/// of tens of thousands of triples, a statistics file of hundreds of kilobytes.
std::string RandomText(size_t size, unsigned seed, unsigned letters = 40) {
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char& c : text) {
    c = static_cast<char>('A' + random() % letters);
  }
  return text;
}

uint32_t Get32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
  }
  return value;
}

/// Whether `bytes` are a complete statistics file: the magic, three blocks
/// with the flags 0, 2 and 4 whose counts add up to the header's, and exactly
/// 52 + 12 x that many bytes.
::testing::AssertionResult IsWholeStatFile(std::string_view bytes) {
  if (bytes.size() < 52 || bytes.substr(0, 4) != "STAT") {
    return ::testing::AssertionFailure() << "no header: " << bytes.size() << " bytes";
  }
  const uint64_t total = Get32(bytes, 12);
  if (bytes.size() != 52 + 12 * total) {
    return ::testing::AssertionFailure() << bytes.size() << " bytes for " << total << " entries";
  }
  uint64_t sum = 0;
  size_t at = 16;
  for (uint32_t n = 0; n < 3; ++n) {
    if (bytes.substr(at, 4) != "STBL" || Get32(bytes, at + 4) != 2 * n) {
      return ::testing::AssertionFailure() << "block " << n << " header at " << at;
    }
    const uint32_t count = Get32(bytes, at + 8);
    sum += count;
    at += 12 + 12 * size_t{count};
    if (at > bytes.size() - (2 - n) * 12) {
      return ::testing::AssertionFailure() << "block " << n << " runs past the end";
    }
  }
  if (sum != total) {
    return ::testing::AssertionFailure() << "blocks hold " << sum << " of " << total << " entries";
  }
  return ::testing::AssertionSuccess();
}

/// Whether `name` is the hidden temporary file of a write of kName.
bool IsTemporaryName(const std::string& name) {
  static const std::regex pattern(R"(\.ISO-8859-15\.ENG\.dat\.[0-9]+-[0-9]+\.tmp)");
  return std::regex_match(name, pattern);
}

class WriteFaultTest : public CE2eTest {
 protected:
  void TearDown() override {
    if (!Mounted.empty()) {
      ::umount2(Mounted.c_str(), MNT_DETACH);
    }
    CE2eTest::TearDown();
  }

  ProgramRun Collect(const std::string& text) const { return Prepared({"/collect", text}); }

  ProgramRun Prepared(std::vector<std::string> arguments) const {
    ProgramRun run;
    run.Arguments = std::move(arguments);
    run.WorkingDirectory = Dir;
    run.Environment = Utf8Environment();
    // No core file of a killed run in the directory under test.
    run.Limits.push_back({RLIMIT_CORE, 0});
    return run;
  }

  /// The statistics file the collect `run` writes when nothing goes wrong;
  /// the directory is left as it was.
  std::string CollectedFile(const ProgramRun& run) {
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.ExitCode, 0);
    std::string bytes = ReadFile(kName);
    fs::remove(PathOf(kName));
    EXPECT_TRUE(IsWholeStatFile(bytes));
    return bytes;
  }

  /// Checks that the directory holds what `before` held, but with kName as
  /// one of `allowed`, and hidden temporary files of a killed write at most;
  /// removes those and returns how many there were.
  int ExpectWholeFileAndRemoveLeftovers(FileTree before, const std::vector<std::string>& allowed) {
    FileTree after = Snapshot();
    int leftovers = 0;
    for (auto entry = after.begin(); entry != after.end();) {
      if (!before.contains(entry->first) && IsTemporaryName(entry->first)) {
        ++leftovers;
        fs::remove(PathOf(entry->first));
        entry = after.erase(entry);
      } else {
        ++entry;
      }
    }
    const auto file = after.find(kName);
    if (file == after.end()) {
      ADD_FAILURE() << "no " << kName << " after the run:\n" << Describe(after);
      return leftovers;
    }
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), ReadFile(kName)), allowed.end())
        << kName << " is neither of the whole files it may be (" << file->second.size()
        << " bytes)";
    after.erase(kName);
    before.erase(kName);
    EXPECT_EQ(after, before) << "the other files:\n" << Describe(after);
    return leftovers;
  }

  std::string Mounted;
};

TEST_F(WriteFaultTest, ACollectOntoAFullFileSystemFailsAndKeepsThePreviousFile) {
  WriteFile("big.txt", RandomText(200'000, 1));
  const std::string text = PathOf("big.txt");
  const std::string fresh = CollectedFile(Collect(text));
  ASSERT_GT(fresh.size(), 64u << 10) << "the new file must not fit the file system";

  MakeDirectory("small");
  const std::string small = PathOf("small");
  if (::mount("tmpfs", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a 64 KiB tmpfs here (" << std::strerror(errno)
                 << "); the file size limit tests cover a failing write";
  }
  Mounted = small;
  const std::string& old = kOldFile;
  WriteFile("small/" + kName, old);
  const FileTree before = Snapshot();

  ProgramRun run = Collect(text);
  run.WorkingDirectory = small;
  const ProgramResult result = RunProgram(run);
  EXPECT_EQ(result.Out, Building(text) + "Error writing statistics file \"" + kName +
                            "\"; any previous file of that name is unchanged.\n");
  EXPECT_EQ(result.ExitCode, 255);
  EXPECT_EQ(result.Err, "");
  EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());

  // With room enough the same run replaces the file.
  ASSERT_EQ(::mount("tmpfs", small.c_str(), "tmpfs", MS_REMOUNT | MS_NOSUID | MS_NODEV, "size=4m"),
            0)
      << std::strerror(errno);
  const ProgramResult roomy = RunProgram(run);
  EXPECT_EQ(roomy.Out, Building(text));
  EXPECT_EQ(roomy.ExitCode, 0);
  EXPECT_EQ(ReadFile("small/" + kName), fresh);
}

TEST_F(WriteFaultTest, ACollectKilledInTheMiddleOfTheWriteLeavesThePreviousFileWhole) {
  WriteFile("big.txt", RandomText(200'000, 2));
  const std::string fresh = CollectedFile(Collect("big.txt"));
  constexpr uint64_t kLimit = 16 << 10;
  ASSERT_GT(fresh.size(), 2 * kLimit);
  const std::string& old = kOldFile;
  WriteFile(kName, old);
  const FileTree before = Snapshot();

  // Beyond 16 KiB a write raises SIGXFSZ, which ends the program.
  ProgramRun run = Collect("big.txt");
  run.Limits.push_back({RLIMIT_FSIZE, kLimit});
  const ProgramResult result = RunProgram(run);
  EXPECT_EQ(result.Signal, SIGXFSZ);
  EXPECT_EQ(result.Out, Building("big.txt"));

  // Its hidden temporary file may stay (nothing runs after the kill), cut at
  // the limit; it does not end in ".dat", so no search ever lists it.
  std::vector<std::string> leftovers;
  for (const auto& [name, content] : Snapshot()) {
    if (!before.contains(name)) {
      leftovers.push_back(name);
      EXPECT_TRUE(IsTemporaryName(name)) << name;
      EXPECT_LE(content.size(), kLimit);
    }
  }
  EXPECT_LE(leftovers.size(), 1u);
  EXPECT_EQ(ReadFile(kName), old);
  const ProgramResult listed = RunProgram(Prepared({"/detect", "big.txt"}));
  EXPECT_EQ(listed.Out, "Found 1 dat files...\nUsing ./" + kName + "...\n" +
                            DetectedLine("ISO-8859-15", "OLD", 100));
  EXPECT_EQ(listed.ExitCode, 0);
  EXPECT_EQ(ExpectWholeFileAndRemoveLeftovers(before, {old}), static_cast<int>(leftovers.size()));
}

TEST_F(WriteFaultTest, ACollectKilledBeforeItWritesChangesNothing) {
  WriteFile("big.txt", RandomText(200'000, 3));
  WriteFile(kName, kOldFile);
  const FileTree before = Snapshot();
  ProgramRun run = Collect("big.txt");
  run.SignalAtFirstOutput = SIGKILL;  // waiting to print "Building statistics"
  const ProgramResult result = RunProgram(run);
  EXPECT_EQ(result.Signal, SIGKILL);
  EXPECT_EQ(result.Out, "");
  EXPECT_EQ(Snapshot(), before) << Describe(Snapshot());
}

/// Holds every open of a file in a directory, except of the files named to
/// pass, until `count` opens wait together (or `patience` has passed since the
/// first), then lets them all go at once: writers that open their files
/// through it start writing at the same moment. Uses fanotify permission
/// events, which need CAP_SYS_ADMIN.
class COpenGate {
 public:
  COpenGate(const std::string& directory, std::set<std::string> passing, size_t count,
            std::chrono::seconds patience)
      : Passing(std::move(passing)), Count(count), Patience(patience) {
    Events = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
    if (Events < 0) {
      Error = std::string("fanotify_init: ") + std::strerror(errno);
      return;
    }
    if (::pipe2(Stop, O_CLOEXEC) != 0 ||
        ::fanotify_mark(Events, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD,
                        directory.c_str()) != 0) {
      Error = std::string("fanotify_mark: ") + std::strerror(errno);
      return;
    }
    Gate = std::thread([this] { Serve(); });
  }
  COpenGate(const COpenGate&) = delete;
  COpenGate& operator=(const COpenGate&) = delete;
  ~COpenGate() {
    if (Gate.joinable()) {
      Stopping = true;
      if (::write(Stop[1], "x", 1) != 1) {
        // The gate sees Stopping within its next 50 ms wait anyway.
      }
      Gate.join();
    }
    for (const int end : {Stop[0], Stop[1], Events}) {
      if (end >= 0) {
        ::close(end);
      }
    }
  }

  /// Empty when the gate works; otherwise why not.
  const std::string& Problem() const { return Error; }
  /// The most opens that waited together. Read it once the writers are done.
  size_t MostHeld() const { return Most; }

 private:
  void Serve() {
    std::vector<int> held;
    auto firstHeld = std::chrono::steady_clock::now();
    const auto release = [&] {
      for (const int fd : held) {
        Answer(fd);
      }
      held.clear();
    };
    while (true) {
      pollfd fds[2] = {{Events, POLLIN, 0}, {Stop[0], POLLIN, 0}};
      ::poll(fds, 2, 50);
      if (Stopping) {
        break;
      }
      if (!held.empty() && std::chrono::steady_clock::now() - firstHeld > Patience) {
        release();
      }
      if (fds[0].revents == 0) {
        continue;
      }
      alignas(fanotify_event_metadata) char buffer[4096];
      const ssize_t got = ::read(Events, buffer, sizeof buffer);
      auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
      for (ssize_t left = got; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
        if (event->fd < 0) {
          continue;
        }
        char target[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(event->fd);
        if (::readlink(link.c_str(), target, sizeof target - 1) < 0) {
          target[0] = '\0';  // held like any other file
        }
        if (Passing.contains(fs::path(target).filename().string())) {
          Answer(event->fd);
          continue;
        }
        if (held.empty()) {
          firstHeld = std::chrono::steady_clock::now();
        }
        held.push_back(event->fd);
        Most = std::max(Most.load(), held.size());
        if (held.size() == Count) {
          release();
        }
      }
    }
    release();
  }

  void Answer(int fd) {
    const fanotify_response response = {fd, FAN_ALLOW};
    if (::write(Events, &response, sizeof response) != sizeof response) {
      ADD_FAILURE() << "an open could not be let through: " << std::strerror(errno);
    }
    ::close(fd);
  }

  std::set<std::string> Passing;
  size_t Count;
  std::chrono::seconds Patience;
  int Events = -1;
  int Stop[2] = {-1, -1};
  std::string Error;
  std::atomic<size_t> Most{0};
  std::atomic<bool> Stopping{false};
  std::thread Gate;
};

TEST_F(WriteFaultTest, TwoCollectsRacingOnOneNameLeaveOneWholeFile) {
  WriteFile("a.txt", RandomText(200'000, 5, 40));
  WriteFile("b.txt", RandomText(200'000, 6, 30));  // a smaller model
  const std::string fromA = CollectedFile(Collect("a.txt"));
  const std::string fromB = CollectedFile(Collect("b.txt"));
  ASSERT_GT(fromA.size(), fromB.size());
  const FileTree before = Snapshot();
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::latch bothWaiting(2);
    ProgramResult results[2];
    {
      // Whatever the two open to write waits until both are there.
      const COpenGate gate(Dir, {"a.txt", "b.txt"}, 2, std::chrono::seconds(20));
      if (!gate.Problem().empty()) {
        GTEST_SKIP() << "cannot hold the writers' opens here (" << gate.Problem()
                     << "); the atomic replacement is tested in the platform tests";
      }
      std::vector<std::thread> runs;
      for (int i = 0; i < 2; ++i) {
        runs.emplace_back([&, i] {
          ProgramRun run = Collect(i == 0 ? "a.txt" : "b.txt");
          // Both also start together, from their first output on.
          run.AtFirstOutput = [&] { bothWaiting.arrive_and_wait(); };
          results[i] = RunProgram(run);
        });
      }
      for (std::thread& run : runs) {
        run.join();
      }
      EXPECT_EQ(gate.MostHeld(), 2u) << "the two writes did not start together";
    }
    EXPECT_EQ(results[0].Out, Building("a.txt"));
    EXPECT_EQ(results[1].Out, Building("b.txt"));
    EXPECT_EQ(results[0].ExitCode, 0);
    EXPECT_EQ(results[1].ExitCode, 0);
    EXPECT_TRUE(IsWholeStatFile(ReadFile(kName)));
    EXPECT_EQ(ExpectWholeFileAndRemoveLeftovers(before, {fromA, fromB}), 0);

    const ProgramResult listed = RunProgram(Prepared({"/detect", "a.txt"}));
    EXPECT_EQ(listed.Out, "Found 1 dat files...\nUsing ./" + kName + "...\n" +
                              DetectedLine("ISO-8859-15", "ENG", 100));
    EXPECT_EQ(listed.ExitCode, 0);
    fs::remove(PathOf(kName));
  }
}

}  // namespace
}  // namespace e2e
