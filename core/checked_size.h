// Overflow-checked byte sizes of heap arrays.
/// An array whose byte size does not fit in std::size_t must end in std::bad_alloc, never in a
/// shorter allocation. Both functions are pure apart from the allocation and safe on any thread.
#ifndef KESTO_CORE_CHECKED_SIZE_H_
#define KESTO_CORE_CHECKED_SIZE_H_

#include <cstddef>
#include <cstdint>
#include <new>

/// count × elementSize, or SIZE_MAX when the product overflows.
constexpr std::size_t CheckedArrayBytes(std::size_t count, std::size_t elementSize) noexcept {
  std::size_t bytes = 0;
  if (__builtin_mul_overflow(count, elementSize, &bytes)) {
    return SIZE_MAX;
  }
  return bytes;
}

/// A new[] array of count default-initialised elements, to be freed with delete[].
/// Throws std::bad_alloc when the byte size overflows or the allocation fails.
template <typename T>
T* NewArray(std::size_t count) {
  // No object is that large, so the overflow marker can never be a real request.
  if (CheckedArrayBytes(count, sizeof(T)) == SIZE_MAX) {
    throw std::bad_alloc();
  }
  return new T[count];
}

#endif  // KESTO_CORE_CHECKED_SIZE_H_
