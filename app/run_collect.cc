#include "app/run_collect.h"

#include <algorithm>
#include <array>
#include <span>

#include "app/print.h"
#include "charset/charset_registry.h"
#include "platform/file.h"
#include "stats/collect.h"
#include "stats/stat_file.h"
#include "stats/statistics.h"

namespace {

constexpr size_t kMaxIgnoreBytes = 256;

/// A NUL-terminated ignore set: the bytes 0x01 to 0x20 by default, or the
/// first 256 bytes of the ignore file when it opens (its bytes replace the
/// default as a whole, up to a NUL among them).
std::array<uint8_t, kMaxIgnoreBytes + 1> LoadIgnoreSet(std::u16string_view ignorePath) {
  std::array<uint8_t, kMaxIgnoreBytes + 1> set{};
  for (uint8_t byte = 1; byte <= 0x20; ++byte) {
    set[byte - 1] = byte;
  }
  platform::CInputFile file;
  if (ignorePath.empty() || !file.Open(ignorePath)) {
    return set;
  }
  std::array<uint8_t, kMaxIgnoreBytes + 1> fromFile{};
  size_t got = 0;
  if (file.Read(fromFile.data(), kMaxIgnoreBytes, got)) {
    fromFile[got] = 0;
    return fromFile;
  }
  return set;
}

/// The tag's bytes as they appear in a file name: at most four, up to a NUL.
std::span<const uint8_t> ShownBytes(const LanguageTag& tag) {
  const auto end = std::find(tag.Bytes.begin(), tag.Bytes.end(), 0);
  return {tag.Bytes.data(), static_cast<size_t>(end - tag.Bytes.begin())};
}

}  // namespace

int RunCollect(std::u16string_view inputPath, std::u16string_view ignorePath,
               double thresholdFraction, LanguageTag language, int32_t charsetId) {
  const std::span<const uint8_t> tagBytes = ShownBytes(language);
  // The tag becomes part of a file name in the current directory, never a path.
  if (std::find(tagBytes.begin(), tagBytes.end(), '/') != tagBytes.end()) {
    Print(u"Language \"%S\" contains \"/\" and cannot be part of a file name.\n", {tagBytes});
    return -1;
  }
  Print(u"Building statistics with \"%s\" file...\n", {inputPath});

  CStatistics model;
  const auto ignoreSet = LoadIgnoreSet(ignorePath);
  if (!CollectFile(inputPath, model, ignoreSet.data(), thresholdFraction)) {
    Print(u"Error building statistics file, may be file was not found...\n");
    return -1;
  }
  const std::u16string_view charsetName = GetCharsetName(charsetId);
  if (charsetName.empty()) {
    Print(u"Character set \"%d\" is unknown.\n", {charsetId});
    return -1;
  }
  const std::u16string fileName = Format(u"%s.%.4S.dat", {charsetName, tagBytes});
  if (!SaveStatistics(model, fileName, language, charsetId)) {
    Print(u"Error writing statistics file \"%s\"; any previous file of that name is unchanged.\n",
          {fileName});
    return -1;
  }
  return 0;
}
