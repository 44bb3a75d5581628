// Tests of CDefaultHash, CHashSet and CHashTable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/critical_section_lock.h"
#include "core/default_hash.h"
#include "core/hash_set.h"
#include "core/hash_table.h"
#include "core/lock.h"

namespace {

using CCountSet = CHashSet<unsigned int, CDefaultHash, CCriticalSectionLock>;
using CCountTable = CHashTable<unsigned int, unsigned int, CDefaultHash, CCriticalSectionLock>;
using CFrequencyTable = CHashTable<unsigned int, double, CDefaultHash, CCriticalSectionLock>;

// The six steps written independently of the code under test: 64-bit arithmetic, masked.
uint32_t ReferenceHash(uint32_t key) {
  constexpr uint64_t kMask = 0xffffffffu;
  uint64_t a = key;
  a = ((a + 0x7ed55d16u) + (a << 12)) & kMask;
  a = ((a ^ 0xc761c23cu) ^ (a >> 19)) & kMask;
  a = ((a + 0x165667b1u) + (a << 5)) & kMask;
  a = ((a + 0xd3a2646cu) ^ ((a << 9) & kMask)) & kMask;
  a = ((a + 0xfd7046c5u) + (a << 3)) & kMask;
  a = ((a ^ 0xb55a4f09u) ^ (a >> 16)) & kMask;
  return static_cast<uint32_t>(a);
}

uint32_t ReferenceBucket(uint32_t key, uint32_t bucketCount) {
  return ReferenceHash(key) & (bucketCount - 1);
}

// What a container must report, tracked from the rules: buckets double when the element count
// exceeds half of them; an insert into an occupied bucket is a collision; after a growth the
// collision count is elements minus occupied buckets; chains keep first-insertion order.
class CReferenceModel {
 public:
  // An insert of the key (Add, SetAt, or Lookup of an absent key).
  void Insert(uint32_t key) {
    const uint32_t bucket = ReferenceBucket(key, bucketCount_);
    if (occupancy_[bucket] > 0) {
      ++collisionCount_;
    }
    if (!keys_.insert(key).second) {
      return;
    }
    order_.push_back(key);
    ++occupancy_[bucket];
    if (order_.size() > bucketCount_ / 2) {
      bucketCount_ *= 2;
      occupancy_.clear();
      for (uint32_t k : order_) {
        ++occupancy_[ReferenceBucket(k, bucketCount_)];
      }
      collisionCount_ = static_cast<uint32_t>(order_.size() - occupancy_.size());
    }
  }

  void RemoveAll() {
    keys_.clear();
    order_.clear();
    occupancy_.clear();
    collisionCount_ = 0;
  }

  bool Contains(uint32_t key) const { return keys_.count(key) != 0; }
  uint32_t Count() const { return static_cast<uint32_t>(order_.size()); }
  uint32_t BucketCount() const { return bucketCount_; }
  uint32_t CollisionCount() const { return collisionCount_; }
  const std::vector<uint32_t>& InsertionOrder() const { return order_; }

  // Ascending bucket, then insertion order within a bucket.
  std::vector<uint32_t> ExpectedEntryOrder() const {
    std::vector<uint32_t> keys = order_;
    std::stable_sort(keys.begin(), keys.end(), [this](uint32_t a, uint32_t b) {
      return ReferenceBucket(a, bucketCount_) < ReferenceBucket(b, bucketCount_);
    });
    return keys;
  }

 private:
  uint32_t bucketCount_ = 1024;
  uint32_t collisionCount_ = 0;
  std::unordered_set<uint32_t> keys_;
  std::vector<uint32_t> order_;
  std::unordered_map<uint32_t, uint32_t> occupancy_;
};

template <typename TContainer>
void ExpectCountsMatch(const TContainer& container, const CReferenceModel& model) {
  EXPECT_EQ(container.GetBucketCount(), model.BucketCount());
  EXPECT_EQ(container.GetCount(), model.Count());
  EXPECT_EQ(container.GetCollisionCount(), model.CollisionCount());
}

// Compares the snapshot, order included, with the model and the reference values.
template <typename TTable, typename TValue>
void ExpectEntriesMatch(const TTable& table, const CReferenceModel& model,
                        const std::unordered_map<uint32_t, TValue>& values) {
  uint32_t count = 0xdeadu;
  std::unique_ptr<typename TTable::Node[]> entries = table.GetEntries(count);
  ASSERT_NE(entries, nullptr);
  std::vector<std::pair<uint32_t, TValue>> actual;
  for (uint32_t i = 0; i < count; ++i) {
    actual.emplace_back(entries[i].Key, entries[i].Value);
  }
  std::vector<std::pair<uint32_t, TValue>> expected;
  for (uint32_t key : model.ExpectedEntryOrder()) {
    expected.emplace_back(key, values.at(key));
  }
  EXPECT_EQ(actual, expected);
}

// Distinct keys in a fixed pseudo-random order, 0 and 0xffffffff among the first ones.
std::vector<uint32_t> DistinctKeys(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> keys = {0u, 0xffffffffu};
  std::unordered_set<uint32_t> seen(keys.begin(), keys.end());
  while (keys.size() < count) {
    const uint32_t key = static_cast<uint32_t>(random());
    if (seen.insert(key).second) {
      keys.push_back(key);
    }
  }
  keys.resize(count);
  return keys;
}

// The first keys from 0 upwards that share one bucket of a 1024-bucket container.
std::vector<uint32_t> KeysInOneBucket(size_t count) {
  std::unordered_map<uint32_t, std::vector<uint32_t>> byBucket;
  for (uint32_t key = 0;; ++key) {
    std::vector<uint32_t>& keys = byBucket[ReferenceBucket(key, 1024)];
    keys.push_back(key);
    if (keys.size() == count) {
      return keys;
    }
  }
}

TEST(CDefaultHashTest, MatchesValuesComputedFromTheSixSteps) {
  // Computed once outside this code base from the six steps.
  struct Case {
    uint32_t key;
    uint32_t hash;
  };
  const Case cases[] = {
      {0x00000000u, 0x6b4ed927u}, {0x00000001u, 0xb48681b6u}, {0x00000020u, 0x3262ab2bu},
      {0x00006548u, 0xf2f1320bu}, {0x00616e64u, 0xd2c6b582u}, {0x80000000u, 0x7e7b3c12u},
      {0xdeadbeefu, 0x7ff0eadau}, {0xffffffffu, 0xfe64c182u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.key);
    EXPECT_EQ(CDefaultHash::HashKey(c.key), c.hash);
    // The other tests predict buckets with the reference, so it must agree too.
    EXPECT_EQ(ReferenceHash(c.key), c.hash);
  }
}

// Inserting is the one operation that differs between the set and the tables.
void Insert(CCountSet& set, uint32_t key) {
  set.Add(key);
}
template <typename TValue>
void Insert(CHashTable<unsigned int, TValue, CDefaultHash, CCriticalSectionLock>& table,
            uint32_t key) {
  table.SetAt(key, static_cast<TValue>(key % 1000 + 1));
}

template <typename TContainer>
class HashContainerTest : public testing::Test {
 protected:
  static constexpr bool kIsTable = !std::is_same_v<TContainer, CCountSet>;

  // Checks counts, membership and, for a table, the snapshot in order.
  void ExpectMatchesModel(const TContainer& container, const CReferenceModel& model) {
    ExpectCountsMatch(container, model);
    for (uint32_t key : model.InsertionOrder()) {
      ASSERT_TRUE(container.Contains(key)) << key;
    }
    if constexpr (kIsTable) {
      using TValue = decltype(TContainer::Node::Value);
      std::unordered_map<uint32_t, TValue> values;
      for (uint32_t key : model.InsertionOrder()) {
        values[key] = static_cast<TValue>(key % 1000 + 1);
      }
      ExpectEntriesMatch(container, model, values);
    }
  }
};

using HashContainerTypes = testing::Types<CCountSet, CCountTable, CFrequencyTable>;
TYPED_TEST_SUITE(HashContainerTest, HashContainerTypes);

TYPED_TEST(HashContainerTest, NewContainerIsEmptyWith1024Buckets) {
  TypeParam container;
  EXPECT_EQ(container.GetBucketCount(), 1024u);
  EXPECT_EQ(container.GetCount(), 0u);
  EXPECT_EQ(container.GetCollisionCount(), 0u);
  for (uint32_t key : DistinctKeys(2000, 1)) {
    ASSERT_FALSE(container.Contains(key)) << key;
  }
  if constexpr (TestFixture::kIsTable) {
    uint32_t count = 99;
    auto entries = container.GetEntries(count);
    EXPECT_NE(entries, nullptr);
    EXPECT_EQ(count, 0u);
  }
}

// Growth happens exactly when the element count exceeds half the buckets, after the new key is
// linked; chains keep insertion order across the growth.
TYPED_TEST(HashContainerTest, GrowsWhenMoreThanHalfFull) {
  struct Checkpoint {
    size_t keys;
    uint32_t bucketCount;
  };
  const Checkpoint checkpoints[] = {{1, 1024},    {512, 1024},  {513, 2048}, {1024, 2048},
                                    {1025, 4096}, {2048, 4096}, {2049, 8192}};
  const std::vector<uint32_t> keys = DistinctKeys(2049, 2);
  TypeParam container;
  CReferenceModel model;
  size_t inserted = 0;
  for (const Checkpoint& checkpoint : checkpoints) {
    for (; inserted < checkpoint.keys; ++inserted) {
      Insert(container, keys[inserted]);
      model.Insert(keys[inserted]);
    }
    SCOPED_TRACE(testing::Message() << checkpoint.keys << " keys");
    ASSERT_EQ(model.BucketCount(), checkpoint.bucketCount);
    this->ExpectMatchesModel(container, model);
    EXPECT_FALSE(container.Contains(0x12345678u));
  }
}

TYPED_TEST(HashContainerTest, RemoveAllKeepsTheGrownBucketCount) {
  const std::vector<uint32_t> keys = DistinctKeys(1200, 3);
  TypeParam container;
  CReferenceModel model;
  for (size_t i = 0; i < 513; ++i) {
    Insert(container, keys[i]);
    model.Insert(keys[i]);
  }
  ASSERT_EQ(container.GetBucketCount(), 2048u);
  container.RemoveAll();
  model.RemoveAll();
  this->ExpectMatchesModel(container, model);
  for (size_t i = 0; i < 513; ++i) {
    ASSERT_FALSE(container.Contains(keys[i])) << keys[i];
  }
  // Keys inserted afterwards are placed with 2048 buckets; 600 keys would not have grown 1024.
  for (size_t i = 513; i < 1113; ++i) {
    Insert(container, keys[i]);
    model.Insert(keys[i]);
  }
  this->ExpectMatchesModel(container, model);
  container.RemoveAll();
  container.RemoveAll();
  EXPECT_EQ(container.GetBucketCount(), 2048u);
  EXPECT_EQ(container.GetCount(), 0u);
}

// Re-inserting a key at the head, middle or end of a chain keeps the elements and their order and
// counts one collision.
TYPED_TEST(HashContainerTest, InsertingAPresentKeyAddsOnlyACollision) {
  const std::vector<uint32_t> chain = KeysInOneBucket(3);
  for (size_t position = 0; position < chain.size(); ++position) {
    SCOPED_TRACE(testing::Message() << "position " << position);
    TypeParam container;
    CReferenceModel model;
    for (uint32_t key : chain) {
      Insert(container, key);
      model.Insert(key);
    }
    ASSERT_EQ(container.GetCollisionCount(), 2u);
    Insert(container, chain[position]);
    model.Insert(chain[position]);
    EXPECT_EQ(container.GetCollisionCount(), 3u);
    this->ExpectMatchesModel(container, model);
  }
}

TEST(CHashTableTest, SetAtOverwritesTheValueAtEveryChainPosition) {
  const std::vector<uint32_t> chain = KeysInOneBucket(3);
  for (size_t position = 0; position < chain.size(); ++position) {
    SCOPED_TRACE(testing::Message() << "position " << position);
    CCountTable table;
    for (uint32_t key : chain) {
      table.SetAt(key, key + 1);
    }
    table.SetAt(chain[position], 777);
    EXPECT_EQ(table.GetCount(), 3u);
    EXPECT_EQ(table.GetCollisionCount(), 3u);
    uint32_t count = 0;
    auto entries = table.GetEntries(count);
    ASSERT_EQ(count, 3u);
    for (size_t i = 0; i < chain.size(); ++i) {
      EXPECT_EQ(entries[i].Key, chain[i]);
      EXPECT_EQ(entries[i].Value, i == position ? 777u : chain[i] + 1);
    }
  }
}

TEST(CHashTableTest, KeysOfOneBucketStayInInsertionOrder) {
  const std::vector<uint32_t> chain = KeysInOneBucket(2);
  CFrequencyTable table;
  table.SetAt(chain[1], 1.5);
  table.SetAt(chain[0], 2.5);
  uint32_t count = 0;
  auto entries = table.GetEntries(count);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(entries[0].Key, chain[1]);
  EXPECT_EQ(entries[0].Value, 1.5);
  EXPECT_EQ(entries[1].Key, chain[0]);
  EXPECT_EQ(entries[1].Value, 2.5);
}

TEST(CHashTableTest, GetEntriesHandsOutIndependentCopies) {
  CCountTable table;
  table.SetAt(5, 50);
  uint32_t count = 0;
  auto entries = table.GetEntries(count);
  ASSERT_EQ(count, 1u);
  entries[0].Value = 1;
  entries[0].Key = 6;
  EXPECT_EQ(table.Lookup(5), 50u);
  EXPECT_FALSE(table.Contains(6));
  // A node made without arguments is all zero.
  const CCountTable::Node node;
  EXPECT_EQ(node.Link, nullptr);
  EXPECT_EQ(node.Key, 0u);
  EXPECT_EQ(node.Value, 0u);
}

template <typename TTable>
class HashTableLookupTest : public testing::Test {};
using HashTableTypes = testing::Types<CCountTable, CFrequencyTable>;
TYPED_TEST_SUITE(HashTableLookupTest, HashTableTypes);

TYPED_TEST(HashTableLookupTest, LookupOfAbsentKeyInsertsZeroOnce) {
  using TValue = decltype(TypeParam::Node::Value);
  struct Case {
    uint32_t key;
    bool bucketOccupied;  // whether another key already sits in the key's bucket
  };
  const Case cases[] = {{0u, false}, {0u, true}, {0xffffffffu, false}, {0xffffffffu, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << (c.bucketOccupied ? " occupied" : " empty"));
    TypeParam table;
    // A neighbour in the key's bucket, or in another bucket.
    uint32_t neighbour = c.key + 1;
    while ((ReferenceBucket(neighbour, 1024) == ReferenceBucket(c.key, 1024)) != c.bucketOccupied) {
      ++neighbour;
    }
    table.SetAt(neighbour, TValue(3));
    ASSERT_EQ(table.GetCollisionCount(), 0u);
    TValue& value = table.Lookup(c.key);
    EXPECT_EQ(value, TValue(0));
    EXPECT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetCollisionCount(), c.bucketOccupied ? 1u : 0u);
    value = TValue(7);
    EXPECT_EQ(table.Lookup(c.key), TValue(7));
    EXPECT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetCollisionCount(), c.bucketOccupied ? 1u : 0u);
    EXPECT_EQ(table.Lookup(neighbour), TValue(3));
  }
}

// The reference must point into the node that survives the growth.
TYPED_TEST(HashTableLookupTest, LookupThatGrowsTheTableReturnsTheSurvivingNode) {
  const std::vector<uint32_t> keys = DistinctKeys(513, 4);
  TypeParam table;
  for (size_t i = 0; i < 512; ++i) {
    table.SetAt(keys[i], 1);
  }
  ASSERT_EQ(table.GetBucketCount(), 1024u);
  auto& value = table.Lookup(keys[512]);
  EXPECT_EQ(table.GetBucketCount(), 2048u);
  EXPECT_EQ(value, 0u);
  value = 42;
  EXPECT_EQ(table.Lookup(keys[512]), 42u);
  EXPECT_EQ(table.GetCount(), 513u);
  uint32_t count = 0;
  auto entries = table.GetEntries(count);
  ASSERT_EQ(count, 513u);
  const auto found = std::find_if(entries.get(), entries.get() + count,
                                  [&keys](const auto& entry) { return entry.Key == keys[512]; });
  ASSERT_NE(found, entries.get() + count);
  EXPECT_EQ(found->Value, 42u);
}

// Many thousands of random operations against std::unordered_map and the reference model.
TYPED_TEST(HashTableLookupTest, RandomOperationsMatchAReferenceMap) {
  using TValue = decltype(TypeParam::Node::Value);
  std::mt19937 random(5);
  const std::vector<uint32_t> pool = DistinctKeys(3000, 6);
  auto randomKey = [&] {
    // Mostly keys of the pool, so that lookups hit; sometimes any key.
    return random() % 8 == 0 ? static_cast<uint32_t>(random()) : pool[random() % pool.size()];
  };
  TypeParam table;
  CReferenceModel model;
  std::unordered_map<uint32_t, TValue> values;
  int removeAlls = 0;
  for (int step = 0; step < 60000; ++step) {
    const uint32_t key = randomKey();
    const uint32_t choice = random() % 1000;
    if (choice < 400) {
      const TValue value = static_cast<TValue>(random() % 1000);
      table.SetAt(key, value);
      model.Insert(key);
      values[key] = value;
    } else if (choice < 650) {
      const bool present = model.Contains(key);
      TValue& value = table.Lookup(key);
      if (!present) {
        model.Insert(key);
        values[key] = 0;
      }
      ASSERT_EQ(value, values[key]) << "step " << step;
      if (choice % 2 == 0) {
        value += 1;
        values[key] += 1;
      }
    } else if (choice < 998) {
      ASSERT_EQ(table.Contains(key), model.Contains(key)) << "step " << step;
    } else if (choice == 999 && step % 10 == 0) {
      table.RemoveAll();
      model.RemoveAll();
      values.clear();
      ++removeAlls;
    }
    ExpectCountsMatch(table, model);
    if (step % 1500 == 0 || step == 59999) {
      ExpectEntriesMatch(table, model, values);
    }
    if (this->HasFailure()) {
      FAIL() << "diverged at step " << step;
    }
  }
  // The run must have crossed several growth points and emptied the table for the comparison to
  // mean anything.
  EXPECT_GE(model.BucketCount(), 4096u);
  EXPECT_GE(removeAlls, 2);
}

TEST(CHashSetTest, RandomOperationsMatchAReferenceSet) {
  std::mt19937 random(7);
  const std::vector<uint32_t> pool = DistinctKeys(3000, 8);
  CCountSet set;
  CReferenceModel model;
  std::set<uint32_t> reference;
  int removeAlls = 0;
  for (int step = 0; step < 60000; ++step) {
    const uint32_t key =
        random() % 8 == 0 ? static_cast<uint32_t>(random()) : pool[random() % pool.size()];
    const uint32_t choice = random() % 1000;
    if (choice < 500) {
      set.Add(key);
      model.Insert(key);
      reference.insert(key);
    } else if (choice < 998) {
      ASSERT_EQ(set.Contains(key), reference.count(key) != 0) << "step " << step;
    } else if (choice == 999 && step % 10 == 0) {
      set.RemoveAll();
      model.RemoveAll();
      reference.clear();
      ++removeAlls;
    }
    ExpectCountsMatch(set, model);
    ASSERT_EQ(set.GetCount(), reference.size());
    if (HasFailure()) {
      FAIL() << "diverged at step " << step;
    }
  }
  for (uint32_t key : pool) {
    ASSERT_EQ(set.Contains(key), reference.count(key) != 0) << key;
  }
  EXPECT_GE(model.BucketCount(), 4096u);
  EXPECT_GE(removeAlls, 2);
}

// A lock that records how the container uses it.
class CRecordingLock : public CLock {
 public:
  void Lock() const override {
    ++acquisitions;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
  }
  bool TryLock(int32_t arg = 0) const override {
    static_cast<void>(arg);
    Lock();
    return true;
  }
  void Unlock() const override { --depth; }

  mutable int acquisitions = 0;
  mutable int depth = 0;
  mutable int maxDepth = 0;
};

using CRecordingTable = CHashTable<unsigned int, unsigned int, CDefaultHash, CRecordingLock>;
using CRecordingSet = CHashSet<unsigned int, CDefaultHash, CRecordingLock>;

// Every operation locks through the virtual slots, balances its Unlocks, and nests as deep as
// its calls go: Lookup -> SetAt -> Resize -> InsertNode -> SetAt.
TEST(HashContainerLockingTest, EveryOperationHoldsTheLockAndNests) {
  const std::vector<uint32_t> keys = DistinctKeys(514, 9);
  struct Case {
    const char* name;
    int fillKeys;  // keys inserted before; with 512 the next new key makes the table grow
    void (*operation)(CRecordingTable& table, uint32_t presentKey, uint32_t newKey);
    int maxDepth;
  };
  const Case cases[] = {
      {"SetAt", 0, [](CRecordingTable& t, uint32_t, uint32_t k) { t.SetAt(k, 1); }, 1},
      {"SetAt growing", 512, [](CRecordingTable& t, uint32_t, uint32_t k) { t.SetAt(k, 1); }, 2},
      {"Lookup present", 1, [](CRecordingTable& t, uint32_t p, uint32_t) { ++t.Lookup(p); }, 1},
      {"Lookup absent", 0, [](CRecordingTable& t, uint32_t, uint32_t k) { ++t.Lookup(k); }, 2},
      {"Lookup growing", 512, [](CRecordingTable& t, uint32_t, uint32_t k) { ++t.Lookup(k); }, 3},
      {"Contains", 1, [](CRecordingTable& t, uint32_t p, uint32_t) { EXPECT_TRUE(t.Contains(p)); },
       1},
      {"RemoveAll", 3, [](CRecordingTable& t, uint32_t, uint32_t) { t.RemoveAll(); }, 1},
      {"GetEntries", 3,
       [](CRecordingTable& t, uint32_t, uint32_t) {
         uint32_t count = 0;
         EXPECT_NE(t.GetEntries(count), nullptr);
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRecordingTable table;
    for (int i = 0; i < c.fillKeys; ++i) {
      table.SetAt(keys[i], 1);
    }
    table.acquisitions = 0;
    table.maxDepth = 0;
    c.operation(table, keys[0], keys[513]);
    EXPECT_GE(table.acquisitions, 1);
    EXPECT_EQ(table.depth, 0);
    EXPECT_EQ(table.maxDepth, c.maxDepth);
  }

  CRecordingSet set;
  for (int i = 0; i < 512; ++i) {
    set.Add(keys[i]);
  }
  set.maxDepth = 0;
  set.Add(keys[513]);
  EXPECT_EQ(set.GetBucketCount(), 2048u);
  EXPECT_EQ(set.depth, 0);
  EXPECT_EQ(set.maxDepth, 2);
}

// The containers' own lock serialises threads that insert at once, growth included.
TEST(HashContainerLockingTest, ConcurrentInsertsFromSeveralThreadsKeepEveryKey) {
  constexpr uint32_t kThreads = 4;
  constexpr uint32_t kKeysPerThread = 3000;
  CCountTable table;
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&table, t] {
      for (uint32_t i = 0; i < kKeysPerThread; ++i) {
        const uint32_t key = i * kThreads + t;
        table.SetAt(key, key + 1);
        static_cast<void>(table.Contains(key));
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(table.GetCount(), kThreads * kKeysPerThread);
  // 12000 keys need 32768 buckets: 16384 / 2 is still fewer than 12000.
  EXPECT_EQ(table.GetBucketCount(), 32768u);
  uint32_t count = 0;
  auto entries = table.GetEntries(count);
  ASSERT_EQ(count, kThreads * kKeysPerThread);
  std::vector<bool> seen(count, false);
  for (uint32_t i = 0; i < count; ++i) {
    ASSERT_LT(entries[i].Key, count);
    EXPECT_EQ(entries[i].Value, entries[i].Key + 1);
    seen[entries[i].Key] = true;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), static_cast<long>(count));
}

}  // namespace
