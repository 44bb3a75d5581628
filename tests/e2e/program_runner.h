// Running the program under test as a child process: given argument bytes,
// environment and working directory, no shell; standard output, standard
// error and the exit code are captured.
#pragma once

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
};

/// Runs the program under test (KESTO_TEST_PROGRAM) to its end.
ProgramResult RunProgram(const ProgramRun& run);

}  // namespace e2e
