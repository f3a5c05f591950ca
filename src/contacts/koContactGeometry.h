#pragma once

// Small geometric helpers shared by the contact searches.

#include "koMeshAndBVH.h"

#include <ko/koBBox.h>
#include <ko/koGenericBVH.h>
#include <ko/koTriMesh.h>

#include <Wm4Foundation.h>

#include <algorithm>
#include <cmath>

namespace koContactGeometry {

// Euclidean length of the per-axis gaps; 0 for touching or overlapping boxes.
inline float boxDistance(const koBBox& a, const koBBox& b) {
  float squared = 0.0f;
  for (int k = 0; k < 3; ++k) {
    const float gap = std::max(b.min[k] - a.max[k], a.min[k] - b.max[k]);
    if (gap > 0.0f)
      squared += gap * gap;
  }
  return std::sqrt(squared);
}

inline koBBox grownBox(const koBBox& box, float margin) {
  const Wm4::Vector3<float> offset(margin, margin, margin);
  return koBBox(box.min - offset, box.max + offset);
}

// Triangle t of the part's mesh, in the mesh's vertex coordinates.
inline Wm4::Triangle3<float> triangleOf(const koMeshAndBVH& part, unsigned int t) {
  int v0 = 0, v1 = 0, v2 = 0;
  part.mesh->GetTriangle(static_cast<int>(t), v0, v1, v2);
  const ko::koVertexBuffer& vertices = *part.mesh->VBuffer;
  return Wm4::Triangle3<float>(vertices.Position3(v0), vertices.Position3(v1),
                               vertices.Position3(v2));
}

inline bool boxMeetsTriangle(const koBBox& box, const Wm4::Triangle3<float>& triangle) {
  return box.overlapsTriangle(triangle.V[0], triangle.V[1], triangle.V[2]);
}

// Which node of a pair of nodes, not both leaves, a simultaneous descent splits: true for the
// first. The inner node when the other is a leaf; of two inner nodes, the one whose box has the
// larger longest side (the second on a tie).
inline bool splitsFirst(const koGenericBVH::tNode& a, const koGenericBVH::tNode& b) {
  if (a.isLeaf())
    return false;
  if (b.isLeaf())
    return true;
  koBBox::tAxis axis;
  const float extentA = a.box.getMaxExtent(axis);
  return extentA > b.box.getMaxExtent(axis);
}

} // namespace koContactGeometry
