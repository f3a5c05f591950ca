#include <ko/koMeshProcessing.h>
#include <ko/koMeshUtils.h>
#include <ko/koTriMesh.h>

#include "koDisjointSets.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Vec3d = Wm4::Vector3<double>;

Vec3d toDouble(const Vec3& v) {
  return Vec3d(static_cast<double>(v[0]), static_cast<double>(v[1]), static_cast<double>(v[2]));
}

// A face's normal, computed in double from the float corners so that it is near exact. A face is
// degenerate when its corners are (numerically) collinear: it has no direction of its own.
struct Face {
  Vec3d areaNormal; // twice the area times the unit normal
  Vec3d unitNormal; // set for proper faces only
  bool degenerate = true;
};

std::vector<Face> faceNormals(const ko::koVertexBuffer& vertices, const int* indices,
                              std::size_t noTriangles) {
  std::vector<Face> faces(noTriangles);
  for (std::size_t t = 0; t < noTriangles; ++t) {
    const Vec3d p0 = toDouble(vertices.Position3(indices[3 * t]));
    const Vec3d e1 = toDouble(vertices.Position3(indices[3 * t + 1])) - p0;
    const Vec3d e2 = toDouble(vertices.Position3(indices[3 * t + 2])) - p0;
    Face& face = faces[t];
    face.areaNormal = e1.Cross(e2);
    const double length = face.areaNormal.Length();
    face.degenerate = !(length > 1e-12 * e1.Length() * e2.Length());
    if (!face.degenerate)
      face.unitNormal = face.areaNormal / length;
  }
  return faces;
}

// The corners (3 * triangle + k) at each vertex, in ascending order: the corners of vertex v are
// corners[start[v] .. start[v + 1]).
struct CornersByVertex {
  std::vector<std::size_t> start, corners;
};

CornersByVertex cornersByVertex(const int* indices, std::size_t noCorners, std::size_t noVertices) {
  CornersByVertex byVertex;
  byVertex.start.assign(noVertices + 1, 0);
  for (std::size_t c = 0; c < noCorners; ++c)
    ++byVertex.start[static_cast<std::size_t>(indices[c]) + 1];
  for (std::size_t v = 0; v < noVertices; ++v)
    byVertex.start[v + 1] += byVertex.start[v];
  byVertex.corners.resize(noCorners);
  std::vector<std::size_t> next(byVertex.start.begin(), byVertex.start.end() - 1);
  for (std::size_t c = 0; c < noCorners; ++c)
    byVertex.corners[next[static_cast<std::size_t>(indices[c])]++] = c;
  return byVertex;
}

bool shareAnotherVertex(const int* indices, std::size_t cornerA, std::size_t cornerB) {
  const std::size_t a = cornerA - cornerA % 3, b = cornerB - cornerB % 3;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      if (a + i != cornerA && b + j != cornerB && indices[a + i] == indices[b + j])
        return true;
  return false;
}

// Groups the corners of one vertex, as SmoothenNormals describes: proper faces by the angle
// between their normals, transitively; degenerate ones with a proper neighbour.
void groupCorners(const std::vector<Face>& faces, const int* indices, const std::size_t* corners,
                  std::size_t noCorners, double cosAngle, ko::koDisjointSets& groups) {
  const auto faceOf = [&](std::size_t k) -> const Face& { return faces[corners[k] / 3]; };
  std::size_t firstSolid = noCorners;
  for (std::size_t a = 0; a < noCorners; ++a) {
    if (faceOf(a).degenerate)
      continue;
    if (firstSolid == noCorners)
      firstSolid = a;
    for (std::size_t b = a + 1; b < noCorners; ++b)
      if (!faceOf(b).degenerate && faceOf(a).unitNormal.Dot(faceOf(b).unitNormal) >= cosAngle)
        groups.Unite(corners[a], corners[b]);
  }
  for (std::size_t a = 0; a < noCorners; ++a) {
    if (!faceOf(a).degenerate)
      continue;
    std::size_t host = firstSolid == noCorners ? 0 : firstSolid;
    for (std::size_t b = 0; b < noCorners; ++b)
      if (!faceOf(b).degenerate && shareAnotherVertex(indices, corners[a], corners[b])) {
        host = b;
        break;
      }
    groups.Unite(corners[a], corners[host]);
  }
}

// Resizes the mesh's vertex buffer to noVertices, keeping its vertices; a buffer without normals
// is replaced by one with them, since a layout cannot change in place.
ko::koVertexBuffer& growWithNormals(ko::koTriMesh& mesh, int noVertices) {
  const ko::koVertexBuffer& source = *mesh.VBuffer;
  if (source.GetAttributes().HasNormal()) {
    mesh.VBuffer->resizeVertexBuffer(noVertices);
    return *mesh.VBuffer;
  }
  ko::koAttributes layout = source.GetAttributes();
  layout.SetNormalChannels(3);
  ko::koPointer<ko::koVertexBuffer> withNormals(new ko::koVertexBuffer(layout, noVertices));
  for (int v = 0; v < source.GetVertexQuantity(); ++v)
    ko::koMeshUtils::CopyVertexData(source, *withNormals, v, v);
  mesh.VBuffer = withNormals;
  return *mesh.VBuffer;
}

} // namespace

namespace koMeshProcessing {

void SmoothenNormals(ko::koTriMesh* mesh, float angleRadians) {
  if (mesh == nullptr || mesh->VBuffer == nullptr || mesh->IBuffer == nullptr ||
      !mesh->VBuffer->GetAttributes().HasPosition())
    return;
  const ko::koVertexBuffer& source = *mesh->VBuffer;
  const auto noVertices = static_cast<std::size_t>(source.GetVertexQuantity());
  const auto noTriangles = static_cast<std::size_t>(mesh->GetTriangleQuantity());
  const std::size_t noCorners = 3 * noTriangles;
  int* indices = mesh->IBuffer->GetData();

  const std::vector<Face> faces = faceNormals(source, indices, noTriangles);
  const CornersByVertex byVertex = cornersByVertex(indices, noCorners, noVertices);
  const double cosAngle = std::cos(static_cast<double>(angleRadians));
  ko::koDisjointSets groups(noCorners);
  for (std::size_t v = 0; v < noVertices; ++v)
    groupCorners(faces, indices, byVertex.corners.data() + byVertex.start[v],
                 byVertex.start[v + 1] - byVertex.start[v], cosAngle, groups);

  // A vertex's first group (by lowest triangle) keeps the vertex; every further group gets a
  // copy appended to the buffer. Roots are a group's lowest corner, so groups show in that order.
  std::vector<int> vertexOfCorner(noCorners);
  std::vector<int> origin; // the vertex each appended copy is made from
  std::vector<Vec3d> normalSum(noCorners, Vec3d(0.0, 0.0, 0.0)); // Wm vectors start uninitialised
  std::vector<const Face*> firstSolid(noCorners, nullptr);
  for (std::size_t v = 0; v < noVertices; ++v) {
    bool vertexTaken = false;
    for (std::size_t k = byVertex.start[v]; k < byVertex.start[v + 1]; ++k) {
      const std::size_t corner = byVertex.corners[k], root = groups.Find(corner);
      if (root == corner) {
        vertexOfCorner[corner] =
            vertexTaken ? static_cast<int>(noVertices + origin.size()) : static_cast<int>(v);
        if (vertexTaken)
          origin.push_back(static_cast<int>(v));
        vertexTaken = true;
      } else {
        vertexOfCorner[corner] = vertexOfCorner[root];
      }
      const Face& face = faces[corner / 3];
      if (!face.degenerate) {
        normalSum[root] += face.areaNormal;
        if (firstSolid[root] == nullptr)
          firstSolid[root] = &face;
      }
    }
  }

  ko::koVertexBuffer& target = growWithNormals(*mesh, static_cast<int>(noVertices + origin.size()));
  for (std::size_t k = 0; k < origin.size(); ++k)
    ko::koMeshUtils::CopyVertexData(target, target, origin[k], static_cast<int>(noVertices + k));

  // The area-weighted mean; should the faces cancel out (only possible with angles past 90
  // degrees), the group's first face gives the direction. A group of degenerate faces keeps the
  // normal the vertex had.
  for (std::size_t corner = 0; corner < noCorners; ++corner) {
    if (groups.Find(corner) != corner || firstSolid[corner] == nullptr)
      continue;
    const double length = normalSum[corner].Length();
    const Vec3d normal = length > 0.0 ? normalSum[corner] / length : firstSolid[corner]->unitNormal;
    target.Normal3(vertexOfCorner[corner]) =
        Vec3(static_cast<float>(normal[0]), static_cast<float>(normal[1]),
             static_cast<float>(normal[2]));
  }
  for (std::size_t c = 0; c < noCorners; ++c)
    indices[c] = vertexOfCorner[c];
}

} // namespace koMeshProcessing
