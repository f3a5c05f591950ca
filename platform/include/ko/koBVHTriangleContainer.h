#pragma once

#include <ko/koBBox.h>

#include <Wm4Foundation.h>

namespace ko {
class koTriMesh;
}

// The triangles of a mesh seen as the primitives of a bounding volume hierarchy, in the mesh's
// local coordinates (its vertex positions as stored). Keeps a pointer to the mesh, which must
// outlive the container and keep its buffers while the container is used.
class koBVHTriangleContainer {
public:
  explicit koBVHTriangleContainer(const ko::koTriMesh& mesh);

  // The mesh's triangle count.
  unsigned int getQuantity() const;
  // The box of triangle i's three corners.
  koBBox getBBox(unsigned int i) const;
  // The three corners of triangle i.
  void getTriangle(unsigned int i, Wm4::Vector3<float>& a, Wm4::Vector3<float>& b,
                   Wm4::Vector3<float>& c) const;

private:
  const ko::koTriMesh* mMesh;
};
