#include <ko/koQBVH.h>

#include <ko/koTriMesh.h>

#include "koEmbreeDevice.h"

#include <algorithm>
#include <limits>

// Ties (two triangles sharing an edge hit at the same t) resolve the same way every run and on
// every thread: the build is single-threaded and deterministic, and so is Embree's traversal for
// a given ray and machine.

namespace {

using Vec3 = Wm4::Vector3<float>;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Rejects hits on triangles seen from behind, so that traversal goes on past them. Embree's
// geometric normal is (p1 - p0) x (p2 - p0), the same as ours. rtcIntersect1 filters one hit at
// a time.
void keepFrontHits(const RTCFilterFunctionNArguments* args) {
  RTCHitN* hit = args->hit;
  RTCRayN* ray = args->ray;
  const float facing = RTCHitN_Ng_x(hit, 1, 0) * RTCRayN_dir_x(ray, 1, 0) +
                       RTCHitN_Ng_y(hit, 1, 0) * RTCRayN_dir_y(ray, 1, 0) +
                       RTCHitN_Ng_z(hit, 1, 0) * RTCRayN_dir_z(ray, 1, 0);
  if (!(facing < 0.0f))
    args->valid[0] = 0;
}

// The nearest hit on origin + t direction, t in [tNear, tFar] with 0 <= tNear; geomID stays
// RTC_INVALID_GEOMETRY_ID on a miss.
RTCRayHit cast(RTCScene scene, const Vec3& origin, const Vec3& direction, float tNear, float tFar,
               RTCFilterFunctionN filter) {
  RTCRayHit query;
  query.ray.org_x = origin[0];
  query.ray.org_y = origin[1];
  query.ray.org_z = origin[2];
  query.ray.tnear = tNear;
  query.ray.dir_x = direction[0];
  query.ray.dir_y = direction[1];
  query.ray.dir_z = direction[2];
  query.ray.time = 0.0f;
  query.ray.tfar = tFar;
  query.ray.mask = ~0u;
  query.ray.id = 0;
  query.ray.flags = 0;
  query.hit.geomID = RTC_INVALID_GEOMETRY_ID;
  query.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  context.filter = filter;
  rtcIntersect1(scene, &context, &query);
  return query;
}

bool found(const RTCRayHit& query) { return query.hit.geomID != RTC_INVALID_GEOMETRY_ID; }

// Embree's hit point is (1 - u - v) V0 + u V1 + v V2; ours weighs V0 and V1 first.
void readHit(const RTCRayHit& query, Wm4::Vector2<float>& barycentric, unsigned int& triangle) {
  barycentric = Wm4::Vector2<float>(1.0f - query.hit.u - query.hit.v, query.hit.u);
  triangle = query.hit.primID;
}

} // namespace

koQBVH::koQBVH() : mScene(nullptr) {}

koQBVH::~koQBVH() { release(); }

void koQBVH::buildFromBVH(unsigned int flags, const koGenericBVH& /*bvh*/,
                          const ko::koTriMesh* mesh) {
  build(flags, mesh);
}

void koQBVH::buildFromMesh(unsigned int flags, const ko::koTriMesh* mesh, unsigned int /*size*/) {
  build(flags, mesh);
}

void koQBVH::build(unsigned int flags, const ko::koTriMesh* mesh) {
  release();
  if (mesh == nullptr || mesh->GetTriangleQuantity() == 0 || mesh->VBuffer == nullptr ||
      !mesh->VBuffer->GetAttributes().HasPosition() || mesh->VBuffer->GetVertexQuantity() == 0)
    return; // no scene: every query misses
  const ko::koVertexBuffer& vertices = *mesh->VBuffer;
  const int noVertices = vertices.GetVertexQuantity();
  const int noTriangles = mesh->GetTriangleQuantity();
  const RTCDevice device = ko::koEmbreeDevice();

  // Triangles in mesh order, so that Embree's primID is the mesh's triangle index. A triangle
  // with an index outside the vertex buffer (negative ones wrap to huge) or a non-finite corner
  // is left out by Embree's builder and never hit.
  RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
  auto* positions = static_cast<float*>(
      rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                              3 * sizeof(float), static_cast<size_t>(noVertices)));
  for (int i = 0; i < noVertices; ++i)
    std::copy_n(static_cast<const float*>(vertices.Position3(i)), 3, positions + 3 * i);
  auto* indices = static_cast<unsigned int*>(
      rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                              3 * sizeof(unsigned int), static_cast<size_t>(noTriangles)));
  for (int i = 0; i < noTriangles; ++i) {
    int v0 = 0, v1 = 0, v2 = 0;
    mesh->GetTriangle(i, v0, v1, v2);
    indices[3 * i] = static_cast<unsigned int>(v0);
    indices[3 * i + 1] = static_cast<unsigned int>(v1);
    indices[3 * i + 2] = static_cast<unsigned int>(v2);
  }
  rtcCommitGeometry(geometry);

  RTCScene scene = rtcNewScene(device);
  // The context filter flag lets eNearestFrontHit queries pass their filter per call; the other
  // queries carry none and pay nothing for it.
  int sceneFlags = RTC_SCENE_FLAG_CONTEXT_FILTER_FUNCTION;
  if ((flags & eRobust) != 0)
    sceneFlags |= RTC_SCENE_FLAG_ROBUST;
  rtcSetSceneFlags(scene, static_cast<RTCSceneFlags>(sceneFlags));
  rtcSetSceneBuildQuality(scene, RTC_BUILD_QUALITY_MEDIUM);
  rtcAttachGeometry(scene, geometry);
  rtcReleaseGeometry(geometry); // the scene holds it now
  rtcCommitScene(scene);
  mScene = scene;
}

void koQBVH::release() {
  if (mScene != nullptr)
    rtcReleaseScene(static_cast<RTCScene>(mScene));
  mScene = nullptr;
}

bool koQBVH::intersectRay(const Wm4::Vector3<float>& origin, const Wm4::Vector3<float>& direction,
                          float tMin, float& distance, Wm4::Vector2<float>& barycentric,
                          unsigned int& triangle, tIntersectionPolicy policy) const {
  if (mScene == nullptr)
    return false;
  // Embree's segments start at the origin or beyond: one that starts behind is cast from its
  // start.
  const float shift = std::min(tMin, 0.0f);
  const RTCRayHit query =
      cast(static_cast<RTCScene>(mScene), origin + direction * shift, direction, tMin - shift,
           kInfinity, policy == eNearestFrontHit ? keepFrontHits : nullptr);
  if (!found(query))
    return false;
  distance = query.ray.tfar + shift;
  readHit(query, barycentric, triangle);
  return true;
}

bool koQBVH::intersectRaySymmetric(const Wm4::Vector3<float>& origin,
                                   const Wm4::Vector3<float>& direction, float& distance,
                                   Wm4::Vector2<float>& barycentric, unsigned int& triangle) const {
  if (mScene == nullptr || !(distance >= 0.0f))
    return false;
  const auto scene = static_cast<RTCScene>(mScene);
  const RTCRayHit forward = cast(scene, origin, direction, 0.0f, distance, nullptr);
  // A forward hit bounds the backward search, which must then be strictly nearer to win.
  const float reach = found(forward) ? forward.ray.tfar : distance;
  const RTCRayHit backward = cast(scene, origin, -direction, 0.0f, reach, nullptr);
  const bool backwardWins = found(backward) && (!found(forward) || backward.ray.tfar < reach);
  const RTCRayHit& nearest = backwardWins ? backward : forward;
  if (!found(nearest))
    return false;
  distance = nearest.ray.tfar;
  readHit(nearest, barycentric, triangle);
  return true;
}
