// Reading a whole text (a sample or a text to identify) into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

/// The largest text the engine takes: sizes and counts are 32-bit.
inline constexpr uint64_t kMaxTextSize = UINT32_MAX;

struct TextBuffer {
  std::unique_ptr<uint8_t[]> Bytes;
  size_t Size = 0;

  std::span<const uint8_t> View() const { return {Bytes.get(), Size}; }
};

/// Reads the regular file at `path` whole, in one buffer. A file that shrinks
/// while it is read gives the bytes actually read. Returns false when the file
/// cannot be opened as a regular file, when a read fails, and when it is larger
/// than kMaxTextSize (a text is taken whole or not at all).
bool ReadTextFile(std::u16string_view path, TextBuffer& text);
