#include <ko/koTriMesh.h>

namespace ko {

koTriMesh::koTriMesh(koVertexBuffer* vertexBuffer, koIndexBuffer* indexBuffer)
    : VBuffer(vertexBuffer), IBuffer(indexBuffer) {}

int koTriMesh::GetTriangleQuantity() const {
  return IBuffer != nullptr ? IBuffer->GetIndexQuantity() / 3 : 0;
}

bool koTriMesh::GetTriangle(int i, int& v0, int& v1, int& v2) const {
  if (i < 0 || i >= GetTriangleQuantity())
    return false;
  const int* indices = IBuffer->GetData() + 3 * i;
  v0 = indices[0];
  v1 = indices[1];
  v2 = indices[2];
  return true;
}

} // namespace ko
