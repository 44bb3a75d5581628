// Test support: a table's contents as key -> bit pattern of the value, so
// that two tables compare equal only when every value is equal bit for bit.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>

#include "stats/statistics.h"

namespace kesto_test {

using Contents = std::map<uint32_t, uint64_t>;

inline Contents ContentsOf(const CFrequencyTable& table) {
  uint32_t count = 0;
  const auto entries = table.GetEntries(count);
  Contents contents;
  for (uint32_t i = 0; i < count; ++i) {
    contents[entries[i].Key] = std::bit_cast<uint64_t>(entries[i].Value);
  }
  return contents;
}

inline Contents Expect(std::initializer_list<std::pair<uint32_t, double>> entries) {
  Contents contents;
  for (const auto& [key, value] : entries) {
    contents[key] = std::bit_cast<uint64_t>(value);
  }
  return contents;
}

}  // namespace kesto_test
