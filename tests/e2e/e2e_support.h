// Shared pieces of the end-to-end tests: a fresh temporary directory per test,
// files on disk, statistics files built and read byte by byte, and the texts
// the program prints.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "program_runner.h"

namespace e2e {

// The program's own message texts that many tests expect.
inline const std::string kReadError =
    "Error building statistics file, may be file was not found...\n";
inline const std::string kNoFiles = "No statistics data files found.\n";
inline const std::string kFallbackLine = "Detected:     ISO-8859-15 (ENG) with 100.0000%\n";

/// The line collect prints first for `path`.
inline std::string Building(const std::string& path) {
  return "Building statistics with \"" + path + "\" file...\n";
}

/// What collect prints when the statistics file `name` cannot be written.
inline std::string WriteError(const std::string& name) {
  return "Error writing statistics file \"" + name +
         "\"; any previous file of that name is unchanged.\n";
}

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

/// NAME=value entries. Every environment the tests use also carries this
/// process's sanitizer options, so that a sanitized program keeps them.
using Environment = std::vector<std::string>;

Environment Env(std::vector<std::string> entries);
/// A UTF-8 locale: the environment of most tests.
Environment Utf8Environment();
/// The locale settings every output must be the same under.
std::vector<std::pair<std::string, Environment>> LocaleEnvironments();

/// Files under a directory: relative path -> content; a directory is listed
/// as "<path>/" with an empty content, a symbolic link as "<path>@" with its
/// target, anything else that is not a regular file as "<path>|". A file of
/// more than 1 MiB is shown by its size only.
using FileTree = std::map<std::string, std::string>;

/// The machine-wide folder of the test program ("<data dir>/kesto").
std::string SharedFolder();

// ----- statistics files -----

struct Entry {
  uint32_t Key;
  double Value;
};

inline uint32_t Key(uint8_t a) {
  return a;
}
inline uint32_t Key(uint8_t a, uint8_t b) {
  return a | uint32_t{b} << 8;
}
inline uint32_t Key(uint8_t a, uint8_t b, uint8_t c) {
  return a | uint32_t{b} << 8 | uint32_t{c} << 16;
}

using Tables = std::array<std::vector<Entry>, 3>;

/// The bytes of a statistics file: header "STAT", the four tag bytes, the
/// charset id, the entry count; three "STBL" blocks with flags 0, 2, 4.
std::string StatFile(std::string_view tag, int32_t charsetId, const Tables& tables);

/// A share of a running total: count / total, both as doubles.
struct Share {
  uint32_t Key;
  uint32_t Count;
  uint32_t Total;
};
using ExpectedTables = std::array<std::vector<Share>, 3>;

/// Checks that `bytes` are a well-formed statistics file with this header
/// and exactly these entries per table (in any order within a table), and
/// that the header and block headers are byte for byte as they must be.
::testing::AssertionResult IsStatFile(const std::string& bytes, std::string_view tag,
                                      int32_t charsetId, const ExpectedTables& tables);

/// A statistics file the program must have written.
struct ExpectedStat {
  std::string Tag;  // the four header bytes
  int32_t CharsetId;
  ExpectedTables Tables;
};

/// Checks that `after` is `before` with exactly the files `written` added or
/// replaced, each a statistics file as expected.
void ExpectFiles(const FileTree& before, const FileTree& after,
                 const std::map<std::string, ExpectedStat>& written);

// ----- texts the program prints -----

/// The usage text, with its credit line (second line, wording of our own) as
/// found in `out`; checks everything else piece by piece.
::testing::AssertionResult IsUsageText(const std::string& out);

/// "Detected: % 15s (%.4S) with %8.4f%%\n", built here by hand. `tag` holds
/// the bytes shown (at most four, already cut at a NUL); each byte is printed
/// as the character of that value, in UTF-8.
std::string DetectedLine(std::string_view charsetName, std::string_view tag, double percentage);
/// The same bytes, as UTF-8 of the characters U+0000..U+00FF they stand for.
std::string Latin1ToUtf8(std::string_view bytes);

/// Output with every NaN field "    -nan" shown as "     nan": the sign of a
/// NaN is not part of what the tests check.
std::string WithoutNanSigns(std::string text);

// ----- the fixture -----

class CE2eTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:
  /// Runs the program in the test directory (or `directory`, relative to it).
  ProgramResult Run(std::vector<std::string> arguments,
                    Environment environment = Utf8Environment());
  ProgramResult RunIn(const std::string& directory, std::vector<std::string> arguments,
                      Environment environment = Utf8Environment());

  /// `relative` inside the test directory.
  std::string PathOf(const std::string& relative) const;
  void WriteFile(const std::string& relative, std::string_view content) const;
  std::string ReadFile(const std::string& relative) const;
  void MakeDirectory(const std::string& relative) const;
  /// Every file and directory below the test directory.
  FileTree Snapshot() const;
  /// The same, of the shared folder, which the test creates as needed.
  void WriteSharedFile(const std::string& name, std::string_view content) const;

  std::string Dir;
};

/// Files as a readable listing for failure messages.
std::string Describe(const FileTree& tree);

}  // namespace e2e
