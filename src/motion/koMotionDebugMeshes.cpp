#include "koMotionDetect.h"

#include "motion/koMotionMath.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koMaterialState.h>
#include <ko/koNode.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

using Vec3f = Wm4::Vector3<float>;

constexpr int kSegments = 10;
constexpr float kAngleStep = 0.62831855f;  // 2 pi / kSegments

struct tBox {
  Vec3f min, max;

  float maxExtent() const {
    return std::max({max.X() - min.X(), max.Y() - min.Y(), max.Z() - min.Z()});
  }
};

void growBox(tBox& box, const ko::koTriMesh* mesh) {
  const ko::koVertexBuffer* vertices = mesh->VBuffer;
  if (vertices == nullptr)
    return;
  for (int v = 0; v < vertices->GetVertexQuantity(); ++v) {
    const Vec3f& p = vertices->Position3(v);
    for (int k = 0; k < 3; ++k) {
      box.min[k] = std::min(box.min[k], p[k]);
      box.max[k] = std::max(box.max[k], p[k]);
    }
  }
}

tBox boundsOf(const ko::koTriMesh* meshA, const ko::koTriMesh* meshB) {
  const float inf = std::numeric_limits<float>::infinity();
  tBox box{Vec3f(inf, inf, inf), Vec3f(-inf, -inf, -inf)};
  growBox(box, meshA);
  growBox(box, meshB);
  return box;
}

// A line with a right-handed frame (u1, u2, dir) whose (u1, u2) spans the cross sections.
struct tLine {
  Vec3f origin, dir, u1, u2;

  Vec3f at(float t) const { return origin + t * dir; }
  Vec3f ring(int i) const {
    const float angle = static_cast<float>(i) * kAngleStep;
    return std::cos(angle) * u1 + std::sin(angle) * u2;
  }
  // The same line run backwards, still with a right-handed frame.
  tLine reversed() const { return tLine{origin, -dir, u1, -u2}; }
};

tLine makeLine(const Vec3f& origin, Wm4::Vector3<double> direction) {
  direction.Normalize();
  Wm4::Vector3<double> u1, u2;
  koPerpendicularBasis(direction, u1, u2);
  const auto toFloat = [](const Wm4::Vector3<double>& v) {
    return Vec3f(static_cast<float>(v.X()), static_cast<float>(v.Y()), static_cast<float>(v.Z()));
  };
  return tLine{origin, toFloat(direction), toFloat(u1), toFloat(u2)};
}

// The part of the line inside the box (slab method; an axis the line runs across bounds
// nothing), at least a quarter of the box's largest extent long and lengthened at each end by
// extension times that length.
void clipSpan(const tBox& box, const tLine& line, float extension, float& t0, float& t1) {
  float lo = -std::numeric_limits<float>::infinity();
  float hi = std::numeric_limits<float>::infinity();
  for (int k = 0; k < 3; ++k) {
    if (line.dir[k] == 0.0f)
      continue;
    const float ta = (box.min[k] - line.origin[k]) / line.dir[k];
    const float tb = (box.max[k] - line.origin[k]) / line.dir[k];
    lo = std::max(lo, std::min(ta, tb));
    hi = std::min(hi, std::max(ta, tb));
  }
  const float length = std::max(hi - lo, 0.25f * box.maxExtent());
  const float centre = 0.5f * (lo + hi);
  const float half = 0.5f * length * (1.0f + 2.0f * extension);
  t0 = centre - half;
  t1 = centre + half;
}

// The average of the materials of the meshes that have one; null when neither has.
ko::koMaterialState* averageMaterial(const ko::koTriMesh* meshA, const ko::koTriMesh* meshB) {
  const ko::koMaterialState* a = meshA->GetMaterialState();
  const ko::koMaterialState* b = meshB->GetMaterialState();
  if (a == nullptr || b == nullptr) {
    const ko::koMaterialState* only = a != nullptr ? a : b;
    return only != nullptr ? new ko::koMaterialState(*only) : nullptr;
  }
  auto* mean = new ko::koMaterialState(*a);
  for (Wm4::ColorRGB ko::koMaterialState::*colour :
       {&ko::koMaterialState::Emissive, &ko::koMaterialState::Ambient,
        &ko::koMaterialState::Diffuse, &ko::koMaterialState::Specular}) {
    const Wm4::ColorRGB& x = a->*colour;
    const Wm4::ColorRGB& y = b->*colour;
    mean->*colour = Wm4::ColorRGB(0.5f * (x.R + y.R), 0.5f * (x.G + y.G), 0.5f * (x.B + y.B));
  }
  for (float ko::koMaterialState::*value : {&ko::koMaterialState::Alpha,
                                            &ko::koMaterialState::Shininess,
                                            &ko::koMaterialState::Reflectivity})
    mean->*value = 0.5f * (a->*value + b->*value);
  return mean;
}

// Fills a mesh of known size with positions, normals and a triangle list.
class tMeshWriter {
public:
  tMeshWriter(int noVertices, int noTriangles) {
    ko::koAttributes attributes;
    attributes.SetPositionChannels(3);
    attributes.SetNormalChannels(3);
    mVertices = new ko::koVertexBuffer(attributes, noVertices);
    mIndices = new ko::koIndexBuffer(3 * noTriangles, ko::koIndexBuffer::TriangleList);
  }

  int vertex(const Vec3f& position, const Vec3f& normal) {
    mVertices->Position3(mNextVertex) = position;
    mVertices->Normal3(mNextVertex) = normal;
    return mNextVertex++;
  }
  void triangle(int a, int b, int c) {
    int* indices = mIndices->GetData();
    indices[mNextIndex++] = a;
    indices[mNextIndex++] = b;
    indices[mNextIndex++] = c;
  }

  // The platform renders a mesh with its material as soon as it has one; nothing else to mark.
  ko::koTriMesh* finish(const ko::koTriMesh* meshA, const ko::koTriMesh* meshB) {
    auto* mesh = new ko::koTriMesh(mVertices, mIndices);
    mesh->SetMaterialState(averageMaterial(meshA, meshB));
    return mesh;
  }

private:
  ko::koVertexBuffer* mVertices;
  ko::koIndexBuffer* mIndices;
  int mNextVertex = 0;
  int mNextIndex = 0;
};

// A closed cylinder of radius r over [t0, t1] of the line: 42 vertices (start cap ring, side
// rings at t0 and t1, end cap ring, start and end cap centres) and 40 outward triangles.
void writeCylinder(tMeshWriter& out, const tLine& line, float t0, float t1, float r) {
  Vec3f start[kSegments], end[kSegments];
  for (int i = 0; i < kSegments; ++i) {
    start[i] = line.at(t0) + r * line.ring(i);
    end[i] = line.at(t1) + r * line.ring(i);
  }
  for (int i = 0; i < kSegments; ++i)
    out.vertex(start[i], -line.dir);
  for (int i = 0; i < kSegments; ++i)
    out.vertex(start[i], line.ring(i));
  for (int i = 0; i < kSegments; ++i)
    out.vertex(end[i], line.ring(i));
  for (int i = 0; i < kSegments; ++i)
    out.vertex(end[i], line.dir);
  out.vertex(line.at(t0), -line.dir);
  out.vertex(line.at(t1), line.dir);

  for (int i = 0; i < kSegments; ++i) {
    const int n = (i + 1) % kSegments;
    out.triangle(40, n, i);
    out.triangle(20 + n, 10 + i, 10 + n);
    out.triangle(10 + i, 20 + n, 20 + i);
    out.triangle(30 + n, 41, 30 + i);
  }
}

// A closed cone pointing along the line, its base disk of radius r at t and its tip at
// t + height: base ring and centre, side ring, tip (22 vertices), 20 triangles. Returns the base
// centre's index.
int writeHead(tMeshWriter& out, const tLine& line, float t, float height, float r) {
  const float slant = std::sqrt(height * height + r * r);
  const int base = out.vertex(line.at(t) + r * line.ring(0), -line.dir);
  for (int i = 1; i < kSegments; ++i)
    out.vertex(line.at(t) + r * line.ring(i), -line.dir);
  const int centre = out.vertex(line.at(t), -line.dir);
  const int side = out.vertex(line.at(t) + r * line.ring(0),
                              (height * line.ring(0) + r * line.dir) / slant);
  for (int i = 1; i < kSegments; ++i)
    out.vertex(line.at(t) + r * line.ring(i), (height * line.ring(i) + r * line.dir) / slant);
  const int tip = out.vertex(line.at(t + height), line.dir);
  for (int i = 0; i < kSegments; ++i) {
    const int n = (i + 1) % kSegments;
    out.triangle(centre, base + n, base + i);
    out.triangle(tip, side + i, side + n);
  }
  return centre;
}

// A closed shaft of radius r over [t0, t1] of the line: two rings (20 vertices) and 40
// triangles, its end disks fanned around the existing vertices startCentre and endCentre. The
// disks lie inside the heads' bases, so their normals are those of the side.
void writeShaft(tMeshWriter& out, const tLine& line, float t0, float t1, float r,
                int startCentre, int endCentre) {
  const int start = out.vertex(line.at(t0) + r * line.ring(0), line.ring(0));
  for (int i = 1; i < kSegments; ++i)
    out.vertex(line.at(t0) + r * line.ring(i), line.ring(i));
  const int end = out.vertex(line.at(t1) + r * line.ring(0), line.ring(0));
  for (int i = 1; i < kSegments; ++i)
    out.vertex(line.at(t1) + r * line.ring(i), line.ring(i));
  for (int i = 0; i < kSegments; ++i) {
    const int n = (i + 1) % kSegments;
    out.triangle(startCentre, start + n, start + i);
    out.triangle(end + n, start + i, start + n);
    out.triangle(start + i, end + n, end + i);
    out.triangle(endCentre, end + i, end + n);
  }
}

// A closed dart pointing along the line from its tail at t0 to its tip at t1: a long cone from
// the tail widening to radius 0.03 times the length, then a head cone 0.1 times the length.
// 22 vertices, 20 triangles.
ko::koTriMesh* makeDart(const tLine& line, float t0, float t1, const ko::koTriMesh* meshA,
                        const ko::koTriMesh* meshB) {
  const float length = t1 - t0;
  const float r = 0.03f * length;
  const float head = 0.1f * length;
  const float shaft = length - head;
  const float shaftSlant = std::sqrt(shaft * shaft + r * r);
  const float headSlant = std::sqrt(head * head + r * r);

  tMeshWriter out(22, 20);
  const int tail = out.vertex(line.at(t0), -line.dir);
  for (int i = 0; i < kSegments; ++i)
    out.vertex(line.at(t1 - head) + r * line.ring(i),
               (shaft * line.ring(i) - r * line.dir) / shaftSlant);
  for (int i = 0; i < kSegments; ++i)
    out.vertex(line.at(t1 - head) + r * line.ring(i),
               (head * line.ring(i) + r * line.dir) / headSlant);
  const int tip = out.vertex(line.at(t1), line.dir);
  for (int i = 0; i < kSegments; ++i) {
    const int n = (i + 1) % kSegments;
    out.triangle(tail, tail + 1 + n, tail + 1 + i);
    out.triangle(tip, tip - 10 + i, tip - 10 + n);
  }
  return out.finish(meshA, meshB);
}

}  // namespace

ko::koTriMesh* koMotionDetect::ComputeAxisMesh(Wm4::Vector3<double> const& axis,
                                               Wm4::Vector3<double> const& point,
                                               ko::koTriMesh const* meshA,
                                               ko::koTriMesh const* meshB) {
  tBox box = boundsOf(meshA, meshB);
  const float margin = 0.01f * box.maxExtent();
  box.min -= Vec3f(margin, margin, margin);
  box.max += Vec3f(margin, margin, margin);
  const Vec3f origin(static_cast<float>(point.X()), static_cast<float>(point.Y()),
                     static_cast<float>(point.Z()));
  const tLine line = makeLine(origin, axis);
  float t0, t1;
  clipSpan(box, line, 0.125f, t0, t1);

  tMeshWriter out(42, 40);
  writeCylinder(out, line, t0, t1, 0.5f * 0.01f * (t1 - t0));
  return out.finish(meshA, meshB);
}

ko::koTriMesh* koMotionDetect::computeTranslationMesh(Wm4::Vector3<double> const& d,
                                                      ko::koTriMesh const* meshA,
                                                      ko::koTriMesh const* meshB) const {
  const tBox box = boundsOf(meshA, meshB);
  const tLine line = makeLine(0.5f * (box.min + box.max), d);
  float t0, t1;
  clipSpan(box, line, 0.125f, t0, t1);
  const float length = t1 - t0;
  const float shaftRadius = 0.03f * length;
  // Twice the shaft's radius, so the heads stand out from it.
  const float headRadius = 2.0f * shaftRadius;
  const float headLength = 0.1f * length;

  tMeshWriter out(64, 80);
  const int endCentre = writeHead(out, line, t1, headLength, headRadius);
  const int startCentre = writeHead(out, line.reversed(), -t0, headLength, headRadius);
  writeShaft(out, line, t0, t1, shaftRadius, startCentre, endCentre);
  return out.finish(meshA, meshB);
}

ko::koNode* koMotionDetect::computeDisassemblyDirectionMesh(Wm4::Vector3<double> const& d,
                                                            bool twoWay, ko::koTriMesh* meshA,
                                                            ko::koTriMesh* meshB) const {
  const tBox box = boundsOf(meshA, meshB);
  const tLine line = makeLine(0.5f * (box.min + box.max), d);
  float t0, t1;
  clipSpan(box, line, 0.3f, t0, t1);

  ko::koTriMesh* aLeavesB = makeDart(line, t0, t1, meshA, meshB);
  aLeavesB->SetName("Unmount_" + meshA->GetName() + "_" + meshB->GetName());
  // B leaves A along -d, the same motion seen from B; when A may also leave along -d, B may
  // leave along +d, which the first arrow does not show.
  ko::koTriMesh* bLeavesA = twoWay ? makeDart(line, t0, t1, meshA, meshB)
                                   : makeDart(line.reversed(), -t1, -t0, meshA, meshB);
  bLeavesA->SetName("Unmount_" + meshB->GetName() + "_" + meshA->GetName());

  auto* node = new ko::koNode;
  node->attachChild(aLeavesB);
  node->attachChild(bLeavesA);
  return node;
}
