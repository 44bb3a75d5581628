// Running the program under test as a child process: given argument bytes,
// environment and working directory, no shell; standard output, standard
// error and the exit code are captured.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct ProgramResult {
  std::string Out;
  std::string Err;
  /// The exit status, 0 to 255; -1 when the program did not exit normally.
  int ExitCode = -1;
  /// The signal that ended the program, or 0.
  int Signal = 0;
};

struct ProgramRun {
  /// The arguments after the program's name, as raw bytes.
  std::vector<std::string> Arguments;
  /// The child's working directory.
  std::string WorkingDirectory;
  /// The child's whole environment, as NAME=value entries.
  std::vector<std::string> Environment;
  /// RLIMIT_FSIZE for the child, which also ignores SIGXFSZ, so that a write
  /// beyond the limit fails with an error instead of ending the program.
  std::optional<uint64_t> FileSizeLimit;
  /// When set, standard output starts full, so that the program's first write
  /// to it waits; this runs while the program waits there, and then its output
  /// flows. Lets a test change files between two steps of one run.
  std::function<void()> AtFirstOutput;

  /// Further resource limits for the child (setrlimit, soft and hard), with
  /// their usual effect: unlike FileSizeLimit, RLIMIT_FSIZE here leaves
  /// SIGXFSZ at its default, so a write beyond the limit ends the program.
  struct Limit {
    int Resource;
    uint64_t Value;
  };
  std::vector<Limit> Limits;
  /// When set, the child runs as this user and group (and no supplementary
  /// groups) instead of root, so that file permissions apply to it. Needs a
  /// test process running as root: see CanRunAsAnotherUser().
  std::optional<uid_t> User;
  /// A signal that ends the program, sent while it waits in its first write
  /// to standard output (after AtFirstOutput, when both are set); its output
  /// is read only once it has ended. 0 for none.
  int SignalAtFirstOutput = 0;
  /// A signal sent to the program this long after it was started, unless it
  /// has closed its output and ended by then; 0 for none.
  int SignalAfterDelay = 0;
  std::chrono::microseconds Delay{0};
};

/// The user id of "nobody", the unprivileged user the tests run children as.
inline constexpr uid_t kNobody = 65534;

/// Whether ProgramRun::User can take effect here (this process runs as root).
bool CanRunAsAnotherUser();

/// Runs the program under test (KESTO_TEST_PROGRAM) to its end.
ProgramResult RunProgram(const ProgramRun& run);

}  // namespace e2e
