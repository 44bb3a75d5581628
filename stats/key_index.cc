#include "stats/key_index.h"

namespace {

constexpr uint32_t kInitialSlots = 1024;

/// Mixes every bit of the key into the low bits that pick a slot (the
/// finaliser of MurmurHash3). A plain multiplication would leave the low bits
/// depending on the key's low bits only, so that all triples of one pair
/// would crowd into one run of slots.
uint32_t Spread(uint32_t key) {
  key ^= key >> 16;
  key *= 0x85EBCA6Bu;
  key ^= key >> 13;
  key *= 0xC2B2AE35u;
  key ^= key >> 16;
  return key;
}

}  // namespace

CKeyIndex::CKeyIndex() : Slots(kInitialSlots, 0), Mask(kInitialSlots - 1) {}

uint32_t CKeyIndex::SlotOf(uint32_t key) const {
  uint32_t slot = Spread(key) & Mask;
  while (Slots[slot] != 0 && KeysById[Slots[slot] - 1] != key) {
    slot = (slot + 1) & Mask;
  }
  return slot;
}

uint32_t CKeyIndex::Insert(uint32_t key) {
  uint32_t slot = SlotOf(key);
  if (Slots[slot] != 0) {
    return Slots[slot] - 1;
  }
  const auto id = static_cast<uint32_t>(KeysById.size());
  KeysById.push_back(key);
  Slots[slot] = id + 1;
  if (KeysById.size() * 2 > Slots.size()) {
    Grow();
  }
  return id;
}

uint32_t CKeyIndex::Find(uint32_t key) const {
  const uint32_t slot = SlotOf(key);
  return Slots[slot] == 0 ? kAbsent : Slots[slot] - 1;
}

void CKeyIndex::Grow() {
  Slots.assign(Slots.size() * 2, 0);
  Mask = static_cast<uint32_t>(Slots.size() - 1);
  for (uint32_t id = 0; id < KeysById.size(); ++id) {
    uint32_t slot = Spread(KeysById[id]) & Mask;
    while (Slots[slot] != 0) {
      slot = (slot + 1) & Mask;
    }
    Slots[slot] = id + 1;
  }
}
