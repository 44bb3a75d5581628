// Tests of reading a whole text: taken whole or not at all.
#include "stats/text_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "tests/platform/test_files.h"

namespace {

using kesto_test::CTempDirectory;

class ReadTextFileTest : public testing::Test {
 protected:
  CTempDirectory Directory;
};

TEST_F(ReadTextFileTest, ReadsEveryByteOfARegularFile) {
  // Every byte value, zero included, over several read chunks.
  std::vector<uint8_t> bytes(300000);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  }
  kesto_test::WriteBytes(Directory.Join("text.bin"), bytes);
  TextBuffer text;
  ASSERT_TRUE(ReadTextFile(Directory.Join16("text.bin"), text));
  const auto view = text.View();
  EXPECT_EQ(std::vector<uint8_t>(view.begin(), view.end()), bytes);
}

TEST_F(ReadTextFileTest, AnEmptyFileIsAnEmptyText) {
  kesto_test::WriteBytes(Directory.Join("empty.txt"), {});
  TextBuffer text;
  ASSERT_TRUE(ReadTextFile(Directory.Join16("empty.txt"), text));
  EXPECT_EQ(text.Size, 0u);
  EXPECT_TRUE(text.View().empty());
}

TEST_F(ReadTextFileTest, RefusesWhatIsNotAnExistingRegularFile) {
  ASSERT_EQ(::mkdir(Directory.Join("folder").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(Directory.Join("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("missing", Directory.Join("dangling").c_str()), 0);
  const kesto_test::CWatchdog watchdog(30);  // a FIFO must not block the read
  for (const char* name : {"missing", "folder", "fifo", "dangling"}) {
    SCOPED_TRACE(name);
    TextBuffer text;
    EXPECT_FALSE(ReadTextFile(Directory.Join16(name), text));
  }
}

TEST_F(ReadTextFileTest, ATextOfFourGibibytesOrMoreFailsInsteadOfBeingCut) {
  // Sparse files: nothing is written, and a refusal reads nothing either.
  for (const off_t size : {off_t{1} << 32, (off_t{1} << 32) + 1}) {
    SCOPED_TRACE(size);
    const std::string path = Directory.Join("huge.txt");
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::ftruncate(descriptor, size), 0);
    ::close(descriptor);
    TextBuffer text;
    EXPECT_FALSE(ReadTextFile(Directory.Join16("huge.txt"), text));
  }
}

}  // namespace
