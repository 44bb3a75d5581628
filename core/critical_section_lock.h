// CCriticalSectionLock: a recursive mutual-exclusion lock owned by one thread at a time.
/// Lock waits without time limit until the calling thread owns the lock; TryLock never waits and
/// returns true when the caller now owns it; Unlock gives up one level. The owner may acquire it
/// again at once, and it becomes free after as many Unlock calls as acquisitions. Every operation
/// may be called from any thread. It must not be owned when destroyed. Not copyable.
#ifndef KESTO_CORE_CRITICAL_SECTION_LOCK_H_
#define KESTO_CORE_CRITICAL_SECTION_LOCK_H_

#include <cstdint>

#include "core/lock.h"
#include "platform/recursive_mutex.h"

class CCriticalSectionLock : public CLock {
 public:
  /// Throws std::bad_alloc when the system cannot create the mutex.
  CCriticalSectionLock();
  ~CCriticalSectionLock() override;

  void Lock() const override;
  /// The argument is not read.
  bool TryLock(int32_t arg = 0) const override;
  /// Requires that the calling thread owns the lock.
  void Unlock() const override;

 private:
  // Mutable: locking does not change the state that the const operations of a container protect.
  mutable platform::CRecursiveMutex mutex_;
};

#endif  // KESTO_CORE_CRITICAL_SECTION_LOCK_H_
