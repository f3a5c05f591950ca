#pragma once

#include <Wm4Foundation.h>

class koGenericBVH;

namespace ko {
class koTriMesh;
}

// Ray queries on one mesh, answered by Embree's four-wide hierarchies (one Embree scene per
// mesh, on one Embree device shared by the whole process). Positions are the mesh's vertex
// positions as stored (local coordinates), copied at build time: later edits of the mesh are not
// seen until the next build. Queries are const and may run from several threads at once.
//
// Hits report the mesh's own triangle index, the distance along the ray in units of the
// direction's length, and barycentric coordinates (b1, b2) weighing the triangle's first two
// corners: the hit point is b1 V0 + b2 V1 + (1 - b1 - b2) V2. Triangles count from both sides.
class koQBVH {
public:
  enum tIntersectionPolicy {
    // The nearest hit along the ray.
    eNearestHit = 1,
    // The nearest hit on a triangle that faces the ray (its normal, by the winding of the
    // index buffer, points against the direction); triangles seen from behind are passed through.
    eNearestFrontHit = 2,
  };

  // Build flags.
  enum tBuildFlags {
    // Robust traversal: no hit is lost through the cracks between triangles that share an edge.
    eRobust = 2,
  };

  koQBVH();
  ~koQBVH();
  koQBVH(const koQBVH&) = delete;
  koQBVH& operator=(const koQBVH&) = delete;

  // A mesh without triangles or without positions gives a hierarchy that no ray hits.
  //
  // Builds over the mesh's triangles. The binary hierarchy is built over the same mesh; Embree
  // lays out its own nodes, so only the mesh is read.
  void buildFromBVH(unsigned int flags, const koGenericBVH& bvh, const ko::koTriMesh* mesh);
  // Builds over the mesh's triangles; size is a tuning value that Embree's own builder does not
  // need.
  void buildFromMesh(unsigned int flags, const ko::koTriMesh* mesh, unsigned int size);

  // Whether the ray origin + t direction, t in [tMin, +inf), hits a triangle under the policy;
  // then the nearest such t, its barycentric coordinates and triangle index. Outputs are left
  // untouched on a miss.
  bool intersectRay(const Wm4::Vector3<float>& origin, const Wm4::Vector3<float>& direction,
                    float tMin, float& distance, Wm4::Vector2<float>& barycentric,
                    unsigned int& triangle, tIntersectionPolicy policy) const;

  // The same for the whole line, both ways from the origin, up to |t| <= distance on entry: the
  // hit nearest the origin (forward on a tie), with its unsigned distance |t|.
  bool intersectRaySymmetric(const Wm4::Vector3<float>& origin,
                             const Wm4::Vector3<float>& direction, float& distance,
                             Wm4::Vector2<float>& barycentric, unsigned int& triangle) const;

private:
  void build(unsigned int flags, const ko::koTriMesh* mesh);
  void release();

  // The Embree scene, kept opaque so that users of this header need no Embree headers.
  void* mScene;
};
