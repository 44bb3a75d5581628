// CHashTable: a chained hash table from unsigned integer keys of at most 32 bits to values.
/// Buckets, growth, chain order and locking are those of CHashSet, its base. Values are numbers
/// (an absent key reads as 0). Lookup hands out a reference into the table, valid only until the
/// next insert (an insert may grow the table, and growth replaces every node), the next RemoveAll
/// or destruction; reading or writing through it is not protected by the lock. GetEntries hands
/// out copies that the caller owns. Not copyable.
#ifndef KESTO_CORE_HASH_TABLE_H_
#define KESTO_CORE_HASH_TABLE_H_

#include <cstdint>
#include <memory>

#include "core/checked_size.h"
#include "core/hash_set.h"
#include "core/lock.h"

/// The element record of a CHashTable: the next node of the chain, the key and the value. A
/// default record has a null link, key 0 and value 0.
template <typename TKey, typename TValue>
struct CHashTableNode {
  CHashTableNode* Link = nullptr;
  TKey Key = 0;
  TValue Value = 0;
};

template <typename TKey, typename TValue, typename THash, typename TLock>
class CHashTable : public CHashSet<TKey, THash, TLock, CHashTableNode<TKey, TValue>> {
  using Base = CHashSet<TKey, THash, TLock, CHashTableNode<TKey, TValue>>;

 public:
  using Node = typename Base::Node;

  CHashTable() = default;
  ~CHashTable() override = default;

  /// Inserts the key with the value, or overwrites the value of a present key. The collision
  /// count grows by 1 if the key's bucket was occupied.
  void SetAt(TKey key, TValue value) {
    CLockGuard guard(*this);
    this->LinkKey(key)->Value = value;
    // Only after the value is stored, so that a growth copies it with its key.
    this->GrowIfOverHalfFull();
  }

  /// The value of the key, which is inserted with value 0 if absent. See the header for how long
  /// the reference stays valid.
  TValue& Lookup(TKey key) {
    CLockGuard guard(*this);
    for (;;) {
      if (Node* node = this->Find(key)) {
        return node->Value;
      }
      // The search is repeated because the insert may have grown the table.
      SetAt(key, TValue(0));
    }
  }

  /// A new array with a copy of every element (key and value; the links are null), in ascending
  /// bucket order and within a bucket in chain order; count receives the number of elements. The
  /// array is never null, even for count 0.
  std::unique_ptr<Node[]> GetEntries(uint32_t& count) const {
    CLockGuard guard(*this);
    const uint32_t elementCount = this->CountUnderLock();
    std::unique_ptr<Node[]> entries(NewArray<Node>(elementCount));
    uint32_t next = 0;
    this->ForEachNode([&entries, &next](const Node& node) {
      entries[next].Key = node.Key;
      entries[next].Value = node.Value;
      ++next;
    });
    count = elementCount;
    return entries;
  }

 protected:
  /// Growth re-inserts the value together with the key.
  void InsertNode(const Node* node) override { SetAt(node->Key, node->Value); }

 private:
  // A table is filled with SetAt and Lookup only.
  using Base::Add;
};

#endif  // KESTO_CORE_HASH_TABLE_H_
