// Sample points of a mesh for rays along a direction: one per occupied cell of a triangular
// lattice over the mesh's outline, its level chosen so that about sampleBudget cells are occupied.

#include "koDistantContacts.h"

#include "hierarchy/koDistantContactsJob.h"

#include <ko/koQBVH.h>
#include <ko/koTriMesh.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// Lattice coordinates are fixed point with 16 fraction bits over the unit triangle.
constexpr int kFractionBits = 16;
constexpr float kFixedOne = 65536.0f;
// At this level one cell spans the whole lattice.
constexpr int kCoarsestLevel = kFractionBits;

struct tLatticePoint {
  int64_t a, b;
};

// The unit square of the outline sits in the equilateral triangle that circumscribes it (base
// from -1/sqrt(3) to 1 + 1/sqrt(3), apex height 1 + sqrt(3)/2); a and b measure along that
// triangle's base and its left side, so the lattice's square cells are rhombi of the triangular
// lattice in space.
tLatticePoint toLattice(float x, float y) {
  const float b = y * 0.5358984f;                            // y / (1 + sqrt(3)/2)
  const float a = (x + 0.57735026f - 1.0773503f * b) * 0.4641016f;  // / (1 + 2/sqrt(3))
  return {static_cast<int64_t>(a * kFixedOne), static_cast<int64_t>(b * kFixedOne)};
}

// The inverse of toLattice for a point given in lattice units.
void fromLattice(double a, double b, float& x, float& y) {
  x = float(a * 2.1547005 + b * 1.0773503 - 0.57735026);
  y = float(b * 1.8660254);
}

// A run of cells of one row, first to last column, that one triangle meets.
struct tRowSpan {
  int64_t row, first, last;
};

// The runs of cells of side 2^level that each triangle's closed area meets. A triangle is clipped
// to each row's slab; the clipped polygon's extreme columns bound the cells it meets in that row.
void rowSpans(const std::vector<tLatticePoint>& points, const ko::koIndexBuffer& indices,
              int level, std::vector<tRowSpan>& spans) {
  spans.clear();
  const int noIndices = indices.GetIndexQuantity() / 3 * 3;
  const int* index = indices.GetData();
  const double side = std::ldexp(1.0, level);
  for (int t = 0; t < noIndices; t += 3) {
    const tLatticePoint* corner[3] = {&points[index[t]], &points[index[t + 1]],
                                      &points[index[t + 2]]};
    const int64_t bMin = std::min({corner[0]->b, corner[1]->b, corner[2]->b});
    const int64_t bMax = std::max({corner[0]->b, corner[1]->b, corner[2]->b});
    for (int64_t row = bMin >> level; row <= bMax >> level; ++row) {
      const double low = double(row) * side, high = low + side;
      double aMin = INFINITY, aMax = -INFINITY;
      for (int e = 0; e < 3; ++e) {
        const tLatticePoint& p = *corner[e];
        const tLatticePoint& q = *corner[(e + 1) % 3];
        const double from = std::max(double(std::min(p.b, q.b)), low);
        const double to = std::min(double(std::max(p.b, q.b)), high);
        if (from > to)
          continue;
        for (double b : {from, to}) {
          const double a = p.b == q.b ? double(b == from ? std::min(p.a, q.a)
                                                         : std::max(p.a, q.a))
                                      : double(p.a) + double(q.a - p.a) * (b - double(p.b)) /
                                                          double(q.b - p.b);
          aMin = std::min(aMin, a);
          aMax = std::max(aMax, a);
        }
      }
      spans.push_back({row, int64_t(std::floor(aMin / side)), int64_t(std::floor(aMax / side))});
    }
  }
}

// The most cells whose box is marked in a bitmap (2 MB of marks); a larger box is sorted instead.
constexpr uint64_t kMostBitmapCells = uint64_t(1) << 24;

// Every cell of side 2^level that a triangle's closed area meets, as (row << 32 | column), sorted
// and without repeats. Neighbouring triangles share most of their cells: their runs are marked in
// a bitmap over the cells' box, read back row by row, unless the box is too large for one.
void rasterise(const std::vector<tLatticePoint>& points, const ko::koIndexBuffer& indices,
               int level, std::vector<tRowSpan>& spans, std::vector<uint64_t>& bitmap,
               std::vector<uint64_t>& cells) {
  rowSpans(points, indices, level, spans);
  cells.clear();
  if (spans.empty())
    return;
  tRowSpan box = spans[0];
  int64_t lastRow = box.row;
  for (const tRowSpan& span : spans) {
    box.row = std::min(box.row, span.row);
    lastRow = std::max(lastRow, span.row);
    box.first = std::min(box.first, span.first);
    box.last = std::max(box.last, span.last);
  }
  const uint64_t words = uint64_t(box.last - box.first) / 64 + 1;
  const uint64_t noRows = uint64_t(lastRow - box.row + 1);
  if (box.row < 0 || box.first < 0 || noRows * words * 64 > kMostBitmapCells) {
    for (const tRowSpan& span : spans)
      for (int64_t column = span.first; column <= span.last; ++column)
        cells.push_back(uint64_t(span.row) << 32 | uint32_t(column));
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    return;
  }
  bitmap.assign(size_t(noRows * words), 0);
  for (const tRowSpan& span : spans) {
    uint64_t* row = &bitmap[size_t(span.row - box.row) * words];
    for (int64_t column = span.first - box.first; column <= span.last - box.first; ++column)
      row[column / 64] |= uint64_t(1) << (column % 64);
  }
  for (size_t w = 0; w < bitmap.size(); ++w)
    for (uint64_t bits = bitmap[w]; bits != 0; bits &= bits - 1) {
      const int64_t row = box.row + int64_t(w / words);
      const int64_t column = box.first + int64_t(w % words) * 64 + __builtin_ctzll(bits);
      cells.push_back(uint64_t(row) << 32 | uint32_t(column));
    }
}

} // namespace

void koDistantContacts::sampleMesh(unsigned int mesh, unsigned int /*entry*/,
                                   const Wm4::Vector3<float>& direction,
                                   ko::koPointer<ko::koVertexBuffer>& samples) const {
  uint64_t rays = 0;
  sampleMesh(mesh, direction, samples, rays);
}

void koDistantContacts::sampleMesh(unsigned int mesh, const Wm4::Vector3<float>& d,
                                   ko::koPointer<ko::koVertexBuffer>& samples,
                                   uint64_t& rays) const {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  const ko::koTriMesh& triMesh = *mWorldMeshes[mesh];
  const ko::koVertexBuffer& vertices = *triMesh.VBuffer;
  const int noVertices = vertices.GetVertexQuantity();

  Wm4::Vector3<float> u, v;
  crossAxes(d, u, v);
  float uMin = INFINITY, uMax = -INFINITY, vMin = INFINITY, vMax = -INFINITY;
  float dMin = INFINITY, dMax = -INFINITY;
  for (int i = 0; i < noVertices; ++i) {
    const Wm4::Vector3<float>& p = vertices.Position3(i);
    uMin = std::min(uMin, p.Dot(u));
    uMax = std::max(uMax, p.Dot(u));
    vMin = std::min(vMin, p.Dot(v));
    vMax = std::max(vMax, p.Dot(v));
    dMin = std::min(dMin, p.Dot(d));
    dMax = std::max(dMax, p.Dot(d));
  }
  const float scale = std::max(uMax - uMin, vMax - vMin);
  if (triMesh.GetTriangleQuantity() == 0 || !(scale > 0.0f)) {
    samples = new ko::koVertexBuffer(attributes, 0);
    return;
  }

  // The outline in lattice units, and its area counted over all triangles: a closed mesh
  // covers its outline twice, and a doubled area counts each cell twice, so 4 per cell.
  std::vector<tLatticePoint> points(static_cast<size_t>(noVertices));
  for (int i = 0; i < noVertices; ++i) {
    const Wm4::Vector3<float>& p = vertices.Position3(i);
    points[size_t(i)] = toLattice((p.Dot(u) - uMin) / scale, (p.Dot(v) - vMin) / scale);
  }
  const ko::koIndexBuffer& indices = *triMesh.IBuffer;
  uint64_t doubledArea = 0;
  for (int t = 0; t + 2 < indices.GetIndexQuantity(); t += 3) {
    const tLatticePoint& p0 = points[size_t(indices.GetData()[t])];
    const tLatticePoint& p1 = points[size_t(indices.GetData()[t + 1])];
    const tLatticePoint& p2 = points[size_t(indices.GetData()[t + 2])];
    doubledArea += uint64_t(
        std::llabs((p1.a - p0.a) * (p2.b - p0.b) - (p1.b - p0.b) * (p2.a - p0.a)));
  }

  // The coarsest level that fits the budget by area, refined while the outline occupies no more
  // than half the budget (area overestimates a thin or hollow outline).
  const uint64_t areaBudget = 4u * uint64_t(sampleBudget);
  int level = 0;
  if (doubledArea > areaBudget)
    for (level = 1; level < kCoarsestLevel && (doubledArea >> (2 * level)) > areaBudget;)
      ++level;
  std::vector<tRowSpan> spans;
  std::vector<uint64_t> bitmap, cells;
  rasterise(points, indices, level, spans, bitmap, cells);
  while (!cells.empty() && cells.size() <= sampleBudget / 2 && level > 0) {
    const float wanted = float(sampleBudget) / float(cells.size());
    int finer = 1;
    if (wanted >= 5.0f)
      for (finer = 2; float(uint64_t(1) << (2 * finer)) < wanted;)
        ++finer;
    level -= std::min(finer, level);
    rasterise(points, indices, level, spans, bitmap, cells);
  }

  // A ray from before the mesh to its first surface facing back along d puts each sample just
  // behind the mesh; a ray that misses the mesh drops its cell.
  const float extent = dMax - dMin;
  const float start = dMin - 0.01f * extent;
  const double side = std::ldexp(1.0, level) / double(kFixedOne);
  std::vector<Wm4::Vector3<float>> kept;
  kept.reserve(cells.size());
  for (uint64_t cell : cells) {
    float x = 0.0f, y = 0.0f;
    fromLattice((double(uint32_t(cell)) + 0.5) * side, (double(cell >> 32) + 0.5) * side, x, y);
    const Wm4::Vector3<float> origin =
        u * (uMin + x * scale) + v * (vMin + y * scale) + d * start;
    float t = 0.0f;
    Wm4::Vector2<float> barycentric;
    unsigned int triangle = 0;
    ++rays;
    if (mHierarchies[mesh]->intersectRay(origin, d, 0.0f, t, barycentric, triangle,
                                         koQBVH::eNearestFrontHit))
      kept.push_back(origin + d * (t - 0.001f * extent));
  }
  samples = new ko::koVertexBuffer(attributes, int(kept.size()));
  for (size_t i = 0; i < kept.size(); ++i) {
    samples->Position3(int(i)) = kept[i];
    samples->Normal3(int(i)) = d;
  }
}
