#include <ko/koIndexBuffer.h>

#include <cassert>

namespace ko {

koIndexBuffer::koIndexBuffer(int indexQuantity, int type) : mType(type) {
  resizeIndexBuffer(indexQuantity);
}

void koIndexBuffer::resizeIndexBuffer(int indexQuantity) {
  assert(indexQuantity >= 0);
  mIndices.resize(static_cast<size_t>(indexQuantity), 0);
}

} // namespace ko
