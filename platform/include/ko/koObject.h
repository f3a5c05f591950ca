#pragma once

#include <atomic>
#include <string>

namespace ko {

// Base of every shared scene object: an intrusive reference count and a name.
//
// Objects are created with new and start with no references; the first koPointer that takes one
// raises the count to 1, and the object deletes itself when the last reference goes. Objects that
// are never referenced stay alive until deleted by hand. Never put a koObject on the stack and
// hand it to a koPointer.
//
// The count is atomic, so worker threads may copy and drop koPointers to shared objects; the
// objects themselves are not made thread-safe by this.
class koObject {
public:
  koObject() = default;
  // A copy is a new object: it takes the name but none of the references.
  koObject(const koObject& other) : mName(other.mName) {}
  // Assignment copies the name; the reference count belongs to the object, not to its value.
  koObject& operator=(const koObject& other) {
    mName = other.mName;
    return *this;
  }
  virtual ~koObject() = default;

  void IncrementReferences() { mReferences.fetch_add(1, std::memory_order_relaxed); }
  // Deletes the object when this was the last reference.
  void DecrementReferences() {
    // acq_rel so that every write made through other references happens before the delete.
    if (mReferences.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete this;
  }
  int GetReferences() const { return mReferences.load(std::memory_order_relaxed); }

  void SetName(std::string name) { mName = std::move(name); }
  const std::string& GetName() const { return mName; }

private:
  std::atomic<int> mReferences{0};
  std::string mName;
};

} // namespace ko
