#pragma once

#include "Wm4Foundation.h"
#include "koTolvaneLibExport.h"

#include <vector>

class koGenericBVH;
class koQBVH;

namespace ko {
class koTriMesh;
}

// One mesh with the structures every contact test runs on: a binary hierarchy over its triangles
// (for the triangle-pair distance searches), an Embree hierarchy (for ray queries) and one unit
// normal per triangle (to skip triangle pairs that do not face each other). All in the mesh's
// vertex coordinates as stored.
//
// Owns both hierarchies, so it moves and never copies; it lives in a std::vector<koMeshAndBVH>.
class KOTOLVANE_API koMeshAndBVH {
public:
  // Not owned; must outlive this object.
  const ko::koTriMesh* mesh;
  koGenericBVH* bvh;
  koQBVH* qbvh;
  // (p1 - p0) x (p2 - p0), normalised, per triangle index. A zero-area triangle gets a
  // non-finite normal, which the facing test then does not exclude.
  std::vector<Wm4::Vector3<float>> faceNormals;

  // Everything empty; set mesh and call updateBVH() before use.
  koMeshAndBVH();
  explicit koMeshAndBVH(const ko::koTriMesh* mesh);
  ~koMeshAndBVH();

  koMeshAndBVH(koMeshAndBVH&& other) noexcept;
  koMeshAndBVH& operator=(koMeshAndBVH&& other) noexcept;
  koMeshAndBVH(const koMeshAndBVH&) = delete;
  koMeshAndBVH& operator=(const koMeshAndBVH&) = delete;

  // Recomputes the normals and rebuilds both hierarchies from the mesh as it is now.
  void updateBVH();
};
