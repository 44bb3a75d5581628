// platform::CRecursiveMutex: a recursive mutual-exclusion object owned by one thread at a time.
/// The owning thread may acquire it again at once; it becomes free after as many Unlock calls as
/// acquisitions. Unlock is called only by the owner, once per Lock or successful TryLock.
/// Thread safety: every operation may be called from any thread. Not copyable, not movable.
#ifndef KESTO_PLATFORM_RECURSIVE_MUTEX_H_
#define KESTO_PLATFORM_RECURSIVE_MUTEX_H_

#include <pthread.h>

namespace platform {

class CRecursiveMutex {
 public:
  /// Creates the mutex, not owned. Throws std::bad_alloc when the system lacks the resources.
  CRecursiveMutex();
  /// Requires that no thread owns the mutex.
  ~CRecursiveMutex();

  CRecursiveMutex(const CRecursiveMutex&) = delete;
  CRecursiveMutex& operator=(const CRecursiveMutex&) = delete;

  /// Waits without time limit until the calling thread owns the mutex (one more level if it does).
  void Lock();
  /// Never waits; true when the calling thread now owns the mutex (one more level).
  bool TryLock();
  /// Gives up one level of ownership. Requires that the calling thread owns the mutex.
  void Unlock();

 private:
  pthread_mutex_t mutex_;
};

}  // namespace platform

#endif  // KESTO_PLATFORM_RECURSIVE_MUTEX_H_
