#include "tolvaneMeshConversion.h"

#include "tolvaneInputError.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koMeshProcessing.h>
#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

bool isFinite(const aiVector3D& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool isHuge(const aiVector3D& v) {
  return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}) > kLargestCoordinate;
}

// In double, the edges and their cross product of float positions are exact enough that only a
// truly flat triangle gives zero.
bool hasArea(const Wm4::Vector3<float>& a, const Wm4::Vector3<float>& b,
             const Wm4::Vector3<float>& c) {
  const double u[3] = {double(b.X()) - a.X(), double(b.Y()) - a.Y(), double(b.Z()) - a.Z()};
  const double v[3] = {double(c.X()) - a.X(), double(c.Y()) - a.Y(), double(c.Z()) - a.Z()};
  return u[1] * v[2] - u[2] * v[1] != 0.0 || u[2] * v[0] - u[0] * v[2] != 0.0 ||
         u[0] * v[1] - u[1] * v[0] != 0.0;
}

} // namespace

tolvaneConvertedMesh convertMesh(const aiMesh& source, const aiMatrix4x4& world,
                                 const std::string& where) {
  if (source.mNumVertices > INT_MAX)
    throw tolvaneInputError(where + ": more vertices than a mesh can hold");
  const bool hasNormals = source.HasNormals();
  const aiMatrix3x3 normalMatrix = aiMatrix3x3(world).Inverse().Transpose();
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  if (hasNormals)
    attributes.SetNormalChannels(3);
  // Held by a pointer so that a refused vertex or triangle does not leak the buffer.
  ko::koPointer<ko::koVertexBuffer> vertices =
      new ko::koVertexBuffer(attributes, static_cast<int>(source.mNumVertices));
  for (unsigned int v = 0; v < source.mNumVertices; ++v) {
    const aiVector3D p = world * source.mVertices[v];
    if (!isFinite(source.mVertices[v]) || !isFinite(p))
      throw tolvaneInputError(where + ": vertex " + std::to_string(v) +
                              " has a coordinate that is not a finite number");
    if (isHuge(p))
      throw tolvaneInputError(where + ": vertex " + std::to_string(v) +
                              " has a coordinate beyond 1e9, too large for single precision");
    vertices->Position3(static_cast<int>(v)) = Wm4::Vector3<float>(p.x, p.y, p.z);
    if (hasNormals) {
      aiVector3D n = normalMatrix * source.mNormals[v];
      n = isFinite(n) && n.SquareLength() > 0.0f ? n.Normalize() : aiVector3D(0.0f, 0.0f, 0.0f);
      vertices->Normal3(static_cast<int>(v)) = Wm4::Vector3<float>(n.x, n.y, n.z);
    }
  }

  tolvaneConvertedMesh result;
  result.pointLike = true;
  const Wm4::Vector3<float>* firstCorner = nullptr;
  std::vector<int> indices;
  for (unsigned int f = 0; f < source.mNumFaces; ++f) {
    const aiFace& face = source.mFaces[f];
    if (face.mNumIndices != 3)
      continue;
    ++result.noTriangles;
    int corner[3];
    for (unsigned int k = 0; k < 3; ++k) {
      if (face.mIndices[k] >= source.mNumVertices)
        throw tolvaneInputError(where + ": face " + std::to_string(f) + " has vertex index " +
                                std::to_string(face.mIndices[k]) + " out of range");
      corner[k] = static_cast<int>(face.mIndices[k]);
      const Wm4::Vector3<float>& p = vertices->Position3(corner[k]);
      firstCorner = firstCorner ? firstCorner : &p;
      result.pointLike = result.pointLike && p == *firstCorner;
    }
    if (!hasArea(vertices->Position3(corner[0]), vertices->Position3(corner[1]),
                 vertices->Position3(corner[2]))) {
      ++result.noDegenerate;
      continue;
    }
    indices.insert(indices.end(), corner, corner + 3);
  }
  if (indices.empty())
    return result;
  auto* indexBuffer =
      new ko::koIndexBuffer(static_cast<int>(indices.size()), ko::koIndexBuffer::TriangleList);
  std::copy(indices.begin(), indices.end(), indexBuffer->GetData());
  result.mesh = new ko::koTriMesh(vertices, indexBuffer);
  // Vertices the file repeats (an STL repeats every corner) become one where position and normal
  // are the same numbers.
  koMeshProcessing::WeldSimilarVertices(result.mesh, 0.0f, false);
  return result;
}
