// Statistics files: one model's three tables with its language and charset.
//
// Layout, every number little-endian, no padding between fields:
//
//   header, 16 bytes:  "STAT" | language tag (4 bytes) | charset id (int32)
//                      | entry count of all three blocks (uint32)
//   three blocks, for tables 0, 1 and 2 in this order, each:
//     block header, 12 bytes: "STBL" | flags (uint32) | entry count (uint32)
//       flags: bit 0 = bit 0 of the model's Flag; bits 1-2 = table index
//     entries, 12 bytes each: key (uint32) | frequency (IEEE-754 binary64)
//
// A file holding N entries is 52 + 12 * N bytes long. Entries appear in the
// order in which the model's table lists them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "stats/language_tag.h"
#include "stats/statistics.h"

inline constexpr uint32_t kStatFileMagic = 0x54415453;   // "STAT"
inline constexpr uint32_t kStatBlockMagic = 0x4C425453;  // "STBL"
inline constexpr size_t kStatFileHeaderSize = 16;
inline constexpr size_t kStatBlockHeaderSize = 12;
inline constexpr size_t kStatEntrySize = 12;

/// The bytes of a statistics file for `model`, with `language` and `charsetId`
/// in the header (never the model's own Language and CharsetId).
std::vector<uint8_t> EncodeStatistics(const CStatistics& model, LanguageTag language,
                                      int32_t charsetId);

/// Writes the statistics file at `path`, replacing any file of that name only
/// once the new one is complete. False when it could not be written; a
/// previous file of that name is then left as it was.
bool SaveStatistics(const CStatistics& model, std::u16string_view path, LanguageTag language,
                    int32_t charsetId);

/// What a statistics file holds: its header's language and charset, and the
/// entries of its three blocks in file order (a key may occur twice; the later
/// entry counts).
struct StatisticsFileContent {
  LanguageTag Language{};
  int32_t CharsetId = 0;
  SequenceTables Tables;
};

enum class StatFileRead {
  Loaded,          ///< header and body read
  NotLoadable,     ///< the file cannot be opened, or its header lacks "STAT"
  BodyUnreadable,  ///< the header was read, then a read failed: no entries
};

/// Reads the statistics file at `path` into `content`. The reader is tolerant: header bytes a short
/// file lacks count as zero; the header's entry count and the block flags are not used; parsing
/// stops, keeping what was read, at a block that does not start with "STBL", at a fragment shorter
/// than a whole block header or entry, and after the third block. An entry whose key cannot be a
/// sequence of its table's length is skipped: no text can ever match it. Memory grows with the
/// distinct keys present (repeated keys are folded together as the entries grow), never with an
/// entry count nor with the number of entries.
StatFileRead ReadStatisticsFile(std::u16string_view path, StatisticsFileContent& content);

/// Empties the model's tables, then reads the file at `path` into them (see
/// ReadStatisticsFile) and sets the model's Language and CharsetId from its
/// header. False when the file is not loadable (Language and CharsetId then
/// keep their values) or its body cannot be read (tables stay empty).
bool LoadStatistics(CStatistics& model, std::u16string_view path);
