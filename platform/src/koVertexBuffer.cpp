#include <ko/koVertexBuffer.h>

#include <cstring>

namespace ko {

namespace {

// Resizes a channel, the new entries zero. Wild Magic vectors are left uninitialised by their
// default constructor, so growing costs nothing before one memset (far quicker than copying a
// zero vector into every entry; the entries are plain floats).
template <typename V>
void resizeZeroed(std::vector<V>& channel, size_t n) {
  const size_t old = channel.size();
  channel.resize(n);
  if (n > old)
    std::memset(static_cast<void*>(channel.data() + old), 0, (n - old) * sizeof(V));
}

} // namespace

koVertexBuffer::koVertexBuffer(const koAttributes& attributes, int vertexQuantity)
    : mAttributes(attributes) {
  resizeVertexBuffer(vertexQuantity);
}

void koVertexBuffer::resizeVertexBuffer(int vertexQuantity) {
  assert(vertexQuantity >= 0);
  mVertexQuantity = vertexQuantity;
  const size_t n = static_cast<size_t>(vertexQuantity);
  if (mAttributes.HasPosition())
    resizeZeroed(mPositions, n);
  if (mAttributes.HasNormal())
    resizeZeroed(mNormals, n);
  for (int unit = 0; unit < koAttributes::MaxTCoordUnits; ++unit) {
    const int channels = mAttributes.GetTCoordChannels(unit);
    if (channels == 2)
      resizeZeroed(mTCoords2[unit], n);
    else if (channels == 3)
      resizeZeroed(mTCoords3[unit], n);
  }
  if (mAttributes.HasPSize())
    resizeZeroed(mPSizes, n);
}

} // namespace ko
