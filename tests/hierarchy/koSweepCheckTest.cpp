// The sweep check of tests/support: plans that take the mesh assemblies apart pass, the same plans
// reversed and pushes through a part fail, touching never counts; on random pairs of boxes it
// gives the exact answer.

#include "koMeshAssemblies.h"
#include "koTessellatedShapes.h"
#include "support/koHierarchyChecks.h"
#include "support/koSweepCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<double>;
using Vec3f = Wm4::Vector3<float>;
constexpr unsigned int None = koDisassemblyHierarchy::None;
constexpr float kTolerance = 1e-4f;

// Direction ids of the hand-made plans; id ^ 1 is the opposite.
enum : unsigned int { PlusX, MinusX, PlusY, MinusY, PlusZ, MinusZ };
Vec3 axis(unsigned int id) {
  Vec3 d(0.0, 0.0, 0.0);
  d[id / 2] = id % 2 ? -1.0 : 1.0;
  return d;
}

// Splits node v: the first `staying` groups of its slice stay, the rest move along direction.
// Returns the staying child.
unsigned int split(koDisassemblyHierarchy& hierarchy, unsigned int v, unsigned int staying,
                   unsigned int direction) {
  const auto node = hierarchy.getNode(v);
  const unsigned int stay = hierarchy.requestNewNode({node.first, staying, None, None, v, None});
  const unsigned int move = hierarchy.requestNewNode(
      {node.first + staying, node.noGroups - staying, None, None, v, None});
  hierarchy.editNodes()[v] = {node.first, node.noGroups, stay, move, node.parent, direction};
  hierarchy.computeHierarchyIndexing(0);
  return stay;
}

testing::AssertionResult peelsFree(const koMeshAssembly& assembly,
                                   const std::vector<unsigned int>& directions,
                                   const std::function<Vec3(unsigned int)>& directionOf = axis) {
  const koMeshGroups groups = assembly.makeGroups();
  koDisassemblyHierarchy hierarchy(groups);
  // Takes the groups off from the highest id down: split k moves the last group of what is left.
  unsigned int v = 0;
  for (unsigned int direction : directions)
    v = split(hierarchy, v, hierarchy.getNode(v).noGroups - 1, direction);
  EXPECT_TRUE(isWellFormed(hierarchy));
  return splitsAreSweepFree(hierarchy, directionOf, kTolerance);
}

// Whether box a moving along d ever overlaps box b's interior: whether the ray t d, t > 0, enters
// the open box b - a (slab method).
bool boxesCollide(const Vec3f (&a)[2], const Vec3f (&b)[2], const Vec3& d) {
  double enter = 0.0, exit = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 3; ++i) {
    const double lo = b[0][i] - a[1][i], hi = b[1][i] - a[0][i];
    if (d[i] == 0.0 && !(lo < 0.0 && hi > 0.0))
      return false;
    enter = d[i] == 0.0 ? enter : std::max(enter, std::min(lo / d[i], hi / d[i]));
    exit = d[i] == 0.0 ? exit : std::min(exit, std::max(lo / d[i], hi / d[i]));
  }
  return enter < exit;
}

// Every part comes off from the highest id down along +z, but the shaft leaves its bearings along
// +x first. The lid rises only because the screws went before: a node's own groups count.
// Reversed, every plan drives a part into another.
TEST(koSweepCheck, PlansPassAndReversedPlansFail) {
  using namespace koMeshAssemblies;
  const struct {
    const char* name;
    koMeshAssembly assembly;
    unsigned int first;
  } cases[] = {
      {"box on plate", boxOnPlate(), PlusZ},
      {"stack", stack(4), PlusZ},
      {"peg", pegInBlindHole(), PlusZ},
      {"screws", lidWithScrews(), PlusZ},
      {"nested", nestedBoxWithLid(), PlusZ},
      {"bearings", shaftInBearings(), PlusX},
      {"placed", placedBoxOnPlate(Vec3f(1.5f, 3, 0.5f)), PlusZ},
      {"tiles", tileGrid(50), PlusZ},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned int> plan(c.assembly.noParts() - 1, PlusZ);
    plan[0] = c.first;
    EXPECT_TRUE(peelsFree(c.assembly, plan));
    for (unsigned int& direction : plan)
      direction ^= 1;
    EXPECT_FALSE(peelsFree(c.assembly, plan));
  }
}

// A box slides off its plate in every direction along it, flush all the way; a peg cannot leave
// the bore it fits sideways, nor the ring its place between the collars in any direction.
TEST(koSweepCheck, PartsSlideAlongContactsWhereNothingBlocks) {
  const koMeshAssembly box = koMeshAssemblies::boxOnPlate();
  const koMeshAssembly peg = koMeshAssemblies::pegInBlindHole();
  const koMeshAssembly ring = koMeshAssemblies::ringBetweenCollars();
  for (unsigned int direction : {PlusX, MinusX, PlusY, MinusY}) {
    EXPECT_TRUE(peelsFree(box, {direction})) << direction;
    EXPECT_FALSE(peelsFree(peg, {direction})) << direction;
  }
  for (unsigned int direction = PlusX; direction <= MinusZ; ++direction)
    EXPECT_FALSE(peelsFree(ring, {direction})) << direction;
  // Lid and screws leave the base together upward, not sideways with the shafts in the bosses.
  const koMeshAssembly screwed = koMeshAssemblies::lidWithScrews();
  const koMeshGroups groups = screwed.makeGroups();
  for (unsigned int direction : {PlusZ, PlusX}) {
    koDisassemblyHierarchy hierarchy(groups);
    split(hierarchy, 0, 1, direction);
    EXPECT_EQ(bool(splitsAreSweepFree(hierarchy, axis, kTolerance)), direction == PlusZ);
  }
}

// Pairs of boxes on a half-unit grid, apart, touching or overlapping from the start, in all 26
// grid directions. The moving box is a cube placed by a quarter turn, a per-axis scale (mirroring
// every other pair) and a translation.
TEST(koSweepCheck, AgreesWithSlabTestOnRandomBoxPairs) {
  std::vector<Vec3> directions;
  for (int i = 0; i < 27; ++i)
    if (i != 13)
      directions.push_back(Vec3(i % 3 - 1, i / 3 % 3 - 1, i / 9 - 1));
  std::mt19937 random(11);
  std::uniform_int_distribution<int> corner(0, 3), size(1, 3);
  int touching = 0, overlapping = 0, collisions = 0, frees = 0;
  for (int pairs = 1; pairs <= 30; ++pairs) {
    Vec3f box[2][2];  // staying, moving
    int noOverlaps = 0, noApart = 0;
    for (int i = 0; i < 3; ++i) {
      for (auto& b : box) {
        b[0][i] = 0.5f * float(corner(random));
        b[1][i] = b[0][i] + 0.5f * float(size(random));
      }
      const float overlap =
          std::min(box[0][1][i], box[1][1][i]) - std::max(box[0][0][i], box[1][0][i]);
      noOverlaps += overlap > 0.0f;
      noApart += overlap < 0.0f;
    }
    touching += noOverlaps == 2 && noApart == 0;
    overlapping += noOverlaps == 3;
    koMeshAssembly assembly;
    assembly.meshes = {makeTessellatedBox("staying", box[0][0], box[0][1], 2),
                       makeTessellatedBox("moving", Vec3f(-0.5f, -0.5f, -0.5f),
                                          Vec3f(0.5f, 0.5f, 0.5f), 2)};
    assembly.partOfMesh = {0, 1};
    const Vec3f extent = box[1][1] - box[1][0];
    ko::koTransformation& place = assembly.meshes[1]->Local;
    place.SetRotate(Wm4::Matrix3<float>(0, -1, 0, 1, 0, 0, 0, 0, 1));
    place.SetScale(Vec3f(pairs % 2 ? -extent.Y() : extent.Y(), extent.X(), extent.Z()));
    place.SetTranslate((box[1][0] + box[1][1]) * 0.5f);
    assembly.meshes[1]->UpdateGS();
    for (unsigned int k = 0; k < directions.size(); ++k) {
      const bool collides = boxesCollide(box[1], box[0], directions[k]);
      (collides ? collisions : frees) += 1;
      EXPECT_EQ(bool(peelsFree(assembly, {k}, [&](unsigned int id) { return directions[id]; })),
                !collides)
          << "pair " << pairs << ", direction " << k;
    }
  }
  EXPECT_GT(touching, 8);
  EXPECT_GT(overlapping, 3);
  EXPECT_GT(collisions, 100);
  EXPECT_GT(frees, 100);
}

} // namespace
