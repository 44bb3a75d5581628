// Tests of CKeyIndex: dense ids in order of first insertion.
#include "stats/key_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

TEST(CKeyIndex, NumbersKeysInOrderOfFirstInsertion) {
  CKeyIndex index;
  EXPECT_EQ(index.Find(0), CKeyIndex::kAbsent);
  EXPECT_EQ(index.Insert(0x636261), 0u);
  EXPECT_EQ(index.Insert(0), 1u);
  EXPECT_EQ(index.Insert(0x636261), 0u);
  EXPECT_EQ(index.Insert(0xFFFFFFFFu), 2u);
  EXPECT_EQ(index.Find(0), 1u);
  EXPECT_EQ(index.Find(0xFFFFFFFFu), 2u);
  EXPECT_EQ(index.Find(0x616263), CKeyIndex::kAbsent);
  EXPECT_EQ(index.Keys(), (std::vector<uint32_t>{0x636261, 0, 0xFFFFFFFFu}));
}

TEST(CKeyIndex, KeepsEveryIdThroughGrowth) {
  // Far more keys than the initial slots, in a pattern that collides often.
  std::mt19937 random(7);
  std::unordered_map<uint32_t, uint32_t> ids;
  std::vector<uint32_t> order;
  CKeyIndex index;
  for (int i = 0; i < 200000; ++i) {
    const uint32_t key = i % 3 == 0 ? static_cast<uint32_t>(i) << 12 : random() & 0xFFFFFF;
    const auto [entry, isNew] = ids.try_emplace(key, static_cast<uint32_t>(ids.size()));
    if (isNew) {
      order.push_back(key);
    }
    ASSERT_EQ(index.Insert(key), entry->second) << i;
  }
  EXPECT_EQ(index.Keys(), order);
  for (const auto& [key, id] : ids) {
    ASSERT_EQ(index.Find(key), id);
  }
  for (int i = 0; i < 10000; ++i) {
    const uint32_t key = random() | 0x80000000u;  // never inserted
    ASSERT_EQ(index.Find(key), CKeyIndex::kAbsent);
  }
}

}  // namespace
