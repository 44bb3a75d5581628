// Tests of finding the statistics files of a directory.
#include "stats/stat_discovery.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stats/stat_file.h"
#include "stats/statistics.h"
#include "tests/platform/test_files.h"

namespace {

using kesto_test::CTempDirectory;
using kesto_test::Widen;
using kesto_test::WriteBytes;

const std::vector<uint8_t> kStatHeader = {'S', 'T', 'A', 'T', 'E', 'N', 'G', 0,
                                          14,  0,   0,   0,   0,   0,   0,   0};

/// Takes the list's strings into a vector and frees them, as a caller must.
std::vector<std::u16string> Take(CPathList list) {
  std::vector<std::u16string> paths;
  for (int i = 0; i < static_cast<int>(list.GetCount()); ++i) {
    char16_t* path = list.ElementAt(static_cast<uint32_t>(i));
    paths.emplace_back(path);
    delete[] path;
  }
  return paths;
}

class StatDiscoveryTest : public testing::Test {
 protected:
  std::string At(const char* name) const { return Directory.Join(name); }
  std::u16string Listed(const char* name) const { return Directory.Join16(name); }

  CTempDirectory Directory;
};

TEST_F(StatDiscoveryTest, ListsOnlyRegularDatFilesWithTheMagicInNameOrder) {
  WriteBytes(At("a.dat"), kStatHeader);
  WriteBytes(At("B.DAT"), kStatHeader);
  WriteBytes(At("stat.DaT"), kStatHeader);
  WriteBytes(At("c.dat"), {'S', 'T', 'A', 'T'});  // 4 bytes are enough
  ASSERT_EQ(::mkdir(At("x.dat").c_str(), 0700), 0);
  WriteBytes(At("x.dat/inner.dat"), kStatHeader);  // not searched: one level only
  ASSERT_EQ(::symlink("a.dat", At("link.dat").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere.dat", At("dangling.dat").c_str()), 0);
  ASSERT_EQ(::symlink("x.dat", At("folderlink.dat").c_str()), 0);
  ASSERT_EQ(::mkfifo(At("fifo.dat").c_str(), 0600), 0);
  WriteBytes(At("wrong.dat"), {'S', 'T', 'B', 'L', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  WriteBytes(At("lower.dat"), {'s', 't', 'a', 't', 0, 0, 0, 0});
  WriteBytes(At("short.dat"), {'S', 'T', 'A'});
  WriteBytes(At("empty.dat"), {});
  WriteBytes(At("notes.txt"), kStatHeader);
  WriteBytes(At("model.dat.bak"), kStatHeader);
  WriteBytes(At("xdat"), kStatHeader);

  const kesto_test::CWatchdog watchdog(30);  // the FIFO must not block the search
  EXPECT_EQ(Take(FindStatisticsFiles(Widen(Directory.Path()))),
            (std::vector<std::u16string>{Listed("B.DAT"), Listed("a.dat"), Listed("c.dat"),
                                         Listed("stat.DaT")}));
}

TEST_F(StatDiscoveryTest, ADirectoryWithoutStatisticsFilesGivesAnEmptyList) {
  EXPECT_TRUE(Take(FindStatisticsFiles(Widen(Directory.Path()))).empty());
  WriteBytes(At("readme.txt"), kStatHeader);
  EXPECT_TRUE(Take(FindStatisticsFiles(Widen(Directory.Path()))).empty());
  EXPECT_TRUE(Take(FindStatisticsFiles(Listed("missing"))).empty());
  EXPECT_TRUE(Take(FindStatisticsFiles(Listed("readme.txt"))).empty());  // not a directory
}

TEST_F(StatDiscoveryTest, APathBeyond259UnitsIsSkipped) {
  // A directory path of 253 UTF-16 units: with "/" and a name of up to five
  // units the full path fits.
  const size_t rootLength = Directory.Path().size();
  ASSERT_LT(rootLength + 1, 253u);
  const std::string folder = At(std::string(253 - rootLength - 1, 'd').c_str());
  ASSERT_EQ(folder.size(), 253u);
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const char* const kUmlaut = "\xC3\xA4.dat";         // one unit, two bytes: 259 units
  const char* const kEmoji = "\xF0\x9F\x98\x80.dat";  // two units: 260 units
  for (const char* name : {".dat", "a.dat", "ab.dat", kUmlaut, kEmoji}) {
    WriteBytes(folder + "/" + name, kStatHeader);
  }
  const std::u16string prefix = Widen(folder) + u"/";
  EXPECT_EQ(
      Take(FindStatisticsFiles(Widen(folder))),
      (std::vector<std::u16string>{prefix + u".dat", prefix + u"a.dat", prefix + u"\u00E4.dat"}));

  // One unit more and not even the search pattern "<dir>/*.dat" fits: nothing
  // is listed, not even the 259-unit path of ".dat".
  const std::string longer = folder + "e";
  ASSERT_EQ(::mkdir(longer.c_str(), 0700), 0);
  WriteBytes(longer + "/.dat", kStatHeader);
  EXPECT_TRUE(Take(FindStatisticsFiles(Widen(longer))).empty());
}

TEST_F(StatDiscoveryTest, AListedPathLoadsEvenWhenItsNameIsNoUtf8) {
  WriteBytes(At("\xFF\xFE.dat"), kStatHeader);
  const std::vector<std::u16string> paths = Take(FindStatisticsFiles(Widen(Directory.Path())));
  ASSERT_EQ(paths, std::vector<std::u16string>{Widen(Directory.Path()) + u"/\xDCFF\xDCFE.dat"});
  CStatistics model;
  EXPECT_TRUE(LoadStatistics(model, paths[0]));
  EXPECT_EQ(model.CharsetId, 14);
}

TEST_F(StatDiscoveryTest, ADirectoryPathEndingInASlashJoinsWithoutADoubleSlash) {
  WriteBytes(At("a.dat"), kStatHeader);
  EXPECT_EQ(Take(FindStatisticsFiles(Widen(Directory.Path() + "/"))),
            std::vector<std::u16string>{Listed("a.dat")});
}

}  // namespace
