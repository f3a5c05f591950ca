#include "koTessellatedShapes.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koVertexBuffer.h>

#include <algorithm>
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
  // The triangle wound to face along `facing`.
  void addFacing(int a, int b, int c, const Vec3& facing) {
    const Vec3 normal = (mPositions[b] - mPositions[a]).Cross(mPositions[c] - mPositions[a]);
    if (normal.Dot(facing) >= 0.0f)
      addTriangle(a, b, c);
    else
      addTriangle(a, c, b);
  }
  // A planar quad of four new vertices in order around it, facing along normal.
  void addQuad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& normal) {
    const int first = addVertex(a, normal);
    addVertex(b, normal);
    addVertex(c, normal);
    addVertex(d, normal);
    addFacing(first, first + 1, first + 2, normal);
    addFacing(first, first + 2, first + 3, normal);
  }

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

namespace {

// The ring of a hole's cell on the face at height z: the hole's rim (inner) and the cell's sides
// (outer), point k of one facing point k of the other. A round hole's outer points are its rim's
// directions carried to the cell's sides, snapped onto them exactly.
void holeRing(const koBlockHole& hole, float z, int segments, std::vector<Vec3>& inner,
              std::vector<Vec3>& outer) {
  const Vec3 centre(hole.x, hole.y, z);
  inner.clear();
  outer.clear();
  if (hole.square) {
    const float sx[4] = {-1, 1, 1, -1}, sy[4] = {-1, -1, 1, 1};
    for (int k = 0; k < 4; ++k) {
      inner.push_back(centre + Vec3(sx[k] * hole.radius, sy[k] * hole.radius, 0.0f));
      outer.push_back(centre + Vec3(sx[k] * hole.halfX, sy[k] * hole.halfY, 0.0f));
    }
    return;
  }
  for (int i = 0; i < segments; ++i) {
    const Vec3 direction = radial(i, segments);
    inner.push_back(centre + direction * hole.radius);
    const float ax = std::fabs(direction.X()), ay = std::fabs(direction.Y());
    const float reach = std::min(ax > 0.0f ? hole.halfX / ax : 1e30f,
                                 ay > 0.0f ? hole.halfY / ay : 1e30f);
    Vec3 side = centre + direction * reach;
    if (ax * hole.halfY >= ay * hole.halfX * (1.0f - 1e-5f))
      side.X() = hole.x + (direction.X() > 0.0f ? hole.halfX : -hole.halfX);
    if (ay * hole.halfX >= ax * hole.halfY * (1.0f - 1e-5f))
      side.Y() = hole.y + (direction.Y() > 0.0f ? hole.halfY : -hole.halfY);
    outer.push_back(side);
  }
}

} // namespace

ko::koTriMesh* makeHoledBlock(const std::string& name, const Vec3& minCorner,
                              const Vec3& maxCorner, const std::vector<koBlockHole>& holes,
                              int segments) {
  MeshWriter writer;
  // Top and bottom: the grid cut by every cell's sides, less the cells, and each cell's ring.
  std::vector<float> xs{minCorner.X(), maxCorner.X()}, ys{minCorner.Y(), maxCorner.Y()};
  for (const koBlockHole& hole : holes) {
    xs.insert(xs.end(), {hole.x - hole.halfX, hole.x + hole.halfX});
    ys.insert(ys.end(), {hole.y - hole.halfY, hole.y + hole.halfY});
  }
  for (std::vector<float>* cuts : {&xs, &ys}) {
    std::sort(cuts->begin(), cuts->end());
    cuts->erase(std::unique(cuts->begin(), cuts->end()), cuts->end());
  }
  const auto inCell = [&](float x, float y) {
    return std::any_of(holes.begin(), holes.end(), [&](const koBlockHole& hole) {
      return std::fabs(x - hole.x) < hole.halfX && std::fabs(y - hole.y) < hole.halfY;
    });
  };
  std::vector<Vec3> inner, outer;
  for (const float z : {minCorner.Z(), maxCorner.Z()}) {
    const Vec3 normal(0.0f, 0.0f, z == maxCorner.Z() ? 1.0f : -1.0f);
    for (size_t i = 0; i + 1 < xs.size(); ++i)
      for (size_t j = 0; j + 1 < ys.size(); ++j)
        if (!inCell(0.5f * (xs[i] + xs[i + 1]), 0.5f * (ys[j] + ys[j + 1])))
          writer.addQuad(Vec3(xs[i], ys[j], z), Vec3(xs[i + 1], ys[j], z),
                         Vec3(xs[i + 1], ys[j + 1], z), Vec3(xs[i], ys[j + 1], z), normal);
    for (const koBlockHole& hole : holes) {
      holeRing(hole, z, segments, inner, outer);
      const int n = static_cast<int>(inner.size());
      for (int k = 0; k < n; ++k)
        writer.addQuad(inner[k], outer[k], outer[(k + 1) % n], inner[(k + 1) % n], normal);
    }
  }
  // The hole walls, facing the axis: smooth for round holes, flat for square ones.
  for (const koBlockHole& hole : holes) {
    std::vector<Vec3> top;
    holeRing(hole, maxCorner.Z(), segments, top, outer);
    holeRing(hole, minCorner.Z(), segments, inner, outer);
    const int n = static_cast<int>(inner.size());
    const Vec3 axis(hole.x, hole.y, 0.0f);
    for (int k = 0; k < n; ++k) {
      const int next = (k + 1) % n;
      if (hole.square) {
        Vec3 facing = axis - 0.5f * (inner[k] + inner[next]);
        facing.Z() = 0.0f;
        writer.addQuad(inner[k], inner[next], top[next], top[k], facing);
        continue;
      }
      const int first = writer.addVertex(inner[k], -radial(k, segments));
      writer.addVertex(inner[next], -radial(next, segments));
      writer.addVertex(top[next], -radial(next, segments));
      writer.addVertex(top[k], -radial(k, segments));
      const Vec3 facing = -(radial(k, segments) + radial(next, segments));
      writer.addFacing(first, first + 1, first + 2, facing);
      writer.addFacing(first, first + 2, first + 3, facing);
    }
  }
  // The four outer sides.
  const Vec3& a = minCorner;
  const Vec3& b = maxCorner;
  writer.addQuad(Vec3(a.X(), a.Y(), a.Z()), Vec3(b.X(), a.Y(), a.Z()), Vec3(b.X(), a.Y(), b.Z()),
                 Vec3(a.X(), a.Y(), b.Z()), Vec3(0, -1, 0));
  writer.addQuad(Vec3(a.X(), b.Y(), a.Z()), Vec3(b.X(), b.Y(), a.Z()), Vec3(b.X(), b.Y(), b.Z()),
                 Vec3(a.X(), b.Y(), b.Z()), Vec3(0, 1, 0));
  writer.addQuad(Vec3(a.X(), a.Y(), a.Z()), Vec3(a.X(), b.Y(), a.Z()), Vec3(a.X(), b.Y(), b.Z()),
                 Vec3(a.X(), a.Y(), b.Z()), Vec3(-1, 0, 0));
  writer.addQuad(Vec3(b.X(), a.Y(), a.Z()), Vec3(b.X(), b.Y(), a.Z()), Vec3(b.X(), b.Y(), b.Z()),
                 Vec3(b.X(), a.Y(), b.Z()), Vec3(1, 0, 0));
  return writer.finish(name);
}
