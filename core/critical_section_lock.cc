#include "core/critical_section_lock.h"

CCriticalSectionLock::CCriticalSectionLock() = default;

CCriticalSectionLock::~CCriticalSectionLock() = default;

void CCriticalSectionLock::Lock() const {
  mutex_.Lock();
}

bool CCriticalSectionLock::TryLock(int32_t arg) const {
  static_cast<void>(arg);
  return mutex_.TryLock();
}

void CCriticalSectionLock::Unlock() const {
  mutex_.Unlock();
}
