#include "support/koSweepCheck.h"

#include "koMeshGroups.h"
#include "support/koHierarchyChecks.h"

#include <ko/koTriMesh.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

using Vec = Wm4::Vector3<double>;
using Triangle = std::array<Vec, 3>;

struct Box {
  Vec lo{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
         std::numeric_limits<double>::max()};
  Vec hi{-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
         -std::numeric_limits<double>::max()};

  void add(const Vec& p) {
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], p[i]);
      hi[i] = std::max(hi[i], p[i]);
    }
  }
  // This box and its copy moved by shift.
  Box swept(const Vec& shift) const {
    Box both = *this;
    both.add(lo + shift);
    both.add(hi + shift);
    return both;
  }
  // Whether this box, shrunk by margin on every side, still meets other. Every point at least
  // margin deep inside a prism lies in the prism's box shrunk so, which makes this a safe filter.
  bool meets(const Box& other, double margin) const {
    for (int i = 0; i < 3; ++i)
      if (lo[i] + margin > other.hi[i] || other.lo[i] > hi[i] - margin)
        return false;
    return true;
  }
  double lowestAlong(const Vec& d) const {
    double sum = 0.0;
    for (int i = 0; i < 3; ++i)
      sum += d[i] * (d[i] > 0.0 ? lo[i] : hi[i]);
    return sum;
  }
};

// A mesh's triangles in world coordinates.
struct WorldMesh {
  const ko::koTriMesh* mesh;
  std::vector<Triangle> triangles;
  std::vector<Box> boxes;  // per triangle
  Box box;
};

WorldMesh toWorld(const ko::koTriMesh& mesh) {
  WorldMesh world{&mesh, {}, {}, {}};
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int v[3];
    mesh.GetTriangle(t, v[0], v[1], v[2]);
    Triangle triangle;
    Box box;
    for (int k = 0; k < 3; ++k) {
      const Wm4::Vector3<float> p = mesh.World.ApplyForward(mesh.VBuffer->Position3(v[k]));
      triangle[k] = Vec(p.X(), p.Y(), p.Z());
      box.add(triangle[k]);
    }
    world.triangles.push_back(triangle);
    world.boxes.push_back(box);
    world.box.add(box.lo);
    world.box.add(box.hi);
  }
  return world;
}

// The half-space normal . x >= offset.
struct Plane {
  Vec normal;
  double offset;
};
using Prism = std::array<Plane, 4>;

// The prism that triangle t sweeps moving along unit d by length, shrunk by margin on every side.
// It is left open at the far end, as nothing of the staying side lies further along d. False when
// the travel never takes t margin away from its own plane (t lies along d).
bool sweptPrism(const Triangle& t, const Vec& d, double length, double margin, Prism& prism) {
  const Vec normal = (t[1] - t[0]).Cross(t[2] - t[0]);
  const double twiceArea = std::sqrt(normal.Dot(normal));
  if (twiceArea == 0.0)
    return false;
  // The normal that d leaves behind, whichever way the triangle is wound.
  const Vec n = normal / (normal.Dot(d) < 0.0 ? -twiceArea : twiceArea);
  if (n.Dot(d) * length <= margin)
    return false;
  prism[0] = {n, n.Dot(t[0]) + margin};
  for (int i = 0; i < 3; ++i) {
    const Vec& p = t[i];
    Vec side = (t[(i + 1) % 3] - p).Cross(d);
    const double length2 = side.Dot(side);
    if (length2 == 0.0)
      return false;
    side /= std::sqrt(length2);
    if (side.Dot(t[(i + 2) % 3] - p) < 0.0)
      side = -side;
    prism[1 + i] = {side, side.Dot(p) + margin};
  }
  return true;
}

// Whether a triangle meets the prism: Sutherland-Hodgman clipping against its planes. Each plane
// adds at most one vertex to a convex polygon, so 3 + 4 vertices bound it.
bool meets(const Prism& prism, const Triangle& triangle) {
  std::array<Vec, 7> polygon{triangle[0], triangle[1], triangle[2]}, clipped;
  int size = 3;
  for (const Plane& plane : prism) {
    int kept = 0;
    for (int i = 0; i < size; ++i) {
      const Vec& a = polygon[i];
      const Vec& b = polygon[(i + 1) % size];
      const double da = plane.normal.Dot(a) - plane.offset, db = plane.normal.Dot(b) - plane.offset;
      if (da >= 0.0)
        clipped[kept++] = a;
      if ((da >= 0.0) != (db >= 0.0))
        clipped[kept++] = a + (b - a) * (da / (da - db));
    }
    polygon = clipped;
    size = kept;
    if (size == 0)
      return false;
  }
  return true;
}

// The first pair (moving triangle, staying triangle) that collides, or none.
bool findCollision(const WorldMesh& moving, const WorldMesh& staying, const Vec& d, double length,
                   double margin, std::pair<size_t, size_t>& pair) {
  Prism prism;
  for (size_t m = 0; m < moving.triangles.size(); ++m) {
    const Box sweep = moving.boxes[m].swept(d * length);
    if (!sweep.meets(staying.box, margin) ||
        !sweptPrism(moving.triangles[m], d, length, margin, prism))
      continue;
    for (size_t s = 0; s < staying.triangles.size(); ++s)
      if (sweep.meets(staying.boxes[s], margin) && meets(prism, staying.triangles[s])) {
        pair = {m, s};
        return true;
      }
  }
  return false;
}

std::vector<const WorldMesh*> meshesOf(const std::vector<unsigned int>& side,
                                       const koMeshGroups& groups,
                                       const std::vector<WorldMesh>& world) {
  std::vector<const WorldMesh*> meshes;
  for (unsigned int g : side)
    for (unsigned int k = groups.groupOffsets[g]; k < groups.groupOffsets[g + 1]; ++k)
      meshes.push_back(&world[groups.groupMeshIndices[k]]);
  return meshes;
}

} // namespace

testing::AssertionResult
splitsAreSweepFree(const koDisassemblyHierarchy& hierarchy,
                   const std::function<Wm4::Vector3<double>(unsigned int)>& directionOf,
                   float contactTolerance) {
  const koMeshGroups& groups = hierarchy.getMeshGroups();
  std::vector<WorldMesh> world;
  for (const ko::koTriMesh* mesh : groups.meshes)
    world.push_back(toWorld(*mesh));

  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const auto& node = hierarchy.getNode(v);
    if (node.noGroups == koDisassemblyHierarchy::None || node.isLeaf())
      continue;
    const Vec direction = directionOf(node.splitDirection);
    const double norm = std::sqrt(direction.Dot(direction));
    if (!(norm > 0.0))
      return testing::AssertionFailure() << "node " << v << " splits along a zero direction";
    const Vec d = direction / norm;
    const koSplitSides sides(hierarchy, v);
    const auto moving = meshesOf(sides.moving, groups, world);
    const auto staying = meshesOf(sides.staying, groups, world);
    // Each moving mesh travels until its box lies beyond the staying mesh's, and a little further,
    // so that its backward faces carry through a staying face that lies just at the far end.
    for (const WorldMesh* m : moving)
      for (const WorldMesh* s : staying) {
        const double reach = -s->box.lowestAlong(-d) - m->box.lowestAlong(d);
        const double length = reach + 2.0 * contactTolerance;
        std::pair<size_t, size_t> pair;
        if (reach > 0.0 && m->box.swept(d * length).meets(s->box, contactTolerance) &&
            findCollision(*m, *s, d, length, contactTolerance, pair))
          return testing::AssertionFailure()
                 << "node " << v << ": '" << m->mesh->GetName() << "' runs into '"
                 << s->mesh->GetName() << "' along (" << d.X() << ", " << d.Y() << ", " << d.Z()
                 << "), triangles " << pair.first << " and " << pair.second;
      }
  }
  return testing::AssertionSuccess();
}
