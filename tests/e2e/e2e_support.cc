#include "e2e_support.h"

#include <stdlib.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>

#ifndef KESTO_TEST_APPDATA_DIR
#error "KESTO_TEST_APPDATA_DIR must name the data directory of the program under test"
#endif

namespace e2e {
namespace fs = std::filesystem;

Environment Env(std::vector<std::string> entries) {
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) {
      entries.push_back(std::string(name) + "=" + value);
    }
  }
  return entries;
}

Environment Utf8Environment() {
  return Env({"LANG=C.UTF-8"});
}

std::vector<std::pair<std::string, Environment>> LocaleEnvironments() {
  return {
      {"LANG=C.UTF-8", Env({"LANG=C.UTF-8"})},         {"LANG=C", Env({"LANG=C"})},
      {"LC_ALL=C", Env({"LC_ALL=C", "LANG=C.UTF-8"})}, {"no locale variables", Env({})},
      {"LC_ALL=POSIX", Env({"LC_ALL=POSIX"})},
  };
}

std::string SharedFolder() {
  return std::string(KESTO_TEST_APPDATA_DIR) + "/kesto";
}

// ----- statistics files -----

namespace {

void AppendUint32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

uint32_t Uint32At(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
  }
  return value;
}

uint64_t Uint64At(const std::string& bytes, size_t offset) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
  }
  return value;
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char buffer[4];
  for (const char c : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X ", static_cast<unsigned>(static_cast<uint8_t>(c)));
    out += buffer;
  }
  return out;
}

}  // namespace

std::string StatFile(std::string_view tag, int32_t charsetId, const Tables& tables) {
  std::string out = "STAT";
  std::string tagBytes(tag.substr(0, 4));
  tagBytes.resize(4, '\0');
  out += tagBytes;
  AppendUint32(out, static_cast<uint32_t>(charsetId));
  AppendUint32(out, static_cast<uint32_t>(tables[0].size() + tables[1].size() + tables[2].size()));
  for (uint32_t n = 0; n < 3; ++n) {
    out += "STBL";
    AppendUint32(out, n * 2);
    AppendUint32(out, static_cast<uint32_t>(tables[n].size()));
    for (const Entry& entry : tables[n]) {
      AppendUint32(out, entry.Key);
      const auto bits = std::bit_cast<uint64_t>(entry.Value);
      AppendUint32(out, static_cast<uint32_t>(bits));
      AppendUint32(out, static_cast<uint32_t>(bits >> 32));
    }
  }
  return out;
}

::testing::AssertionResult IsStatFile(const std::string& bytes, std::string_view tag,
                                      int32_t charsetId, const ExpectedTables& tables) {
  size_t total = 0;
  for (const auto& table : tables) {
    total += table.size();
  }
  const size_t size = 52 + 12 * total;
  if (bytes.size() != size) {
    return ::testing::AssertionFailure()
           << "size " << bytes.size() << ", expected " << size << ": " << Hex(bytes);
  }
  std::string header = "STAT";
  header += tag;
  AppendUint32(header, static_cast<uint32_t>(charsetId));
  AppendUint32(header, static_cast<uint32_t>(total));
  if (bytes.compare(0, 16, header) != 0) {
    return ::testing::AssertionFailure()
           << "header " << Hex(bytes.substr(0, 16)) << ", expected " << Hex(header);
  }
  size_t offset = 16;
  for (uint32_t n = 0; n < 3; ++n) {
    std::string blockHeader = "STBL";
    AppendUint32(blockHeader, n * 2);
    AppendUint32(blockHeader, static_cast<uint32_t>(tables[n].size()));
    if (bytes.compare(offset, 12, blockHeader) != 0) {
      return ::testing::AssertionFailure()
             << "block " << n << " header " << Hex(bytes.substr(offset, 12)) << ", expected "
             << Hex(blockHeader);
    }
    offset += 12;
    std::map<uint32_t, uint64_t> found;
    for (size_t i = 0; i < tables[n].size(); ++i, offset += 12) {
      if (!found.emplace(Uint32At(bytes, offset), Uint64At(bytes, offset + 4)).second) {
        return ::testing::AssertionFailure()
               << "block " << n << " holds key " << Uint32At(bytes, offset) << " twice";
      }
    }
    std::map<uint32_t, uint64_t> expected;
    for (const Share& share : tables[n]) {
      const double value = static_cast<double>(share.Count) / static_cast<double>(share.Total);
      expected.emplace(share.Key, std::bit_cast<uint64_t>(value));
    }
    if (found != expected) {
      std::ostringstream message;
      message << "block " << n << " entries (key: value):";
      for (const auto& [key, bits] : found) {
        message << " 0x" << std::hex << key << std::dec << ": " << std::bit_cast<double>(bits);
      }
      message << "; expected:";
      for (const auto& [key, bits] : expected) {
        message << " 0x" << std::hex << key << std::dec << ": " << std::bit_cast<double>(bits);
      }
      return ::testing::AssertionFailure() << message.str();
    }
  }
  return ::testing::AssertionSuccess();
}

void ExpectFiles(const FileTree& before, const FileTree& after,
                 const std::map<std::string, ExpectedStat>& written) {
  FileTree unchanged = after;
  for (const auto& [name, stat] : written) {
    const auto found = after.find(name);
    if (found == after.end()) {
      ADD_FAILURE() << "missing the file " << name << "; the directory holds:\n" << Describe(after);
      continue;
    }
    EXPECT_TRUE(IsStatFile(found->second, stat.Tag, stat.CharsetId, stat.Tables)) << name;
    unchanged.erase(name);
  }
  FileTree expected = before;
  for (const auto& [name, stat] : written) {
    expected.erase(name);
  }
  EXPECT_EQ(unchanged, expected) << "the other files, after:\n"
                                 << Describe(unchanged) << "expected:\n"
                                 << Describe(expected);
}

// ----- texts the program prints -----

::testing::AssertionResult IsUsageText(const std::string& out) {
  const std::string first =
      "Experimental text analyzer tool for language and character encoding detection.\n";
  const std::string rest =
      "Usage: kestoanalyzer.exe [/collect | /analyze] [options]\n\n"
      "GENERATION\n\n"
      "/collect <file>\t\tCollecting statistical data from given text file.\n"
      "/language <language>\tISO 3 letter language code. Default is ENG.\n"
      "/charset <code>\t\tCharacter set of the text file. Default is iso-8859-15.\n"
      "/threshold <percent>\tThrow threshold for statistics. Default is 0.003%.\n"
      "/ignore <file>\t\tFile that contains characters to be ignored.\n"
      "\nANALYZATION\n\n"
      "/detect <file>\t\tAnalyzes the given text file. Detecting possible languages and "
      "character sets.\n"
      "/weights <w1,w2,w3>\tWeight factors for char sequences. Default is 1,50,100.\n"
      "\n"
      "Examples:\n\n"
      "Following command will build stats file by analyzing \"german.txt\", settings language "
      "to \"german\" with iso-8859-1 character encoding.\n\n"
      "kestoanalyzer /collect german.txt /charset iso-8859-1 /language deu\n\n"
      "Following command tries to detect language and charset of the given text file.\n\n"
      "kestoanalyzer /detect blabla.txt\n";
  if (out.compare(0, first.size(), first) != 0) {
    return ::testing::AssertionFailure() << "the first line differs:\n" << out;
  }
  const size_t creditEnd = out.find('\n', first.size());
  if (creditEnd == std::string::npos || creditEnd == first.size()) {
    return ::testing::AssertionFailure() << "no credit line:\n" << out;
  }
  const std::string credit = out.substr(first.size(), creditEnd + 1 - first.size());
  if (credit.find('\t') != std::string::npos || credit.find('%') != std::string::npos) {
    return ::testing::AssertionFailure() << "odd credit line: " << credit;
  }
  if (out.substr(creditEnd + 1) != rest) {
    return ::testing::AssertionFailure() << "after the credit line, got:\n"
                                         << out.substr(creditEnd + 1) << "\nexpected:\n"
                                         << rest;
  }
  return ::testing::AssertionSuccess();
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

std::string DetectedLine(std::string_view charsetName, std::string_view tag, double percentage) {
  std::string line = "Detected: ";
  if (charsetName.size() < 15) {
    line.append(15 - charsetName.size(), ' ');
  }
  line += charsetName;
  line += " (" + Latin1ToUtf8(tag) + ") with ";
  char number[64];
  std::snprintf(number, sizeof number, "%8.4f", percentage);
  line += number;
  line += "%\n";
  return line;
}

std::string WithoutNanSigns(std::string text) {
  for (size_t at = text.find("-nan"); at != std::string::npos; at = text.find("-nan", at)) {
    text.replace(at, 4, " nan");
  }
  return text;
}

// ----- the fixture -----

void CE2eTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "kesto-e2e-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    FAIL() << "cannot create a temporary directory";
  }
  Dir = pattern;
  if (fs::exists(fs::symlink_status(SharedFolder()))) {
    fs::remove_all(SharedFolder());
    FAIL() << "an earlier test left " << SharedFolder();
  }
}

void CE2eTest::TearDown() {
  std::error_code ignored;
  if (!Dir.empty()) {
    fs::remove_all(Dir, ignored);
  }
  fs::remove_all(SharedFolder(), ignored);
  EXPECT_FALSE(fs::exists(fs::symlink_status(SharedFolder())));
}

ProgramResult CE2eTest::Run(std::vector<std::string> arguments, Environment environment) {
  return RunIn("", std::move(arguments), std::move(environment));
}

ProgramResult CE2eTest::RunIn(const std::string& directory, std::vector<std::string> arguments,
                              Environment environment) {
  ProgramRun run;
  run.Arguments = std::move(arguments);
  run.WorkingDirectory = directory.empty() ? Dir : PathOf(directory);
  run.Environment = std::move(environment);
  return RunProgram(run);
}

std::string CE2eTest::PathOf(const std::string& relative) const {
  return Dir + "/" + relative;
}

void CE2eTest::WriteFile(const std::string& relative, std::string_view content) const {
  std::ofstream file(PathOf(relative), std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) {
    throw std::runtime_error("cannot write " + relative);
  }
}

std::string CE2eTest::ReadFile(const std::string& relative) const {
  std::ifstream file(PathOf(relative), std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + relative);
  }
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void CE2eTest::MakeDirectory(const std::string& relative) const {
  fs::create_directories(PathOf(relative));
}

FileTree CE2eTest::Snapshot() const {
  FileTree tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Dir)) {
    // Lexically: resolving links would name a link by its target, or fail.
    const std::string relative = entry.path().lexically_relative(Dir).string();
    if (entry.is_symlink()) {
      tree[relative + "@"] = fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      tree[relative + "/"] = "";
    } else if (!entry.is_regular_file()) {
      tree[relative + "|"] = "";  // a FIFO or the like: never opened
    } else if (entry.file_size() > (1u << 20)) {
      tree[relative] = "<" + std::to_string(entry.file_size()) + " bytes>";  // not read
    } else {
      std::ifstream file(entry.path(), std::ios::binary);
      tree[relative] = {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
  }
  return tree;
}

void CE2eTest::WriteSharedFile(const std::string& name, std::string_view content) const {
  fs::create_directories(SharedFolder());
  std::ofstream file(SharedFolder() + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) {
    throw std::runtime_error("cannot write the shared file " + name);
  }
}

std::string Describe(const FileTree& tree) {
  std::string out;
  for (const auto& [name, content] : tree) {
    out += "  " + name + " (" + std::to_string(content.size()) + " bytes)\n";
  }
  return out;
}

}  // namespace e2e
