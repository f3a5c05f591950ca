#pragma once

#include <ko/koAttributes.h>
#include <ko/koObject.h>

#include <Wm4Foundation.h>

#include <cassert>
#include <vector>

namespace ko {

// The vertices of a mesh. Each attribute named by the koAttributes lives in its own contiguous
// array of GetVertexQuantity() entries, zero-initialised; attributes the layout does not name
// have no storage.
//
// The accessors return references into those arrays; they stay valid until resizeVertexBuffer()
// or the buffer's destruction. Debug builds assert that the attribute exists and the index is in
// [0, GetVertexQuantity()); release builds check nothing.
class koVertexBuffer : public koObject {
public:
  koVertexBuffer(const koAttributes& attributes, int vertexQuantity);

  const koAttributes& GetAttributes() const { return mAttributes; }
  int GetVertexQuantity() const { return mVertexQuantity; }

  Wm4::Vector3<float>& Position3(int i) { return at(mPositions, i); }
  const Wm4::Vector3<float>& Position3(int i) const { return at(mPositions, i); }
  Wm4::Vector3<float>& Normal3(int i) { return at(mNormals, i); }
  const Wm4::Vector3<float>& Normal3(int i) const { return at(mNormals, i); }
  // For a texture unit with 2 channels.
  Wm4::Vector2<float>& TCoord2(int unit, int i) { return at(tcoords2(unit), i); }
  const Wm4::Vector2<float>& TCoord2(int unit, int i) const { return at(tcoords2(unit), i); }
  // For a texture unit with 3 channels.
  Wm4::Vector3<float>& TCoord3(int unit, int i) { return at(tcoords3(unit), i); }
  const Wm4::Vector3<float>& TCoord3(int unit, int i) const { return at(tcoords3(unit), i); }
  float& PSize1(int i) { return at(mPSizes, i); }
  const float& PSize1(int i) const { return at(mPSizes, i); }

  // Changes the vertex count: vertices below the new count keep their data, new ones are zero.
  // Invalidates every reference obtained from the accessors.
  void resizeVertexBuffer(int vertexQuantity);

private:
  template <typename V>
  static V& at(std::vector<V>& channel, int i) {
    assert(i >= 0 && static_cast<size_t>(i) < channel.size());
    return channel[static_cast<size_t>(i)];
  }
  template <typename V>
  static const V& at(const std::vector<V>& channel, int i) {
    assert(i >= 0 && static_cast<size_t>(i) < channel.size());
    return channel[static_cast<size_t>(i)];
  }
  std::vector<Wm4::Vector2<float>>& tcoords2(int unit) {
    assert(unit >= 0 && unit < koAttributes::MaxTCoordUnits);
    return mTCoords2[unit];
  }
  const std::vector<Wm4::Vector2<float>>& tcoords2(int unit) const {
    assert(unit >= 0 && unit < koAttributes::MaxTCoordUnits);
    return mTCoords2[unit];
  }
  std::vector<Wm4::Vector3<float>>& tcoords3(int unit) {
    assert(unit >= 0 && unit < koAttributes::MaxTCoordUnits);
    return mTCoords3[unit];
  }
  const std::vector<Wm4::Vector3<float>>& tcoords3(int unit) const {
    assert(unit >= 0 && unit < koAttributes::MaxTCoordUnits);
    return mTCoords3[unit];
  }

  koAttributes mAttributes;
  int mVertexQuantity = 0;
  std::vector<Wm4::Vector3<float>> mPositions;
  std::vector<Wm4::Vector3<float>> mNormals;
  // A unit uses the array matching its channel count; the other one stays empty.
  std::vector<Wm4::Vector2<float>> mTCoords2[koAttributes::MaxTCoordUnits];
  std::vector<Wm4::Vector3<float>> mTCoords3[koAttributes::MaxTCoordUnits];
  std::vector<float> mPSizes;
};

} // namespace ko
