// Tests of CArray: growth, sharing, copy-on-write and the maximum size.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "core/array.h"
#include "core/lock.h"

namespace {

using CPathArray = CArray<wchar_t*, CLock, int>;

// Heap strings that the test owns and frees itself: an array freeing one would be a double free
// under the sanitizers.
class CStrings {
 public:
  explicit CStrings(size_t count) {
    for (size_t i = 0; i < count; ++i) {
      const std::wstring text = L"path" + std::to_wstring(i);
      auto copy = std::make_unique<wchar_t[]>(text.size() + 1);
      std::wmemcpy(copy.get(), text.c_str(), text.size() + 1);
      strings_.push_back(std::move(copy));
    }
  }
  wchar_t* operator[](size_t i) const { return strings_[i].get(); }

 private:
  std::vector<std::unique_ptr<wchar_t[]>> strings_;
};

// Appends strings[0 .. count) to the array.
void AppendAll(CPathArray& array, const CStrings& strings, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    array.Append(strings[i]);
  }
}

// Compares the first count elements through the record, so that checking copies nothing.
void ExpectStartsWith(const CPathArray& array, const CStrings& strings, size_t count) {
  ASSERT_GE(array.GetCount(), count);
  ASSERT_NE(array.GetStorage(), nullptr);
  const wchar_t* const* elements = array.GetStorage()->GetElements();
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(elements[i], strings[i]) << "element " << i;
  }
}

// The array holds exactly strings[0 .. count).
void ExpectHolds(const CPathArray& array, const CStrings& strings, size_t count) {
  EXPECT_EQ(array.GetCount(), count);
  ExpectStartsWith(array, strings, count);
}

// Catches the maximum-size exception, a pointer to a new int, and frees it.
template <typename TOperation>
bool ThrowsMaxSizeException(TOperation operation) {
  try {
    operation();
  } catch (int* exception) {
    delete exception;
    return true;
  }
  return false;
}

TEST(CArrayTest, NewArrayHasNoStorage) {
  CPathArray array;
  EXPECT_EQ(array.GetCount(), 0u);
  EXPECT_EQ(array.GetStorage(), nullptr);
  EXPECT_EQ(array.GetCapacity(), 0u);
  EXPECT_EQ(array.GetRefCount(), 0);
  EXPECT_EQ(array.GetMaxSize(), 0u);
  CPathArray copy(array);
  EXPECT_EQ(copy.GetStorage(), nullptr);
}

TEST(CArrayTest, AppendGrowsToHalfAgainTheRequestAndKeepsElements) {
  const uint32_t expectedCapacities[] = {1, 3, 3, 6, 6, 6, 10, 10, 10, 10, 16, 16};
  const CStrings strings(12);
  CPathArray array;
  const wchar_t* const* previousSlots = nullptr;
  for (size_t i = 0; i < 12; ++i) {
    SCOPED_TRACE(testing::Message() << "append " << i + 1);
    array.Append(strings[i]);
    EXPECT_EQ(array.GetCapacity(), expectedCapacities[i]);
    const bool grew = i == 0 || expectedCapacities[i] != expectedCapacities[i - 1];
    const wchar_t* const* slots = array.GetStorage()->GetElements();
    if (!grew) {
      EXPECT_EQ(slots, previousSlots) << "no reallocation without growth";
    }
    previousSlots = slots;
    ExpectHolds(array, strings, i + 1);
  }
  EXPECT_EQ(array.GetRefCount(), 1);
}

TEST(CArrayTest, LongRunOfAppendsReallocatesAtTheExpectedPoints) {
  // capacity sequence and the append numbers at which each capacity appears
  const uint32_t capacities[] = {1, 3, 6, 10, 16, 25, 39, 60, 91, 138, 208, 313, 471, 708, 1063};
  const uint32_t growthAppends[] = {1, 2, 4, 7, 11, 17, 26, 40, 61, 92, 139, 209, 314, 472, 709};
  const CStrings strings(709);
  CPathArray array;
  std::vector<uint32_t> seenCapacities;
  std::vector<uint32_t> seenGrowthAppends;
  for (uint32_t i = 0; i < 709; ++i) {
    array.Append(strings[i]);
    if (seenCapacities.empty() || seenCapacities.back() != array.GetCapacity()) {
      seenCapacities.push_back(array.GetCapacity());
      seenGrowthAppends.push_back(i + 1);
    }
  }
  EXPECT_EQ(seenCapacities, std::vector<uint32_t>(std::begin(capacities), std::end(capacities)));
  EXPECT_EQ(seenGrowthAppends,
            std::vector<uint32_t>(std::begin(growthAppends), std::end(growthAppends)));
  ExpectHolds(array, strings, 709);
}

TEST(CArrayTest, GetBufferMakesStorageOrGrowsOnlyWhenTooSmall) {
  CPathArray array;
  wchar_t** slots = array.GetBuffer(0);
  ASSERT_NE(slots, nullptr);
  EXPECT_EQ(array.GetCapacity(), 64u);
  EXPECT_EQ(array.GetCount(), 0u);
  EXPECT_EQ(array.GetRefCount(), 1);
  for (uint32_t n : {0u, 1u, 63u, 64u}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(array.GetBuffer(n), slots);
    EXPECT_EQ(array.GetCapacity(), 64u);
    EXPECT_EQ(array.GetCount(), 0u);
  }

  // A request above the capacity grows to n + n/2, rounding the half down.
  struct Case {
    uint32_t request;
    uint32_t capacity;
  };
  const Case cases[] = {{2, 3}, {5, 7}, {7, 10}, {100, 150}, {65, 97}};
  const CStrings strings(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    CPathArray grown;
    grown.Append(strings[0]);
    grown.GetBuffer(c.request);
    EXPECT_EQ(grown.GetCapacity(), c.capacity);
    ExpectHolds(grown, strings, 1);
  }
  // Without storage the request itself is the capacity; the default only replaces 0.
  CPathArray exact;
  exact.GetBuffer(5);
  EXPECT_EQ(exact.GetCapacity(), 5u);
}

TEST(CArrayTest, CopiesShareTheRecordUntilOneOfThemIsAccessed) {
  const CStrings strings(3);
  auto a = std::make_unique<CPathArray>();
  AppendAll(*a, strings, 3);
  CPathArray b;
  b = *a;
  CPathArray c(*a);
  EXPECT_EQ(b.GetStorage(), a->GetStorage());
  EXPECT_EQ(c.GetStorage(), a->GetStorage());
  EXPECT_EQ(a->GetRefCount(), 3);
  ExpectHolds(b, strings, 3);

  // Destroying a sharer frees nothing the others use.
  a.reset();
  EXPECT_EQ(b.GetRefCount(), 2);
  ExpectHolds(b, strings, 3);
  ExpectHolds(c, strings, 3);
}

TEST(CArrayTest, AccessThroughASharerGivesItAPrivateCopy) {
  const CStrings strings(5);
  struct Case {
    const char* name;
    void (*access)(CPathArray& array);
    uint32_t copyCount;
    uint32_t copyCapacity;
  };
  // The shared record holds 3 elements in 3 slots.
  const Case cases[] = {
      {"read ElementAt", [](CPathArray& b) { EXPECT_NE(b.ElementAt(0), nullptr); }, 3, 3},
      {"GetBuffer large enough", [](CPathArray& b) { b.GetBuffer(1); }, 3, 3},
      {"GetBuffer larger, exact size", [](CPathArray& b) { b.GetBuffer(9); }, 3, 9},
      {"Append to full record", [](CPathArray& b) { b.Append(nullptr); }, 4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPathArray a;
    AppendAll(a, strings, 3);
    ASSERT_EQ(a.GetCapacity(), 3u);
    CPathArray b;
    b = a;
    const auto* shared = a.GetStorage();
    c.access(b);
    EXPECT_NE(b.GetStorage(), shared);
    EXPECT_EQ(a.GetStorage(), shared);
    EXPECT_EQ(a.GetRefCount(), 1);
    EXPECT_EQ(b.GetRefCount(), 1);
    EXPECT_EQ(b.GetCount(), c.copyCount);
    EXPECT_EQ(b.GetCapacity(), c.copyCapacity);
    ExpectHolds(a, strings, 3);
    ExpectStartsWith(b, strings, 3);
    if (c.copyCount == 4) {
      EXPECT_EQ(b.GetStorage()->GetElements()[3], nullptr) << "the appended element";
    }

    // The copy is private: a change through b is not seen through a.
    b.ElementAt(0) = strings[4];
    EXPECT_EQ(b.GetStorage()->GetElements()[0], strings[4]);
    ExpectHolds(a, strings, 3);
  }
}

TEST(CArrayTest, AssignmentReleasesTheOldRecordAndCopiesSettings) {
  const CStrings strings(4);
  CPathArray a;
  AppendAll(a, strings, 2);
  a.SetMaxSize(100);
  CPathArray d;
  CPathArray e;
  AppendAll(e, strings, 4);
  d = e;
  ASSERT_EQ(e.GetRefCount(), 2);
  d = a;
  EXPECT_EQ(e.GetRefCount(), 1);
  EXPECT_EQ(a.GetRefCount(), 2);
  EXPECT_EQ(d.GetMaxSize(), 100u);
  ExpectHolds(d, strings, 2);
  ExpectHolds(e, strings, 4);

  // Assigning an array without storage drops the record and leaves none.
  CPathArray empty;
  d = empty;
  EXPECT_EQ(d.GetStorage(), nullptr);
  EXPECT_EQ(d.GetCount(), 0u);
  EXPECT_EQ(d.GetMaxSize(), 0u);
  EXPECT_EQ(a.GetRefCount(), 1);

  // Assigning the last sharer away frees the record; the strings stay the caller's.
  e = empty;
  EXPECT_EQ(e.GetStorage(), nullptr);
  EXPECT_EQ(std::wstring(strings[3]), L"path3");
}

TEST(CArrayTest, SelfAssignmentChangesNothing) {
  const CStrings strings(3);
  CPathArray a;
  AppendAll(a, strings, 3);
  const auto* record = a.GetStorage();
  CPathArray& alias = a;
  a = alias;
  EXPECT_EQ(a.GetStorage(), record);
  EXPECT_EQ(a.GetRefCount(), 1);
  ExpectHolds(a, strings, 3);

  CPathArray empty;
  CPathArray& emptyAlias = empty;
  empty = emptyAlias;
  EXPECT_EQ(empty.GetStorage(), nullptr);
}

TEST(CArrayTest, MaximumSizeIsRaisedByANewRecordButGuardsGrowthAndCopies) {
  // A record made for more elements than the maximum takes the request as its maximum.
  CPathArray large;
  large.SetMaxSize(10);
  large.GetBuffer(12);
  EXPECT_EQ(large.GetCapacity(), 12u);
  EXPECT_EQ(large.GetStorage()->GetMaxSize(), 12u);
  EXPECT_EQ(large.GetMaxSize(), 10u);

  const CStrings strings(2);
  CPathArray a;
  a.SetMaxSize(10);
  a.GetBuffer(4);
  AppendAll(a, strings, 2);
  const auto* record = a.GetStorage();
  const wchar_t* const* slots = record->GetElements();
  ASSERT_EQ(record->GetMaxSize(), 10u);

  // Growing beyond the maximum fails before anything changes.
  EXPECT_TRUE(ThrowsMaxSizeException([&a] { a.GetBuffer(11); }));
  EXPECT_EQ(a.GetStorage(), record);
  EXPECT_EQ(record->GetElements(), slots);
  EXPECT_EQ(a.GetCapacity(), 4u);
  ExpectHolds(a, strings, 2);

  // Growth to a request within the maximum is not capped by it.
  EXPECT_FALSE(ThrowsMaxSizeException([&a] { a.GetBuffer(8); }));
  EXPECT_EQ(a.GetCapacity(), 12u);

  // A copy of that record exceeds the maximum: the sharer keeps the shared record.
  CPathArray b;
  b = a;
  EXPECT_TRUE(ThrowsMaxSizeException([&b] { b.GetBuffer(0); }));
  EXPECT_EQ(b.GetStorage(), a.GetStorage());
  EXPECT_EQ(a.GetRefCount(), 2);
  ExpectHolds(b, strings, 2);
  EXPECT_TRUE(ThrowsMaxSizeException([&b, &strings] { b.Append(strings[0]); }));
  ExpectHolds(b, strings, 2);
  ExpectHolds(a, strings, 2);

  // An unlimited array never throws it.
  CPathArray unlimited;
  EXPECT_FALSE(ThrowsMaxSizeException([&unlimited] { unlimited.GetBuffer(100000); }));
}

}  // namespace
