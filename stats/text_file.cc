#include "stats/text_file.h"

#include "platform/file.h"

bool ReadTextFile(std::u16string_view path, TextBuffer& text) {
  platform::CInputFile file;
  if (!file.Open(path)) {
    return false;
  }
  const uint64_t size = file.Size();
  if (size > kMaxTextSize) {
    return false;
  }
  auto bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
  size_t bytesRead = 0;
  if (!file.Read(bytes.get(), static_cast<size_t>(size), bytesRead)) {
    return false;
  }
  text.Bytes = std::move(bytes);
  text.Size = bytesRead;
  return true;
}
