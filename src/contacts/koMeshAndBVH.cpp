#include "koMeshAndBVH.h"

#include <ko/koBVHTriangleContainer.h>
#include <ko/koGenericBVH.h>
#include <ko/koLinearGenericBVHBuilder.h>
#include <ko/koQBVH.h>
#include <ko/koTriMesh.h>

#include <utility>

namespace {

// Morton grid bits per axis for a mesh's own hierarchy.
constexpr unsigned int kMeshBVHGridBits = 20;

} // namespace

koMeshAndBVH::koMeshAndBVH() : mesh(nullptr), bvh(nullptr), qbvh(nullptr) {}

koMeshAndBVH::koMeshAndBVH(const ko::koTriMesh* mesh_) : mesh(mesh_), bvh(nullptr), qbvh(nullptr) {
  updateBVH();
}

koMeshAndBVH::~koMeshAndBVH() {
  delete bvh;
  delete qbvh;
}

koMeshAndBVH::koMeshAndBVH(koMeshAndBVH&& other) noexcept
    : mesh(other.mesh), bvh(other.bvh), qbvh(other.qbvh), faceNormals(std::move(other.faceNormals)) {
  other.bvh = nullptr;
  other.qbvh = nullptr;
}

koMeshAndBVH& koMeshAndBVH::operator=(koMeshAndBVH&& other) noexcept {
  if (this != &other) {
    delete bvh;
    delete qbvh;
    mesh = other.mesh;
    bvh = std::exchange(other.bvh, nullptr);
    qbvh = std::exchange(other.qbvh, nullptr);
    faceNormals = std::move(other.faceNormals);
  }
  return *this;
}

void koMeshAndBVH::updateBVH() {
  const koBVHTriangleContainer triangles(*mesh);
  const unsigned int noTriangles = triangles.getQuantity();

  delete bvh;
  bvh = nullptr;
  delete qbvh;
  qbvh = nullptr;
  bvh = new koGenericBVH();
  qbvh = new koQBVH();

  // One pass over the triangles gives both their normals and the builder's inputs.
  faceNormals.resize(noTriangles);
  koLinearGenericBVHBuilder builder;
  builder.setup(noTriangles);
  Wm4::Vector3<float> p0, p1, p2;
  for (unsigned int i = 0; i < noTriangles; ++i) {
    triangles.getTriangle(i, p0, p1, p2);
    const Wm4::Vector3<float> normal = (p1 - p0).Cross(p2 - p0);
    // No guard for zero area: the non-finite normal keeps such triangles in the facing test.
    faceNormals[i] = normal * (1.0f / normal.Length());
    builder.setPrimitive(i, koBBox::aroundTriangle(p0, p1, p2), i);
  }
  builder.build(*bvh, nullptr, kMeshBVHGridBits);
  builder.releasePrimitives();

  qbvh->buildFromBVH(koQBVH::eRobust, *bvh, mesh);
}
