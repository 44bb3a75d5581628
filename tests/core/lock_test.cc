// Tests of CLock (no-op) and CCriticalSectionLock (recursive, owned by one thread).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <thread>

#include "core/critical_section_lock.h"
#include "core/lock.h"

namespace {

// Runs TryLock on a thread of its own; a success is undone there so the lock is left as it was.
bool TryLockFromOtherThread(const CLock& lock) {
  bool acquired = false;
  std::thread other([&lock, &acquired] {
    acquired = lock.TryLock();
    if (acquired) {
      lock.Unlock();
    }
  });
  other.join();
  return acquired;
}

TEST(CLockTest, TryLockSucceedsForAnyArgumentInAnyState) {
  const int32_t arguments[] = {0, 1, -1, std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max()};
  CLock lock;
  for (int32_t argument : arguments) {
    SCOPED_TRACE(argument);
    EXPECT_TRUE(lock.TryLock(argument));
    lock.Lock();
    EXPECT_TRUE(lock.TryLock(argument));
    EXPECT_TRUE(TryLockFromOtherThread(lock));
    // Extra Unlock calls, more than acquisitions, are harmless.
    lock.Unlock();
    lock.Unlock();
    lock.Unlock();
    lock.Unlock();
    EXPECT_TRUE(lock.TryLock(argument));
  }
  EXPECT_TRUE(lock.TryLock());
}

TEST(CCriticalSectionLockTest, NestedLocksOnOneThreadThenFreeForOthers) {
  CCriticalSectionLock lock;
  EXPECT_TRUE(TryLockFromOtherThread(lock));
  lock.Lock();
  lock.Lock();
  lock.Unlock();
  lock.Unlock();
  EXPECT_TRUE(TryLockFromOtherThread(lock));
}

// The owner acquires depth levels (through the CLock interface, as the containers do), mixing
// Lock and TryLock; every level but the last release leaves the lock to the owner.
TEST(CCriticalSectionLockTest, OtherThreadTryLockFailsAtEveryDepthUntilLastUnlock) {
  struct Case {
    int depth;
    bool useTryLock;
  };
  const Case cases[] = {{1, false}, {2, false}, {3, false}, {1, true}, {3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth << " tryLock " << c.useTryLock);
    CCriticalSectionLock criticalSection;
    const CLock& lock = criticalSection;
    for (int level = 0; level < c.depth; ++level) {
      if (c.useTryLock) {
        // A TryLock by the owner succeeds and counts as one more level.
        ASSERT_TRUE(lock.TryLock());
      } else {
        lock.Lock();
      }
      EXPECT_FALSE(TryLockFromOtherThread(lock)) << "after acquiring level " << level + 1;
    }
    for (int level = c.depth; level > 1; --level) {
      lock.Unlock();
      EXPECT_FALSE(TryLockFromOtherThread(lock)) << "with " << level - 1 << " levels left";
    }
    lock.Unlock();
    EXPECT_TRUE(TryLockFromOtherThread(lock));
  }
}

TEST(CCriticalSectionLockTest, LockWaitsUntilOwnersLastUnlock) {
  CCriticalSectionLock lock;
  std::atomic<bool> waiterStarted{false};
  std::atomic<bool> ownerReleased{false};
  std::atomic<bool> waiterAcquired{false};
  bool acquiredAfterRelease = false;

  lock.Lock();
  lock.Lock();
  std::thread waiter([&] {
    waiterStarted = true;
    lock.Lock();
    acquiredAfterRelease = ownerReleased.load();
    waiterAcquired = true;
    lock.Unlock();
  });
  while (!waiterStarted) {
    std::this_thread::yield();
  }
  // Gives a faulty lock the chance to let the waiter in early; the checks below cannot fail
  // because of timing alone.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(waiterAcquired);
  lock.Unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(waiterAcquired) << "one level is still owned";
  ownerReleased = true;
  lock.Unlock();
  waiter.join();
  EXPECT_TRUE(waiterAcquired);
  EXPECT_TRUE(acquiredAfterRelease);
  EXPECT_TRUE(TryLockFromOtherThread(lock));
}

}  // namespace
