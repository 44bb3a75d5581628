// Tests of the file services: reading regular files only, and replacing a
// file so that the old version stays whole until the new one is complete.
#include "platform/file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/platform/test_files.h"

namespace {

using kesto_test::CTempDirectory;
using kesto_test::ReadBytes;
using kesto_test::WriteBytes;
using platform::CAtomicFileWriter;
using platform::CInputFile;
using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

class FileTest : public testing::Test {
 protected:
  std::string At(const char* name) const { return Directory.Join(name); }
  std::u16string Path(const char* name) const { return Directory.Join16(name); }
  Names Listing() const { return Sorted(kesto_test::NamesIn(Directory.Path())); }

  CTempDirectory Directory;
};

// ---- CInputFile ----

TEST_F(FileTest, ReadsAFileInPiecesUpToItsEnd) {
  WriteBytes(At("data.bin"), {1, 2, 3, 4, 5, 0, 7});
  CInputFile file;
  ASSERT_TRUE(file.Open(Path("data.bin")));
  EXPECT_EQ(file.Size(), 7u);
  uint8_t buffer[16] = {};
  size_t got = 99;
  ASSERT_TRUE(file.Read(buffer, 3, got));
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, got));  // more than is left
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{4, 5, 0, 7}));
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, got));  // at the end
  EXPECT_EQ(got, 0u);
}

TEST_F(FileTest, OpensOnlyExistingRegularFiles) {
  WriteBytes(At("file"), {1});
  ASSERT_EQ(::mkdir(At("folder").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("file", At("link").c_str()), 0);
  ASSERT_EQ(::symlink("missing", At("dangling").c_str()), 0);
  ASSERT_EQ(::symlink("folder", At("folderlink").c_str()), 0);
  struct Case {
    const char* Name;
    CInputFile::Links Links;
    bool Opens;
  } const cases[] = {
      {"file", CInputFile::Links::Follow, true},
      {"file", CInputFile::Links::Refuse, true},
      {"link", CInputFile::Links::Follow, true},
      {"link", CInputFile::Links::Refuse, false},
      {"dangling", CInputFile::Links::Follow, false},
      {"dangling", CInputFile::Links::Refuse, false},
      {"folderlink", CInputFile::Links::Follow, false},
      {"missing", CInputFile::Links::Follow, false},
      {"folder", CInputFile::Links::Follow, false},
      {"fifo", CInputFile::Links::Follow, false},
  };
  const kesto_test::CWatchdog watchdog(30);  // opening the FIFO must not block
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Name
                                    << (c.Links == CInputFile::Links::Follow ? " following links"
                                                                             : " refusing links"));
    CInputFile file;
    EXPECT_EQ(file.Open(Path(c.Name), c.Links), c.Opens);
  }
}

TEST_F(FileTest, AClosedFileReadsNothing) {
  WriteBytes(At("data.bin"), {1, 2, 3});
  CInputFile file;
  uint8_t buffer[4];
  size_t got = 0;
  EXPECT_FALSE(file.Read(buffer, sizeof buffer, got));  // never opened
  ASSERT_TRUE(file.Open(Path("data.bin")));
  file.Close();
  EXPECT_FALSE(file.Read(buffer, sizeof buffer, got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(file.Size(), 0u);
  // A failed open leaves the file closed, even after a successful one.
  ASSERT_TRUE(file.Open(Path("data.bin")));
  EXPECT_FALSE(file.Open(Path("missing")));
  EXPECT_FALSE(file.Read(buffer, sizeof buffer, got));
}

// ---- CAtomicFileWriter ----

TEST_F(FileTest, ACommittedWriteCreatesOrReplacesTheTarget) {
  for (const Bytes& content : {Bytes{1, 2, 3}, Bytes(100000, 9), Bytes{}}) {
    SCOPED_TRACE(content.size());
    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Create(Path("model.dat")));
    const size_t half = content.size() / 2;
    ASSERT_TRUE(writer.Write(content.data(), half));
    ASSERT_TRUE(writer.Write(content.data() + half, content.size() - half));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadBytes(At("model.dat")), content);
    EXPECT_EQ(Listing(), Names{"model.dat"});
  }
}

TEST_F(FileTest, TheTargetStaysWholeUntilTheCommit) {
  WriteBytes(At("model.dat"), {7, 7, 7});
  CAtomicFileWriter writer;
  ASSERT_TRUE(writer.Create(Path("model.dat")));
  ASSERT_TRUE(writer.Write("new", 3));
  EXPECT_EQ(ReadBytes(At("model.dat")), (Bytes{7, 7, 7}));
  // The new content waits beside the target under a name that never looks
  // like a statistics file.
  const Names names = Listing();
  ASSERT_EQ(names.size(), 2u);
  const std::string& temporary = names[0] == "model.dat" ? names[1] : names[0];
  EXPECT_FALSE(temporary.ends_with(".dat")) << temporary;
  ASSERT_TRUE(writer.Commit());
  EXPECT_EQ(ReadBytes(At("model.dat")), (Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(Listing(), Names{"model.dat"});
}

TEST_F(FileTest, AWriterGivenUpRemovesItsTemporaryFile) {
  WriteBytes(At("model.dat"), {7, 7, 7});
  {
    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Create(Path("model.dat")));
    ASSERT_TRUE(writer.Write("new", 3));
  }
  EXPECT_EQ(ReadBytes(At("model.dat")), (Bytes{7, 7, 7}));
  EXPECT_EQ(Listing(), Names{"model.dat"});
  {
    // Created again for another target: the first temporary file goes.
    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Create(Path("first.dat")));
    ASSERT_TRUE(writer.Create(Path("second.dat")));
    ASSERT_TRUE(writer.Write("2", 1));
    ASSERT_TRUE(writer.Commit());
  }
  EXPECT_EQ(Listing(), (Names{"model.dat", "second.dat"}));
}

TEST_F(FileTest, AFailingWriteFailsTheCommitAndKeepsTheTarget) {
  WriteBytes(At("model.dat"), {7, 7, 7});
  const Bytes content(20000, 1);
  CAtomicFileWriter writer;
  ASSERT_TRUE(writer.Create(Path("model.dat")));
  {
    const kesto_test::CFileSizeLimit limit(4096);
    EXPECT_FALSE(writer.Write(content.data(), content.size()));
  }
  EXPECT_FALSE(writer.Write("x", 1));  // once failed, always failed
  EXPECT_FALSE(writer.Commit());
  EXPECT_EQ(ReadBytes(At("model.dat")), (Bytes{7, 7, 7}));
  EXPECT_EQ(Listing(), Names{"model.dat"});
}

TEST_F(FileTest, AWriterThatCannotStartOrFinishReportsIt) {
  {
    CAtomicFileWriter writer;  // never created
    EXPECT_FALSE(writer.Write("x", 1));
    EXPECT_FALSE(writer.Commit());
  }
  {
    CAtomicFileWriter writer;
    EXPECT_FALSE(writer.Create(Path("missing/model.dat")));
    EXPECT_FALSE(writer.Commit());
  }
  {
    // A directory in the way of the rename.
    ASSERT_EQ(::mkdir(At("taken.dat").c_str(), 0700), 0);
    CAtomicFileWriter writer;
    ASSERT_TRUE(writer.Create(Path("taken.dat")));
    ASSERT_TRUE(writer.Write("x", 1));
    EXPECT_FALSE(writer.Commit());
  }
  EXPECT_EQ(Listing(), Names{"taken.dat"});
}

TEST_F(FileTest, ATargetWithTheLongestNameCanBeReplaced) {
  // The temporary file's name must fit the file system's limit too.
  const std::string name = std::string(255 - 4, 'n') + ".dat";
  WriteBytes(At(name.c_str()), {7});
  CAtomicFileWriter writer;
  ASSERT_TRUE(writer.Create(Path(name.c_str())));
  ASSERT_TRUE(writer.Write("new", 3));
  ASSERT_TRUE(writer.Commit());
  EXPECT_EQ(ReadBytes(At(name.c_str())), (Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(Listing(), Names{name});
}

TEST_F(FileTest, TwoWritersOfOneTargetDoNotMeet) {
  CAtomicFileWriter first;
  CAtomicFileWriter second;
  ASSERT_TRUE(first.Create(Path("model.dat")));
  ASSERT_TRUE(second.Create(Path("model.dat")));
  ASSERT_TRUE(first.Write("first", 5));
  ASSERT_TRUE(second.Write("second", 6));
  ASSERT_TRUE(first.Commit());
  EXPECT_EQ(ReadBytes(At("model.dat")), (Bytes{'f', 'i', 'r', 's', 't'}));
  ASSERT_TRUE(second.Commit());
  EXPECT_EQ(ReadBytes(At("model.dat")), (Bytes{'s', 'e', 'c', 'o', 'n', 'd'}));
  EXPECT_EQ(Listing(), Names{"model.dat"});
}

TEST_F(FileTest, AnUnwritableDirectoryCannotTakeTheTemporaryFile) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "running as root: directory permissions do not stop root from writing "
                    "(the size-limit test covers the failing write)";
  }
  ASSERT_EQ(::mkdir(At("locked").c_str(), 0700), 0);
  WriteBytes(At("locked/model.dat"), {7});
  ASSERT_EQ(::chmod(At("locked").c_str(), 0555), 0);
  CAtomicFileWriter writer;
  EXPECT_FALSE(writer.Create(Path("locked/model.dat")));
  EXPECT_EQ(ReadBytes(At("locked/model.dat")), Bytes{7});
}

}  // namespace
