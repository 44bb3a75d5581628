#include "stats/stat_file.h"

#include <algorithm>

#include "platform/file.h"
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

void ClearTables(CStatistics& model) {
  for (CFrequencyTable& table : model.Tables) {
    table.RemoveAll();
  }
}

/// Parses the blocks after the header into the model's tables.
void ParseBlocks(CChunkReader& reader, CStatistics& model) {
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
        model.Tables[n].Lookup(key) = DecodeDouble(entry + 4);
      }
    }
  }
}

}  // namespace

std::vector<uint8_t> EncodeStatistics(const CStatistics& model, LanguageTag language,
                                      int32_t charsetId) {
  std::unique_ptr<CFrequencyTable::Node[]> snapshots[kTableCount];
  uint32_t counts[kTableCount] = {};
  uint32_t total = 0;
  for (int n = 0; n < kTableCount; ++n) {
    snapshots[n] = model.Tables[n].GetEntries(counts[n]);
    total += counts[n];
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(kStatFileHeaderSize + kTableCount * kStatBlockHeaderSize +
                static_cast<size_t>(total) * kStatEntrySize);
  AppendUint32(bytes, kStatFileMagic);
  bytes.insert(bytes.end(), language.Bytes.begin(), language.Bytes.end());
  AppendUint32(bytes, static_cast<uint32_t>(charsetId));
  AppendUint32(bytes, total);
  for (int n = 0; n < kTableCount; ++n) {
    AppendUint32(bytes, kStatBlockMagic);
    AppendUint32(bytes, static_cast<uint32_t>((n & 3) << 1) | (model.Flag & 1u));
    AppendUint32(bytes, counts[n]);
    for (uint32_t i = 0; i < counts[n]; ++i) {
      AppendUint32(bytes, snapshots[n][i].Key);
      AppendDouble(bytes, snapshots[n][i].Value);
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

bool LoadStatistics(CStatistics& model, std::u16string_view path) {
  ClearTables(model);
  platform::CInputFile file;
  if (!file.Open(path, platform::CInputFile::Links::Refuse)) {
    return false;
  }
  uint8_t header[kStatFileHeaderSize] = {};
  size_t got = 0;
  if (!file.Read(header, sizeof header, got)) {
    std::fill(std::begin(header), std::end(header), 0);
  }
  if (DecodeUint32(header) != kStatFileMagic) {
    return false;
  }
  std::copy_n(header + 4, 4, model.Language.Bytes.begin());
  model.CharsetId = static_cast<int32_t>(DecodeUint32(header + 8));

  CChunkReader reader(file);
  ParseBlocks(reader, model);
  if (reader.Failed()) {
    ClearTables(model);
    return false;
  }
  return true;
}
