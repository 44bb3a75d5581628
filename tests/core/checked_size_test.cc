// Tests of the overflow-checked array byte sizes.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "core/checked_size.h"

namespace {

TEST(CheckedArrayBytesTest, ProductOrLargestSizeOnOverflow) {
  struct Case {
    std::size_t count;
    std::size_t elementSize;
    std::size_t expected;
  };
  constexpr std::size_t kMax = SIZE_MAX;
  const Case cases[] = {
      {0, 8, 0},
      {8, 0, 0},
      {3, 8, 24},
      {1024, sizeof(void*), 1024 * sizeof(void*)},
      {kMax, 1, kMax},
      {kMax / 8, 8, (kMax / 8) * 8},
      {kMax / 8 + 1, 8, kMax},
      {kMax, 2, kMax},
      {std::size_t{1} << (sizeof(std::size_t) * 4), std::size_t{1} << (sizeof(std::size_t) * 4),
       kMax},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " x " << c.elementSize);
    EXPECT_EQ(CheckedArrayBytes(c.count, c.elementSize), c.expected);
  }
}

TEST(NewArrayTest, OverflowingSizeThrowsBadAllocInsteadOfShortArray) {
  // The byte count wraps to 8, so an unchecked allocation would give a one-element array.
  const std::size_t wrappingCount = SIZE_MAX / sizeof(uint64_t) + 2;
  EXPECT_THROW(NewArray<uint64_t>(wrappingCount), std::bad_alloc);

  std::unique_ptr<uint64_t[]> zero(NewArray<uint64_t>(0));
  EXPECT_NE(zero, nullptr);
  std::unique_ptr<uint64_t[]> some(NewArray<uint64_t>(5));
  for (std::size_t i = 0; i < 5; ++i) {
    some[i] = i;
  }
  EXPECT_EQ(some[4], 4u);
}

}  // namespace
