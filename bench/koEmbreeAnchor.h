#pragma once

// Embree called directly, with nothing of ours in between: the anchor that the benchmarks of our
// hierarchies and ray queries measure against in the same run. One thread, as our scenes are
// built.

#include <ko/koTriMesh.h>

#include <embree3/rtcore.h>

#include <limits>
#include <vector>

namespace koEmbreeAnchor {

inline RTCDevice device() {
  static const RTCDevice shared = rtcNewDevice("threads=1");
  return shared;
}

// Triangles as Embree reads them from shared buffers.
struct tTriangles {
  // x, y, z per vertex, then 4 bytes of padding: Embree reads the last vertex 16 bytes wide.
  std::vector<float> positions;
  // Three vertex indices per triangle.
  std::vector<unsigned int> indices;

  tTriangles() = default;
  explicit tTriangles(const ko::koTriMesh& mesh) {
    const ko::koVertexBuffer& vertices = *mesh.VBuffer;
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
      positions.insert(positions.end(), {vertices.Position3(v).X(), vertices.Position3(v).Y(),
                                         vertices.Position3(v).Z()});
    positions.push_back(0.0f);
    for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
      int v0 = 0, v1 = 0, v2 = 0;
      mesh.GetTriangle(t, v0, v1, v2);
      indices.insert(indices.end(), {unsigned(v0), unsigned(v1), unsigned(v2)});
    }
  }
};

// A committed scene over the triangles, medium build quality; the caller releases it.
inline RTCScene buildScene(const tTriangles& triangles, RTCSceneFlags flags) {
  RTCGeometry geometry = rtcNewGeometry(device(), RTC_GEOMETRY_TYPE_TRIANGLE);
  rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                             triangles.positions.data(), 0, 3 * sizeof(float),
                             triangles.positions.size() / 3);
  rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                             triangles.indices.data(), 0, 3 * sizeof(unsigned int),
                             triangles.indices.size() / 3);
  rtcCommitGeometry(geometry);
  RTCScene scene = rtcNewScene(device());
  rtcSetSceneFlags(scene, flags);
  rtcSetSceneBuildQuality(scene, RTC_BUILD_QUALITY_MEDIUM);
  rtcAttachGeometry(scene, geometry);
  rtcReleaseGeometry(geometry);
  rtcCommitScene(scene);
  return scene;
}

// The distance to the nearest hit along the ray from t = 0, or infinity for a miss.
inline float nearestHit(RTCScene scene, const float origin[3], const float direction[3]) {
  RTCRayHit query;
  query.ray.org_x = origin[0], query.ray.org_y = origin[1], query.ray.org_z = origin[2];
  query.ray.dir_x = direction[0], query.ray.dir_y = direction[1], query.ray.dir_z = direction[2];
  query.ray.tnear = 0.0f, query.ray.time = 0.0f;
  query.ray.tfar = std::numeric_limits<float>::infinity();
  query.ray.mask = ~0u, query.ray.id = 0, query.ray.flags = 0;
  query.hit.geomID = query.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  rtcIntersect1(scene, &context, &query);
  return query.hit.geomID != RTC_INVALID_GEOMETRY_ID ? query.ray.tfar
                                                     : std::numeric_limits<float>::infinity();
}

} // namespace koEmbreeAnchor
