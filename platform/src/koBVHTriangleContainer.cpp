#include <ko/koBVHTriangleContainer.h>

#include <ko/koTriMesh.h>

#include <cassert>

koBVHTriangleContainer::koBVHTriangleContainer(const ko::koTriMesh& mesh) : mMesh(&mesh) {}

unsigned int koBVHTriangleContainer::getQuantity() const {
  return static_cast<unsigned int>(mMesh->GetTriangleQuantity());
}

koBBox koBVHTriangleContainer::getBBox(unsigned int i) const {
  Wm4::Vector3<float> a, b, c;
  getTriangle(i, a, b, c);
  return koBBox::aroundTriangle(a, b, c);
}

void koBVHTriangleContainer::getTriangle(unsigned int i, Wm4::Vector3<float>& a,
                                         Wm4::Vector3<float>& b, Wm4::Vector3<float>& c) const {
  int v0 = 0, v1 = 0, v2 = 0;
  const bool inRange = mMesh->GetTriangle(static_cast<int>(i), v0, v1, v2);
  assert(inRange);
  (void)inRange;
  const ko::koVertexBuffer& vertices = *mMesh->VBuffer;
  a = vertices.Position3(v0);
  b = vertices.Position3(v1);
  c = vertices.Position3(v2);
}
