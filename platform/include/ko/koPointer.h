#pragma once

#include <cassert>
#include <utility>

namespace ko {

// Smart pointer over a koObject (or any class with IncrementReferences/DecrementReferences):
// holds one reference while it points at an object. A null koPointer holds nothing.
// T may be incomplete where a koPointer<T> is declared, but must be complete wherever one is
// copied, assigned or destroyed.
template <typename T>
class koPointer {
public:
  koPointer() = default;
  koPointer(T* object) : mObject(object) { acquire(); } // NOLINT: implicit, like a raw pointer
  koPointer(const koPointer& other) : mObject(other.mObject) { acquire(); }
  koPointer(koPointer&& other) noexcept : mObject(other.mObject) { other.mObject = nullptr; }
  // From a pointer to a derived class.
  template <typename U>
  koPointer(const koPointer<U>& other) : mObject(other.Get()) { // NOLINT: implicit on purpose
    acquire();
  }
  ~koPointer() { release(); }

  koPointer& operator=(T* object) {
    // Take the new reference before dropping the old one, so that assigning the object a
    // pointer already holds (possibly its only reference) cannot delete it.
    if (object != nullptr)
      object->IncrementReferences();
    T* old = mObject;
    mObject = object;
    if (old != nullptr)
      old->DecrementReferences();
    return *this;
  }
  koPointer& operator=(const koPointer& other) { return *this = other.mObject; }
  koPointer& operator=(koPointer&& other) noexcept {
    if (this != &other) {
      T* old = mObject;
      mObject = other.mObject;
      other.mObject = nullptr;
      if (old != nullptr)
        old->DecrementReferences();
    }
    return *this;
  }

  T* Get() const { return mObject; }
  operator T*() const { return mObject; } // NOLINT: implicit, like a raw pointer
  T& operator*() const {
    assert(mObject != nullptr);
    return *mObject;
  }
  T* operator->() const {
    assert(mObject != nullptr);
    return mObject;
  }

  bool operator==(T* object) const { return mObject == object; }
  bool operator!=(T* object) const { return mObject != object; }
  bool operator==(const koPointer& other) const { return mObject == other.mObject; }
  bool operator!=(const koPointer& other) const { return mObject != other.mObject; }

private:
  void acquire() {
    if (mObject != nullptr)
      mObject->IncrementReferences();
  }
  void release() {
    if (mObject != nullptr)
      mObject->DecrementReferences();
  }

  T* mObject = nullptr;
};

} // namespace ko
