// Tests of directory listing.
#include "platform/directory.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/native_string.h"
#include "tests/platform/test_files.h"

namespace {

using kesto_test::CTempDirectory;
using kesto_test::Widen;
using platform::DirectoryEntry;

struct Seen {
  std::string Name;  // native bytes
  bool IsDirectory;
  bool IsLink;
  friend bool operator==(const Seen&, const Seen&) = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
  *out << testing::PrintToString(seen.Name) << (seen.IsDirectory ? " dir" : "")
       << (seen.IsLink ? " link" : "");
}

std::vector<Seen> NativeView(const std::vector<DirectoryEntry>& entries) {
  std::vector<Seen> seen;
  for (const DirectoryEntry& entry : entries) {
    seen.push_back({platform::ToNativeString(entry.Name), entry.IsDirectory, entry.IsLink});
  }
  return seen;
}

class ListDirectoryTest : public testing::Test {
 protected:
  std::string At(const std::string& name) const { return Directory.Join(name); }

  CTempDirectory Directory;
};

TEST_F(ListDirectoryTest, ListsEveryEntryWithItsKindInByteOrder) {
  // U+FF61 (EF BD A1) sorts before U+1F600 (F0 9F 98 80) as bytes, after it as
  // UTF-16 units; 0xFF alone is no UTF-8 at all.
  const std::string halfwidth = "\xEF\xBD\xA1";
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::string invalid = "\xFF.dat";
  for (const std::string& name : {std::string("b"), std::string("B"), halfwidth, emoji, invalid}) {
    kesto_test::WriteBytes(At(name), {1});
  }
  ASSERT_EQ(::mkdir(At("sub").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("sub", At("sublink").c_str()), 0);
  ASSERT_EQ(::symlink("missing", At("dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);

  std::vector<DirectoryEntry> entries(3);  // replaced, not appended to
  ASSERT_TRUE(platform::ListDirectory(Widen(Directory.Path()), entries));
  EXPECT_EQ(NativeView(entries), (std::vector<Seen>{
                                     {"B", false, false},
                                     {"b", false, false},
                                     {"dangling", false, true},
                                     {"fifo", false, false},
                                     {"sub", true, false},
                                     {"sublink", false, true},
                                     {halfwidth, false, false},
                                     {emoji, false, false},
                                     {invalid, false, false},
                                 }));
  // The program string of a name holds its characters.
  EXPECT_EQ(entries[7].Name, u"\U0001F600");
}

TEST_F(ListDirectoryTest, WhatIsNotAReadableDirectoryFails) {
  kesto_test::WriteBytes(At("file"), {1});
  for (const char* name : {"missing", "file"}) {
    SCOPED_TRACE(name);
    std::vector<DirectoryEntry> entries(2);
    EXPECT_FALSE(platform::ListDirectory(Widen(At(name)), entries));
    EXPECT_TRUE(entries.empty());
  }
}

TEST_F(ListDirectoryTest, AnEmptyPathNamesTheCurrentDirectory) {
  kesto_test::WriteBytes(At("here"), {1});
  std::string previous(4096, '\0');
  ASSERT_NE(::getcwd(previous.data(), previous.size()), nullptr);
  previous.resize(previous.find('\0'));
  ASSERT_EQ(::chdir(Directory.Path().c_str()), 0);
  std::vector<DirectoryEntry> entries;
  const bool listed = platform::ListDirectory(u"", entries);
  ASSERT_EQ(::chdir(previous.c_str()), 0);
  ASSERT_TRUE(listed);
  EXPECT_EQ(NativeView(entries), (std::vector<Seen>{{"here", false, false}}));
}

}  // namespace
