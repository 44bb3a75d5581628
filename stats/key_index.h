// CKeyIndex: numbers the distinct keys of a text 0, 1, 2, ... in the order in
// which they are first inserted, so that per-key data can live in dense
// arrays. An open-addressing table of ids; not locked, for one thread.
#pragma once

#include <cstdint>
#include <vector>

class CKeyIndex {
 public:
  static constexpr uint32_t kAbsent = UINT32_MAX;

  CKeyIndex();

  /// The id of `key`, giving it the next id when it is new.
  uint32_t Insert(uint32_t key);

  /// The id of `key`, or kAbsent.
  uint32_t Find(uint32_t key) const;

  /// The keys in id order.
  const std::vector<uint32_t>& Keys() const { return KeysById; }

 private:
  uint32_t SlotOf(uint32_t key) const;
  void Grow();

  std::vector<uint32_t> Slots;  // id + 1, or 0 for an empty slot
  std::vector<uint32_t> KeysById;
  uint32_t Mask;
};
