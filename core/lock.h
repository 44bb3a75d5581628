// CLock: the lock interface of the containers, and the lock that does nothing.
/// Containers take their lock as a base class and reach it through the virtual Lock, TryLock and
/// Unlock, so the same container code runs with real locking (CCriticalSectionLock) or none.
/// Calling order: every Lock, and every TryLock that returned true, is matched by exactly one
/// Unlock on the same thread. The operations are const so that read-only container operations can
/// lock. CLock itself gives no protection: a container built on it must stay on one thread.
/// Locks are neither copied nor assigned.
#ifndef KESTO_CORE_LOCK_H_
#define KESTO_CORE_LOCK_H_

#include <cstdint>

class CLock {
 public:
  CLock() = default;
  virtual ~CLock() = default;

  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  /// Returns at once.
  virtual void Lock() const {}
  /// Returns true for any argument and in any state; the argument is not read by any lock.
  virtual bool TryLock(int32_t arg = 0) const {
    static_cast<void>(arg);
    return true;
  }
  /// Returns at once; extra calls have no effect.
  virtual void Unlock() const {}
};

/// Holds a lock, through its virtual operations, for the lifetime of the guard.
class CLockGuard {
 public:
  explicit CLockGuard(const CLock& lock) : lock_(lock) { lock_.Lock(); }
  ~CLockGuard() { lock_.Unlock(); }

  CLockGuard(const CLockGuard&) = delete;
  CLockGuard& operator=(const CLockGuard&) = delete;

 private:
  const CLock& lock_;
};

#endif  // KESTO_CORE_LOCK_H_
