// Fixed-length numbers are encoded with the least significant byte first,
// whatever the host's byte order; a double is stored as its IEEE-754 binary64
// bit pattern, encoded like a 64-bit integer.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

inline void AppendUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

inline void AppendDouble(std::vector<uint8_t>& out, double value) {
  const auto bits = std::bit_cast<uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) {
    out.push_back(static_cast<uint8_t>(bits >> shift));
  }
}

inline uint32_t DecodeUint32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

inline double DecodeDouble(const uint8_t* in) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) {
    bits = bits << 8 | in[i];
  }
  return std::bit_cast<double>(bits);
}
