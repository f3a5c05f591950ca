#include <ko/koMeshProcessing.h>
#include <ko/koMeshUtils.h>
#include <ko/koTriMesh.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;

// Kept vertices by grid cell (tolerance > 0), each cell listing their new indices in ascending
// order.
using BucketKey = std::array<std::int64_t, 3>;
struct BucketKeyHash {
  std::size_t operator()(const BucketKey& key) const {
    const auto h = static_cast<std::uint64_t>(key[0]) * 0x9E3779B97F4A7C15ull ^
                   static_cast<std::uint64_t>(key[1]) * 0xC2B2AE3D27D4EB4Full ^
                   static_cast<std::uint64_t>(key[2]) * 0x165667B19E3779F9ull;
    return static_cast<std::size_t>(h ^ h >> 29);
  }
};
using Buckets = std::unordered_map<BucketKey, std::vector<int>, BucketKeyHash>;

// Clamped so that huge coordinates or tiny cells stay representable; clamping keeps cells of
// nearby coordinates adjacent, it only crowds far ones into the border cells.
BucketKey gridCell(const Vec3& p, double cellSize) {
  BucketKey cell{};
  for (int axis = 0; axis < 3; ++axis) {
    const double q = std::floor(static_cast<double>(p[axis]) / cellSize);
    cell[static_cast<std::size_t>(axis)] =
        std::isnan(q) ? 0 : static_cast<std::int64_t>(std::clamp(q, -1e18, 1e18));
  }
  return cell;
}

// Equal coordinates match outright, so that equal infinities (whose difference is NaN) do too.
bool withinTolerance(const Vec3& a, const Vec3& b, float tolerance) {
  for (int axis = 0; axis < 3; ++axis)
    if (!(a[axis] == b[axis] ||
          std::fabs(static_cast<double>(a[axis]) - static_cast<double>(b[axis])) <= tolerance))
      return false;
  return true;
}

template <typename V> bool equal(const V& a, const V& b, int channels) {
  for (int k = 0; k < channels; ++k)
    if (!(a[k] == b[k]))
      return false;
  return true;
}

// Every channel but the position.
bool sameAttributes(const ko::koVertexBuffer& buffer, int i, int j) {
  const ko::koAttributes& layout = buffer.GetAttributes();
  if (layout.HasNormal() && !equal(buffer.Normal3(i), buffer.Normal3(j), 3))
    return false;
  if (layout.HasPSize() && !(buffer.PSize1(i) == buffer.PSize1(j)))
    return false;
  for (int unit = 0; unit < ko::koAttributes::MaxTCoordUnits; ++unit) {
    const int channels = layout.GetTCoordChannels(unit);
    if (channels == 2 && !equal(buffer.TCoord2(unit, i), buffer.TCoord2(unit, j), 2))
      return false;
    if (channels == 3 && !equal(buffer.TCoord3(unit, i), buffer.TCoord3(unit, j), 3))
      return false;
  }
  return true;
}

// The bits of a float, with -0 folded onto +0 so that equal values hash alike.
std::uint64_t hashBits(float x) {
  const float folded = x == 0.0f ? 0.0f : x;
  std::uint32_t bits = 0;
  std::memcpy(&bits, &folded, sizeof bits);
  return bits;
}

// Tolerance 0: the kept vertices in an open-addressing table (linear probing, at most half full),
// hashed by position and, when it must match too, normal. Kept vertices differ from one another
// and equality is transitive, so at most one matches a new vertex and the probe order is free.
class ExactTable {
public:
  ExactTable(const ko::koVertexBuffer& vertices, int noVertices, bool positionsOnly)
      : mVertices(vertices), mPositionsOnly(positionsOnly),
        mHashNormals(!positionsOnly && vertices.GetAttributes().HasNormal()) {
    std::size_t size = 16;
    while (size < 2 * static_cast<std::size_t>(noVertices))
      size *= 2;
    mSlots.assign(size, kEmpty);
  }

  // The kept index equal to vertex i, or noKept after recording that i is kept as noKept (the
  // caller then moves it there).
  int findOrAdd(int i, int noKept) {
    const Vec3& position = mVertices.Position3(i);
    std::uint64_t hash = 0;
    for (int axis = 0; axis < 3; ++axis)
      hash = (hash ^ hashBits(position[axis])) * 0x9E3779B97F4A7C15ull;
    if (mHashNormals)
      for (int axis = 0; axis < 3; ++axis)
        hash = (hash ^ hashBits(mVertices.Normal3(i)[axis])) * 0x9E3779B97F4A7C15ull;
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t slot = (hash >> 32) & mask;; slot = (slot + 1) & mask) {
      const int kept = mSlots[slot];
      if (kept == kEmpty) {
        mSlots[slot] = noKept;
        return noKept;
      }
      if (withinTolerance(mVertices.Position3(kept), position, 0.0f) &&
          (mPositionsOnly || sameAttributes(mVertices, kept, i)))
        return kept;
    }
  }

private:
  static constexpr int kEmpty = -1;
  const ko::koVertexBuffer& mVertices;
  const bool mPositionsOnly, mHashNormals;
  std::vector<int> mSlots;
};

} // namespace

namespace koMeshProcessing {

int WeldSimilarVertices(ko::koTriMesh* mesh, float tolerance, bool positionsOnly) {
  if (mesh == nullptr || mesh->VBuffer == nullptr)
    return 0;
  ko::koVertexBuffer& vertices = *mesh->VBuffer;
  const int noVertices = vertices.GetVertexQuantity();
  if (!vertices.GetAttributes().HasPosition())
    return noVertices;

  std::vector<int> newIndex(static_cast<std::size_t>(noVertices));
  int noKept = 0;
  // Survivors are compacted as we go, so candidates are read at their new indices.
  const auto keep = [&](int i) {
    if (i != noKept)
      ko::koMeshUtils::CopyVertexData(vertices, vertices, i, noKept);
    return noKept++;
  };
  if (!(tolerance > 0.0f)) {
    ExactTable kept(vertices, noVertices, positionsOnly);
    for (int i = 0; i < noVertices; ++i) {
      const int match = kept.findOrAdd(i, noKept);
      newIndex[static_cast<std::size_t>(i)] = match == noKept ? keep(i) : match;
    }
  } else {
    // A vertex's match lies in its own grid cell or a neighbouring one. Cells a hair wider than
    // the tolerance keep that true despite the rounding of the division.
    const double cellSize = static_cast<double>(tolerance) * (1.0 + 1e-9);
    Buckets kept;
    for (int i = 0; i < noVertices; ++i) {
      const Vec3 position = vertices.Position3(i);
      const BucketKey home = gridCell(position, cellSize);
      int match = noKept;
      const auto consider = [&](const BucketKey& key) {
        const auto bucket = kept.find(key);
        if (bucket == kept.end())
          return;
        for (const int candidate : bucket->second) {
          if (candidate >= match)
            return;
          if (withinTolerance(vertices.Position3(candidate), position, tolerance) &&
              (positionsOnly || sameAttributes(vertices, candidate, i))) {
            match = candidate;
            return;
          }
        }
      };
      for (std::int64_t dx = -1; dx <= 1; ++dx)
        for (std::int64_t dy = -1; dy <= 1; ++dy)
          for (std::int64_t dz = -1; dz <= 1; ++dz)
            consider({home[0] + dx, home[1] + dy, home[2] + dz});
      if (match == noKept)
        kept[home].push_back(keep(i));
      newIndex[static_cast<std::size_t>(i)] = match;
    }
  }
  vertices.resizeVertexBuffer(noKept);

  if (mesh->IBuffer != nullptr) {
    int* indices = mesh->IBuffer->GetData();
    for (int k = 0; k < mesh->IBuffer->GetIndexQuantity(); ++k) {
      assert(indices[k] >= 0 && indices[k] < noVertices);
      indices[k] = newIndex[static_cast<std::size_t>(indices[k])];
    }
  }
  return noKept;
}

} // namespace koMeshProcessing
