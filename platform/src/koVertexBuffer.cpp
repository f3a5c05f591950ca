#include <ko/koVertexBuffer.h>

namespace ko {

koVertexBuffer::koVertexBuffer(const koAttributes& attributes, int vertexQuantity)
    : mAttributes(attributes) {
  resizeVertexBuffer(vertexQuantity);
}

void koVertexBuffer::resizeVertexBuffer(int vertexQuantity) {
  assert(vertexQuantity >= 0);
  mVertexQuantity = vertexQuantity;
  const size_t n = static_cast<size_t>(vertexQuantity);
  // Wild Magic vectors are left uninitialised by their default constructor, hence the explicit
  // zero fill values.
  const Wm4::Vector2<float> zero2(0.0f, 0.0f);
  const Wm4::Vector3<float> zero3(0.0f, 0.0f, 0.0f);
  if (mAttributes.HasPosition())
    mPositions.resize(n, zero3);
  if (mAttributes.HasNormal())
    mNormals.resize(n, zero3);
  for (int unit = 0; unit < koAttributes::MaxTCoordUnits; ++unit) {
    const int channels = mAttributes.GetTCoordChannels(unit);
    if (channels == 2)
      mTCoords2[unit].resize(n, zero2);
    else if (channels == 3)
      mTCoords3[unit].resize(n, zero3);
  }
  if (mAttributes.HasPSize())
    mPSizes.resize(n, 0.0f);
}

} // namespace ko
