// CDefaultHash: the hash policy of the hash containers, Robert Jenkins' 32-bit integer hash.
/// An empty class with no state and no virtual operations; HashKey is a pure function of the key,
/// safe to call from any thread. All arithmetic wraps modulo 2^32 and right shifts are logical.
#ifndef KESTO_CORE_DEFAULT_HASH_H_
#define KESTO_CORE_DEFAULT_HASH_H_

#include <cstdint>

class CDefaultHash {
 public:
  /// The hash of a key; every key, 0 and 0xffffffff included, is an ordinary key.
  static constexpr uint32_t HashKey(uint32_t key) {
    uint32_t a = key;
    a = (a + 0x7ed55d16u) + (a << 12);
    a = (a ^ 0xc761c23cu) ^ (a >> 19);
    a = (a + 0x165667b1u) + (a << 5);
    a = (a + 0xd3a2646cu) ^ (a << 9);
    a = (a + 0xfd7046c5u) + (a << 3);
    a = (a ^ 0xb55a4f09u) ^ (a >> 16);
    return a;
  }
};

#endif  // KESTO_CORE_DEFAULT_HASH_H_
