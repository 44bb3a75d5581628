#include "stats/stat_discovery.h"

#include <algorithm>
#include <vector>

#include "platform/directory.h"
#include "platform/file.h"
#include "platform/path.h"
#include "stats/little_endian.h"
#include "stats/stat_file.h"

namespace {

constexpr std::u16string_view kPattern = u"*.dat";
constexpr std::u16string_view kExtension = u".dat";

char16_t FoldAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
}

bool HasStatisticsExtension(std::u16string_view name) {
  return name.size() >= kExtension.size() &&
         std::equal(kExtension.begin(), kExtension.end(), name.end() - kExtension.size(),
                    [](char16_t a, char16_t b) { return a == FoldAscii(b); });
}

bool HasStatisticsMagic(std::u16string_view path) {
  platform::CInputFile file;
  if (!file.Open(path, platform::CInputFile::Links::Refuse)) {
    return false;
  }
  uint8_t header[kStatFileHeaderSize] = {};
  size_t got = 0;
  return file.Read(header, sizeof header, got) && DecodeUint32(header) == kStatFileMagic;
}

char16_t* HeapCopy(std::u16string_view text) {
  auto* copy = new char16_t[text.size() + 1];
  std::copy(text.begin(), text.end(), copy);
  copy[text.size()] = u'\0';
  return copy;
}

}  // namespace

CPathList FindStatisticsFiles(std::u16string_view directory) {
  CPathList paths;
  if (platform::PathAppend(directory, kPattern).size() > platform::kMaxPathLength) {
    return paths;
  }
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(directory, entries)) {
    return paths;
  }
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.IsDirectory || entry.IsLink || !HasStatisticsExtension(entry.Name)) {
      continue;
    }
    const std::u16string path = platform::PathAppend(directory, entry.Name);
    if (path.size() <= platform::kMaxPathLength && HasStatisticsMagic(path)) {
      paths.Append(HeapCopy(path));
    }
  }
  return paths;
}
