// CHashSet: a chained hash set of unsigned integer keys of at most 32 bits.
/// The bucket count is a power of two, 1024 after construction; it doubles as soon as the element
/// count exceeds half of it and never shrinks, not even by RemoveAll. A key's bucket is
/// HashKey(key) AND (bucket count - 1); a new key is appended at the end of its bucket's chain.
/// Thread safety: every public operation holds the object's own lock (the TLock base, reached
/// through its virtual Lock/Unlock) from start to end; operations nest on one thread up to three
/// levels deep, so TLock must be recursive (CCriticalSectionLock) or no lock at all (CLock).
/// Containers are neither copied nor assigned. Memory exhaustion throws std::bad_alloc.
#ifndef KESTO_CORE_HASH_SET_H_
#define KESTO_CORE_HASH_SET_H_

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "core/checked_size.h"
#include "core/lock.h"

/// The element record of a CHashSet: the next node of the chain and the key.
template <typename TKey>
struct CHashSetNode {
  CHashSetNode* Link = nullptr;
  TKey Key = 0;
};

/// TNode is the element record: CHashSetNode for a set, or a record with a Value field for
/// CHashTable, which derives from this class with its own node type.
template <typename TKey, typename THash, typename TLock, typename TNode = CHashSetNode<TKey>>
class CHashSet : public TLock, public THash {
  static_assert(std::is_unsigned_v<TKey> && sizeof(TKey) <= sizeof(uint32_t),
                "keys are unsigned integers of at most 32 bits");
  static_assert(std::is_base_of_v<CLock, TLock>, "the lock must implement CLock");

 public:
  using Node = TNode;

  /// An empty set with 1024 buckets.
  CHashSet()
      : bucketCount_(std::bit_floor(kRequestedBucketCount)), buckets_(NewBuckets(bucketCount_)) {}

  /// Frees every node and the bucket array.
  ~CHashSet() override {
    if (buckets_) {
      RemoveAll();
      buckets_.reset();
      bucketCount_ = 0;
    }
  }

  CHashSet(const CHashSet&) = delete;
  CHashSet& operator=(const CHashSet&) = delete;

  /// Inserts an absent key; a present key leaves the elements unchanged. Either way the collision
  /// count grows by 1 if the key's bucket was occupied.
  void Add(TKey key) {
    CLockGuard guard(*this);
    LinkKey(key);
    GrowIfOverHalfFull();
  }

  /// True when the key is present.
  bool Contains(TKey key) const {
    CLockGuard guard(*this);
    return Find(key) != nullptr;
  }

  /// Frees every node and resets the element and collision counts; the bucket count stays.
  void RemoveAll() {
    CLockGuard guard(*this);
    for (uint32_t i = 0; i < bucketCount_; ++i) {
      FreeChain(buckets_[i]);
      buckets_[i] = nullptr;
    }
    elementCount_ = 0;
    collisionCount_ = 0;
  }

  uint32_t GetBucketCount() const {
    CLockGuard guard(*this);
    return bucketCount_;
  }

  /// The number of elements, that is of distinct keys.
  uint32_t GetCount() const {
    CLockGuard guard(*this);
    return elementCount_;
  }

  /// Inserts since the last RemoveAll or growth that found their bucket occupied; right after a
  /// growth it equals the element count minus the number of occupied buckets.
  uint32_t GetCollisionCount() const {
    CLockGuard guard(*this);
    return collisionCount_;
  }

 protected:
  /// Inserts the key of an existing node (a table overrides this to insert the value too). Resize
  /// re-inserts every element through this function.
  virtual void InsertNode(const Node* node) { Add(node->Key); }

  /// A new array of count null node pointers. Throws std::bad_alloc.
  virtual std::unique_ptr<Node* []> AllocBuckets(uint32_t count) {
    return std::unique_ptr<Node*[]>(NewBuckets(count));
  }

  /// Rebuilds the buckets with newBucketCount, a power of two at least twice the element count,
  /// by inserting a new node per element (old bucket order, then chain order) through InsertNode.
  /// Requires the lock to be held. If an insert throws, the elements not yet moved are lost but
  /// the set stays consistent.
  void Resize(uint32_t newBucketCount) {
    // The new array is taken first, so that its failure leaves the set untouched.
    std::unique_ptr<Node*[]> oldBuckets = std::exchange(buckets_, AllocBuckets(newBucketCount));
    const uint32_t oldBucketCount = std::exchange(bucketCount_, newBucketCount);
    elementCount_ = 0;
    collisionCount_ = 0;
    uint32_t i = 0;
    try {
      for (; i < oldBucketCount; ++i) {
        while (Node* node = oldBuckets[i]) {
          InsertNode(node);
          oldBuckets[i] = node->Link;
          delete node;
        }
      }
    } catch (...) {
      for (; i < oldBucketCount; ++i) {
        FreeChain(oldBuckets[i]);
      }
      throw;
    }
  }

  /// The node holding the key, or a new node with the key (other fields default) appended to its
  /// chain. Counts the element and the collision but does not grow. Requires the lock.
  Node* LinkKey(TKey key) {
    Node** slot = &buckets_[BucketOf(key)];
    if (*slot != nullptr) {
      ++collisionCount_;
    }
    for (; *slot != nullptr; slot = &(*slot)->Link) {
      if ((*slot)->Key == key) {
        return *slot;
      }
    }
    // Doubling beyond 2^31 buckets cannot be represented; refuse the element like a full memory.
    if (bucketCount_ > UINT32_MAX / 2 && elementCount_ == bucketCount_ / 2) {
      throw std::bad_alloc();
    }
    Node* node = new Node();
    node->Key = key;
    *slot = node;
    ++elementCount_;
    return node;
  }

  /// Doubles the bucket count when the element count exceeds half of it. Requires the lock.
  void GrowIfOverHalfFull() {
    if (elementCount_ > (bucketCount_ >> 1)) {
      Resize(bucketCount_ << 1);
    }
  }

  /// The element count, for an operation that already holds the lock.
  uint32_t CountUnderLock() const { return elementCount_; }

  /// The node holding the key, or null. Requires the lock.
  Node* Find(TKey key) const {
    for (Node* node = buckets_[BucketOf(key)]; node != nullptr; node = node->Link) {
      if (node->Key == key) {
        return node;
      }
    }
    return nullptr;
  }

  /// Calls visit(node) for every node: buckets in ascending order, each chain from its head.
  /// Requires the lock.
  template <typename TVisit>
  void ForEachNode(TVisit visit) const {
    for (uint32_t i = 0; i < bucketCount_; ++i) {
      for (const Node* node = buckets_[i]; node != nullptr; node = node->Link) {
        visit(*node);
      }
    }
  }

 private:
  static constexpr uint32_t kRequestedBucketCount = 1024;

  static Node** NewBuckets(uint32_t count) {
    Node** buckets = NewArray<Node*>(count);
    std::fill_n(buckets, count, nullptr);
    return buckets;
  }

  static void FreeChain(Node* node) {
    while (node != nullptr) {
      delete std::exchange(node, node->Link);
    }
  }

  uint32_t BucketOf(TKey key) const {
    return this->HashKey(static_cast<uint32_t>(key)) & (bucketCount_ - 1);
  }

  uint32_t bucketCount_;
  uint32_t collisionCount_ = 0;
  uint32_t elementCount_ = 0;
  std::unique_ptr<Node*[]> buckets_;
};

#endif  // KESTO_CORE_HASH_SET_H_
