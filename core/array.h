// CArray: a growable array whose elements live in a reference-counted, copy-on-write record.
/// Copying (copy construction or assignment) shares the source's storage record in constant time
/// and copies no element. The first GetBuffer, Append or ElementAt on an array whose record is
/// shared, even only to read, first gives that array a private copy of the record.
/// The array never owns what its elements point to: copying, growing, copying a shared record and
/// destruction copy or drop only the element values, so the code that stores pointers frees their
/// targets itself.
/// Pointers into the storage (GetBuffer, ElementAt) stay valid until the next GetBuffer, Append,
/// ElementAt, assignment or destruction on that array.
/// Thread safety: none, whichever TLock is chosen; GetBuffer reads the reference count and Append
/// the element count without the record's lock. Use an array and its sharers on one thread.
/// Failures: memory exhaustion throws std::bad_alloc and leaves the array and any shared record as
/// they were. Exceeding a non-zero maximum size throws a pointer to a new int (value meaningless),
/// which the catcher must delete; with the default maximum size 0 it never arises.
/// T must be default-constructible and copy-assignable. TArg is not used by any operation.
#ifndef KESTO_CORE_ARRAY_H_
#define KESTO_CORE_ARRAY_H_

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "core/checked_size.h"
#include "core/lock.h"

template <typename T, typename TLock, typename TArg>
class CArray : public TLock {
  static_assert(std::is_base_of_v<CLock, TLock>, "the lock must implement CLock");

 public:
  /// The storage record: count elements in use out of capacity slots, a maximum size (0 for
  /// unlimited) and the number of arrays that refer to it. Slots at and beyond count hold no
  /// meaningful value. Its lock encloses AddRef, Release, Grow and the copy's read of its source.
  class CArrayBlob : public TLock {
   public:
    /// New, unshared, empty storage of capacity slots. A non-zero maximum size below the capacity
    /// is raised to the capacity.
    CArrayBlob(uint32_t capacity, uint32_t maxSize)
        : capacity_(capacity),
          maxSize_(maxSize != 0 && capacity > maxSize ? capacity : maxSize),
          elements_(NewArray<T>(capacity)) {}

    /// A private copy of source with exactly max(source capacity, minCount) slots and the source's
    /// count, maximum size and elements. Throws the maximum-size exception, before allocating,
    /// when that capacity exceeds a non-zero maximum size.
    CArrayBlob(const CArrayBlob& source, uint32_t minCount) {
      CLockGuard guard(source);
      count_ = source.count_;
      capacity_ = std::max(source.capacity_, minCount);
      maxSize_ = source.maxSize_;
      if (maxSize_ != 0 && capacity_ > maxSize_) {
        ThrowMaxSizeExceeded();
      }
      elements_.reset(NewArray<T>(capacity_));
      std::copy_n(source.elements_.get(), count_, elements_.get());
    }

    ~CArrayBlob() override = default;

    CArrayBlob(const CArrayBlob&) = delete;
    CArrayBlob& operator=(const CArrayBlob&) = delete;

    /// Enlarges the record to minCount + minCount / 2 slots when minCount exceeds the capacity
    /// (not capped at the maximum size). Requires an unshared record. Throws the maximum-size
    /// exception when minCount exceeds a non-zero maximum size; nothing changes before the new
    /// slots are allocated.
    void Grow(uint32_t minCount) {
      CLockGuard guard(*this);
      if (minCount <= capacity_) {
        return;
      }
      if (maxSize_ != 0 && minCount > maxSize_) {
        ThrowMaxSizeExceeded();
      }
      // Half again the request, so that a run of appends reallocates logarithmically often.
      const uint64_t grown = uint64_t{minCount} + minCount / 2;
      const uint32_t newCapacity = grown > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(grown);
      std::unique_ptr<T[]> fresh(NewArray<T>(newCapacity));
      std::copy_n(elements_.get(), count_, fresh.get());
      elements_ = std::move(fresh);
      capacity_ = newCapacity;
    }

    /// Adds one reference.
    void AddRef() {
      CLockGuard guard(*this);
      ++refCount_;
    }

    /// Drops one reference and returns the new count. At 0 the element storage is freed and the
    /// caller must delete the record.
    int32_t Release() {
      CLockGuard guard(*this);
      const int32_t remaining = --refCount_;
      if (remaining == 0) {
        elements_.reset();
      }
      return remaining;
    }

    uint32_t GetCount() const { return count_; }
    uint32_t GetCapacity() const { return capacity_; }
    uint32_t GetMaxSize() const { return maxSize_; }
    int32_t GetRefCount() const { return refCount_; }
    /// Null once the last reference has been released.
    const T* GetElements() const { return elements_.get(); }

   private:
    friend class CArray;

    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    uint32_t maxSize_ = 0;
    std::unique_ptr<T[]> elements_;
    int32_t refCount_ = 1;
  };

  /// An empty array without storage: default capacity 64, maximum size 0 (unlimited).
  CArray() = default;

  /// Shares the source's record (see the header), like assignment.
  CArray(const CArray& source)
      : TLock(),
        defaultCapacity_(source.defaultCapacity_),
        maxSize_(source.maxSize_),
        storage_(source.storage_) {
    if (storage_ != nullptr) {
      storage_->AddRef();
    }
  }

  /// Releases the current record, then shares the source's record and takes its default capacity
  /// and maximum size. Assigning an array to itself changes nothing.
  CArray& operator=(const CArray& source) {
    if (this == &source) {
      return *this;
    }
    if (storage_ != nullptr) {
      ReleaseStorage();
    }
    defaultCapacity_ = source.defaultCapacity_;
    maxSize_ = source.maxSize_;
    storage_ = source.storage_;
    if (storage_ != nullptr) {
      storage_->AddRef();
    }
    return *this;
  }

  /// Releases the record; the last array to release it frees it. Frees no pointed-to object.
  ~CArray() override {
    if (storage_ != nullptr) {
      ReleaseStorage();
    }
  }

  /// The number of elements; 0 without storage.
  uint32_t GetCount() const { return storage_ == nullptr ? 0 : storage_->count_; }

  /// Makes the storage exist, belong to this array alone and hold at least minCount slots, and
  /// returns its slots; the count does not change. Without storage a request of 0 means the
  /// default capacity. An unshared record large enough is returned unchanged; a smaller one grows
  /// to minCount + minCount / 2. A shared record is always copied, to max(capacity, minCount).
  T* GetBuffer(uint32_t minCount) {
    if (storage_ == nullptr) {
      storage_ = new CArrayBlob(minCount == 0 ? defaultCapacity_ : minCount, maxSize_);
      return storage_->elements_.get();
    }
    if (storage_->refCount_ < 2) {
      if (storage_->capacity_ < minCount) {
        storage_->Grow(minCount);
      }
      return storage_->elements_.get();
    }
    // The copy is complete before the array points at it, so a failure leaves the sharing intact.
    CArrayBlob* shared = std::exchange(storage_, new CArrayBlob(*storage_, minCount));
    if (shared->Release() == 0) {
      delete shared;
    }
    return storage_->elements_.get();
  }

  /// Adds an element at the end.
  void Append(T element) {
    const uint32_t count = GetCount();
    if (count == UINT32_MAX) {
      throw std::bad_alloc();
    }
    T* elements = GetBuffer(count + 1);
    elements[count] = std::move(element);
    ++storage_->count_;
  }

  /// The slot at index, readable and writable. Requires index < GetCount(). Gives a shared array
  /// its private copy first, also for a read.
  T& ElementAt(uint32_t index) {
    assert(index < GetCount());
    return GetBuffer(index)[index];
  }

  /// Slots of the record; 0 without storage.
  uint32_t GetCapacity() const { return storage_ == nullptr ? 0 : storage_->capacity_; }
  /// Arrays sharing the record; 0 without storage.
  int32_t GetRefCount() const { return storage_ == nullptr ? 0 : storage_->refCount_; }
  /// The maximum size given to records that this array creates from now on; 0 for unlimited.
  uint32_t GetMaxSize() const { return maxSize_; }
  void SetMaxSize(uint32_t maxSize) { maxSize_ = maxSize; }
  /// The record, possibly shared, or null without storage.
  const CArrayBlob* GetStorage() const { return storage_; }

 private:
  [[noreturn]] static void ThrowMaxSizeExceeded() { throw new int(0); }

  void ReleaseStorage() {
    if (storage_->Release() == 0) {
      delete storage_;
    }
    storage_ = nullptr;
  }

  uint32_t defaultCapacity_ = 64;
  uint32_t maxSize_ = 0;
  CArrayBlob* storage_ = nullptr;
};

#endif  // KESTO_CORE_ARRAY_H_
