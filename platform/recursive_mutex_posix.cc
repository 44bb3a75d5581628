#include "platform/recursive_mutex.h"

#include <cassert>
#include <cstdlib>
#include <new>

namespace platform {

CRecursiveMutex::CRecursiveMutex() {
  pthread_mutexattr_t attributes;
  // With valid attributes the only possible failure is a lack of memory or other resources.
  if (pthread_mutexattr_init(&attributes) != 0) {
    throw std::bad_alloc();
  }
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  const int result = pthread_mutex_init(&mutex_, &attributes);
  pthread_mutexattr_destroy(&attributes);
  if (result != 0) {
    throw std::bad_alloc();
  }
}

CRecursiveMutex::~CRecursiveMutex() {
  pthread_mutex_destroy(&mutex_);
}

void CRecursiveMutex::Lock() {
  // Fails only if the recursion depth overflows; going on without the mutex would break exclusion.
  if (pthread_mutex_lock(&mutex_) != 0) {
    std::abort();
  }
}

bool CRecursiveMutex::TryLock() {
  return pthread_mutex_trylock(&mutex_) == 0;
}

void CRecursiveMutex::Unlock() {
  [[maybe_unused]] const int result = pthread_mutex_unlock(&mutex_);
  // A failure means a caller released a mutex it does not own.
  assert(result == 0);
}

}  // namespace platform
