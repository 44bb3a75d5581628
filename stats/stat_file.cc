#include "stats/stat_file.h"

#include <algorithm>

#include "platform/file.h"
#include "stats/key_index.h"
#include "stats/little_endian.h"

namespace {

/// Reads a file piece by piece, so that a huge file never needs one buffer.
class CChunkReader {
 public:
  explicit CChunkReader(platform::CInputFile& file) : File(file) {}

  /// Copies the next `size` bytes to `out`. False when the file ends first
  /// (or a read fails; Failed() tells which).
  bool Take(uint8_t* out, size_t size) {
    while (size > 0) {
      if (Position == Buffer.size() && !Refill()) {
        return false;
      }
      const size_t step = std::min(size, Buffer.size() - Position);
      std::copy_n(Buffer.data() + Position, step, out);
      Position += step;
      out += step;
      size -= step;
    }
    return true;
  }

  bool Failed() const { return ReadFailed; }

 private:
  static constexpr size_t kChunkSize = 64 * 1024;

  bool Refill() {
    Buffer.resize(kChunkSize);
    size_t got = 0;
    if (!File.Read(Buffer.data(), Buffer.size(), got)) {
      ReadFailed = true;
      got = 0;
    }
    Buffer.resize(got);
    Position = 0;
    return got != 0;
  }

  platform::CInputFile& File;
  std::vector<uint8_t> Buffer;
  size_t Position = 0;
  bool ReadFailed = false;
};

/// Folds the entries of one key into the key's first entry, which takes the
/// value of its last, keeping the order of first entries.
void FoldRepeatedKeys(std::vector<SequenceFrequency>& table) {
  CKeyIndex places;
  size_t kept = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    const uint32_t place = places.Insert(table[i].Key);
    if (place == kept) {
      table[kept++] = table[i];
    } else {
      table[place].Value = table[i].Value;
    }
  }
  table.resize(kept);
}

/// Appends an entry in file order. Whenever the entries would need more
/// room, repeated keys are folded first, so that memory follows the distinct
/// keys (at most 2^8, 2^16 and 2^24 a table), never the number of entries,
/// which a sparse file repeats at no cost on disk. A file without repeated
/// keys is folded only from 64 Ki entries on, at each doubling of its room.
void Append(std::vector<SequenceFrequency>& table, SequenceFrequency entry) {
  constexpr size_t kFoldFrom = size_t{1} << 16;
  if (table.size() == table.capacity() && table.size() >= kFoldFrom) {
    const size_t room = table.capacity();
    FoldRepeatedKeys(table);
    if (table.size() > room / 2) {
      table.reserve(2 * room);  // mostly distinct keys: fold again only at twice the size
    }
  }
  table.push_back(entry);
}

/// Parses the blocks after the header into `tables`, in file order.
void ParseBlocks(CChunkReader& reader, SequenceTables& tables) {
  for (int n = 0; n < kTableCount; ++n) {
    uint8_t header[kStatBlockHeaderSize];
    if (!reader.Take(header, sizeof header) || DecodeUint32(header) != kStatBlockMagic) {
      return;
    }
    const uint32_t entryCount = DecodeUint32(header + 8);
    for (uint32_t i = 0; i < entryCount; ++i) {
      uint8_t entry[kStatEntrySize];
      if (!reader.Take(entry, sizeof entry)) {
        return;
      }
      const uint32_t key = DecodeUint32(entry);
      if (IsSequenceKeyOf(n, key)) {
        Append(tables[n], {key, DecodeDouble(entry + 4)});
      }
    }
  }
}

}  // namespace

std::vector<uint8_t> EncodeStatistics(const CStatistics& model, LanguageTag language,
                                      int32_t charsetId) {
  const SequenceTables tables = SnapshotTables(model);
  size_t total = 0;
  for (const auto& table : tables) {
    total += table.size();
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(kStatFileHeaderSize + kTableCount * kStatBlockHeaderSize + total * kStatEntrySize);
  AppendUint32(bytes, kStatFileMagic);
  bytes.insert(bytes.end(), language.Bytes.begin(), language.Bytes.end());
  AppendUint32(bytes, static_cast<uint32_t>(charsetId));
  AppendUint32(bytes, static_cast<uint32_t>(total));
  for (int n = 0; n < kTableCount; ++n) {
    AppendUint32(bytes, kStatBlockMagic);
    AppendUint32(bytes, static_cast<uint32_t>((n & 3) << 1) | (model.Flag & 1u));
    AppendUint32(bytes, static_cast<uint32_t>(tables[n].size()));
    for (const SequenceFrequency& entry : tables[n]) {
      AppendUint32(bytes, entry.Key);
      AppendDouble(bytes, entry.Value);
    }
  }
  return bytes;
}

bool SaveStatistics(const CStatistics& model, std::u16string_view path, LanguageTag language,
                    int32_t charsetId) {
  const std::vector<uint8_t> bytes = EncodeStatistics(model, language, charsetId);
  platform::CAtomicFileWriter writer;
  return writer.Create(path) && writer.Write(bytes.data(), bytes.size()) && writer.Commit();
}

StatFileRead ReadStatisticsFile(std::u16string_view path, StatisticsFileContent& content) {
  content = {};
  platform::CInputFile file;
  if (!file.Open(path, platform::CInputFile::Links::Refuse)) {
    return StatFileRead::NotLoadable;
  }
  uint8_t header[kStatFileHeaderSize] = {};
  size_t got = 0;
  if (!file.Read(header, sizeof header, got)) {
    std::fill(std::begin(header), std::end(header), 0);
  }
  if (DecodeUint32(header) != kStatFileMagic) {
    return StatFileRead::NotLoadable;
  }
  std::copy_n(header + 4, 4, content.Language.Bytes.begin());
  content.CharsetId = static_cast<int32_t>(DecodeUint32(header + 8));

  CChunkReader reader(file);
  ParseBlocks(reader, content.Tables);
  if (reader.Failed()) {
    content.Tables = {};
    return StatFileRead::BodyUnreadable;
  }
  return StatFileRead::Loaded;
}

bool LoadStatistics(CStatistics& model, std::u16string_view path) {
  for (CFrequencyTable& table : model.Tables) {
    table.RemoveAll();
  }
  StatisticsFileContent content;
  const StatFileRead result = ReadStatisticsFile(path, content);
  if (result == StatFileRead::NotLoadable) {
    return false;
  }
  model.Language = content.Language;
  model.CharsetId = content.CharsetId;
  for (int n = 0; n < kTableCount; ++n) {
    for (const SequenceFrequency& entry : content.Tables[n]) {
      model.Tables[n].Lookup(entry.Key) = entry.Value;
    }
  }
  return result == StatFileRead::Loaded;
}
