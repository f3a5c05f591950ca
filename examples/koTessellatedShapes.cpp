#include "koTessellatedShapes.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koVertexBuffer.h>

#include <cmath>
#include <vector>

namespace {

typedef Wm4::Vector3<float> Vec3;

// Collects vertices and triangles, then makes the mesh.
class MeshWriter {
public:
  int addVertex(const Vec3& position, const Vec3& normal) {
    mPositions.push_back(position);
    mNormals.push_back(normal);
    return static_cast<int>(mPositions.size()) - 1;
  }
  void addTriangle(int a, int b, int c) { mIndices.insert(mIndices.end(), {a, b, c}); }

  // A grid of (columns + 1) x (rows + 1) vertices, corner + i/columns u + j/rows v, with the
  // given normal for all; quads are split into two counter-clockwise triangles seen from the
  // side u x v points to.
  void addGrid(const Vec3& corner, const Vec3& u, const Vec3& v, int columns, int rows,
               const Vec3& normal) {
    const int first = static_cast<int>(mPositions.size());
    for (int j = 0; j <= rows; ++j)
      for (int i = 0; i <= columns; ++i)
        addVertex(corner + u * (float(i) / columns) + v * (float(j) / rows), normal);
    addQuads(first, columns, rows, false);
  }

  // Triangles of a (columns + 1) x (rows + 1) vertex grid starting at vertex first; flipped,
  // they face the other way.
  void addQuads(int first, int columns, int rows, bool flipped) {
    for (int j = 0; j < rows; ++j)
      for (int i = 0; i < columns; ++i) {
        const int v00 = first + j * (columns + 1) + i;
        const int v10 = v00 + 1;
        const int v01 = v00 + columns + 1;
        const int v11 = v01 + 1;
        if (flipped) {
          addTriangle(v00, v11, v10);
          addTriangle(v00, v01, v11);
        } else {
          addTriangle(v00, v10, v11);
          addTriangle(v00, v11, v01);
        }
      }
  }

  ko::koTriMesh* finish(const std::string& name) const {
    ko::koAttributes attributes;
    attributes.SetPositionChannels(3);
    attributes.SetNormalChannels(3);
    auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(mPositions.size()));
    for (size_t i = 0; i < mPositions.size(); ++i) {
      vertices->Position3(static_cast<int>(i)) = mPositions[i];
      vertices->Normal3(static_cast<int>(i)) = mNormals[i];
    }
    auto* indices = new ko::koIndexBuffer(static_cast<int>(mIndices.size()), 1);
    for (size_t i = 0; i < mIndices.size(); ++i)
      indices->GetData()[i] = mIndices[i];
    auto* mesh = new ko::koTriMesh(vertices, indices);
    mesh->SetName(name);
    return mesh;
  }

private:
  std::vector<Vec3> mPositions;
  std::vector<Vec3> mNormals;
  std::vector<int> mIndices;
};

Vec3 radial(int segment, int segments) {
  const double angle = 2.0 * 3.14159265358979323846 * segment / segments;
  return Vec3(float(std::cos(angle)), float(std::sin(angle)), 0.0f);
}

// A side of revolution: rings + 1 circles of the radius, normals radial (outward) or toward
// the axis (inward); the seam's vertices are doubled so that the grid closes.
void addSide(MeshWriter& writer, const Vec3& base, float radius, float height, int segments,
             int rings, bool outward) {
  const float sign = outward ? 1.0f : -1.0f;
  int first = -1;
  for (int j = 0; j <= rings; ++j)
    for (int i = 0; i <= segments; ++i) {
      const Vec3 direction = radial(i % segments, segments);
      const int v = writer.addVertex(
          base + direction * radius + Vec3(0.0f, 0.0f, height * float(j) / rings),
          direction * sign);
      first = first < 0 ? v : first;
    }
  writer.addQuads(first, segments, rings, !outward);
}

// A flat ring (or a disc when innerRadius is 0) at height z facing up or down.
void addCap(MeshWriter& writer, const Vec3& base, float innerRadius, float outerRadius, float z,
            int segments, bool up) {
  const Vec3 normal(0.0f, 0.0f, up ? 1.0f : -1.0f);
  const Vec3 centre = base + Vec3(0.0f, 0.0f, z);
  std::vector<int> inner, outer;
  for (int i = 0; i < segments; ++i) {
    outer.push_back(writer.addVertex(centre + radial(i, segments) * outerRadius, normal));
    if (innerRadius > 0.0f)
      inner.push_back(writer.addVertex(centre + radial(i, segments) * innerRadius, normal));
  }
  const int middle = innerRadius > 0.0f ? -1 : writer.addVertex(centre, normal);
  for (int i = 0; i < segments; ++i) {
    const int next = (i + 1) % segments;
    // Counter-clockwise seen from above is the order of increasing angle.
    if (middle >= 0) {
      if (up)
        writer.addTriangle(middle, outer[i], outer[next]);
      else
        writer.addTriangle(middle, outer[next], outer[i]);
      continue;
    }
    if (up) {
      writer.addTriangle(inner[i], outer[i], outer[next]);
      writer.addTriangle(inner[i], outer[next], inner[next]);
    } else {
      writer.addTriangle(inner[i], outer[next], outer[i]);
      writer.addTriangle(inner[i], inner[next], outer[next]);
    }
  }
}

} // namespace

ko::koTriMesh* makeTessellatedBox(const std::string& name, const Vec3& minCorner,
                                  const Vec3& maxCorner, int divisions) {
  const Vec3 size = maxCorner - minCorner;
  const Vec3 dx(size.X(), 0.0f, 0.0f), dy(0.0f, size.Y(), 0.0f), dz(0.0f, 0.0f, size.Z());
  MeshWriter writer;
  const int n = divisions;
  writer.addGrid(minCorner, dy, dx, n, n, Vec3(0, 0, -1));      // z min
  writer.addGrid(minCorner + dz, dx, dy, n, n, Vec3(0, 0, 1));  // z max
  writer.addGrid(minCorner, dx, dz, n, n, Vec3(0, -1, 0));      // y min
  writer.addGrid(minCorner + dy, dz, dx, n, n, Vec3(0, 1, 0));  // y max
  writer.addGrid(minCorner, dz, dy, n, n, Vec3(-1, 0, 0));      // x min
  writer.addGrid(minCorner + dx, dy, dz, n, n, Vec3(1, 0, 0));  // x max
  return writer.finish(name);
}

ko::koTriMesh* makeCylinder(const std::string& name, const Vec3& baseCentre, float radius,
                            float height, int segments, int rings) {
  MeshWriter writer;
  addSide(writer, baseCentre, radius, height, segments, rings, true);
  addCap(writer, baseCentre, 0.0f, radius, 0.0f, segments, false);
  addCap(writer, baseCentre, 0.0f, radius, height, segments, true);
  return writer.finish(name);
}

ko::koTriMesh* makeTube(const std::string& name, const Vec3& baseCentre, float innerRadius,
                        float outerRadius, float height, int segments, int rings) {
  MeshWriter writer;
  addSide(writer, baseCentre, outerRadius, height, segments, rings, true);
  addSide(writer, baseCentre, innerRadius, height, segments, rings, false);
  addCap(writer, baseCentre, innerRadius, outerRadius, 0.0f, segments, false);
  addCap(writer, baseCentre, innerRadius, outerRadius, height, segments, true);
  return writer.finish(name);
}
