#pragma once

#include <ko/koObject.h>

#include <cassert>

namespace ko {

// A reference-counted array, so that several objects (for instance keyframe controllers) can
// share one set of values. Owns its data, which must come from new[] (or be null with quantity
// 0), and frees it with delete[].
template <typename T>
class koTSharedArray : public koObject {
public:
  explicit koTSharedArray(int quantity = 0, T* data = nullptr) : mQuantity(quantity), mData(data) {
    assert(quantity >= 0 && (quantity == 0 || data != nullptr));
  }
  koTSharedArray(const koTSharedArray&) = delete;
  koTSharedArray& operator=(const koTSharedArray&) = delete;
  ~koTSharedArray() override { delete[] mData; }

  int GetQuantity() const { return mQuantity; }
  // GetQuantity() entries, valid while the array lives.
  T* GetData() { return mData; }
  const T* GetData() const { return mData; }

  // i in [0, GetQuantity()).
  T& operator[](int i) {
    assert(i >= 0 && i < mQuantity);
    return mData[i];
  }
  const T& operator[](int i) const {
    assert(i >= 0 && i < mQuantity);
    return mData[i];
  }

private:
  int mQuantity;
  T* mData;
};

} // namespace ko
