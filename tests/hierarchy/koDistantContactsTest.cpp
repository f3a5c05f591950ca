// Distant contacts: blocking between parts that do not touch reaches the plan; the scores and
// the cases without a relation; samples sit just behind the mesh; every thread count agrees.

#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"
#include "koMeshAssemblies.h"
#include "koSampleAssemblies.h"
#include "koTessellatedShapes.h"
#include "support/koCountingNotifier.h"
#include "support/koFingerprint.h"
#include "support/koHierarchyChecks.h"
#include "support/koPlanned.h"
#include "support/koSweepCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace {

using Vec = Wm4::Vector3<float>;
using Builder = koDisassemblyHierarchyBuilder;
constexpr unsigned int None = 0xFFFFFFFFu;

// The edge list of a builder's distant edges, for comparing runs.
std::vector<std::vector<unsigned int>> distantEdges(const Builder& builder) {
  std::vector<std::vector<unsigned int>> edges;
  for (unsigned int e = 0; e < builder.getNoEdges(); ++e) {
    const Builder::tDynamicEdgeData& edge = builder.getEdgeData(e);
    if (!edge.distant)
      continue;
    edges.push_back({edge.group0, edge.group1});
    edges.back().insert(edges.back().end(), edge.entries.begin(), edge.entries.end());
    edges.back().insert(edges.back().end(), edge.perDirectionValues.begin(),
                        edge.perDirectionValues.end());
  }
  return edges;
}

// A wall (part 0), a unit box against it (part 1) and a blocker box (part 2) somewhere above,
// with their hand-filled contacts and distant contacts.
struct WallScene {
  static koBoxAssembly* make(const Vec& blockerMin, const Vec& blockerMax) {
    auto* assembly = new koBoxAssembly;
    assembly->addPart("wall", Vec(-1, 0, 0), Vec(0, 1, 4));
    assembly->addPart("box", Vec(0, 0, 0), Vec(1, 1, 1));
    assembly->addPart("blocker", blockerMin, blockerMax);
    assembly->finish();
    return assembly;
  }
  WallScene(const Vec& blockerMin, const Vec& blockerMax)
      : assembly(make(blockerMin, blockerMax)), hierarchy(assembly->meshGroups()),
        builder(hierarchy, assembly->diagram(), 1), contacts(builder) {
    const koContactDiagram& diagram = assembly->diagram();
    for (unsigned int k = 0; k < diagram.getNoDirections(); ++k)
      if (std::fabs(diagram.getDirectionFromId(k).Z()) > 0.99)
        up = k | (diagram.getDirectionFromId(k).Z() < 0 ? Builder::msOppositeFlag : 0);
    contacts.computeDistantContacts(1, nullptr);
  }
  // The blocker's score for the box moving up; None without that relation. Sets the number of
  // entries of the box-blocker edge.
  unsigned int scoreUp(size_t& noEntries) const {
    noEntries = 0;
    for (unsigned int e = 0; e < builder.getNoEdges(); ++e) {
      const Builder::tDynamicEdgeData& edge = builder.getEdgeData(e);
      if (edge.distant && edge.group0 == 1 && edge.group1 == 2) {
        noEntries = edge.entries.size();
        for (size_t i = 0; i < edge.entries.size(); ++i)
          if (edge.entries[i] == up)
            return edge.perDirectionValues[i];
      }
    }
    return None;
  }

  std::unique_ptr<koBoxAssembly> assembly;
  koDisassemblyHierarchy hierarchy;
  Builder builder;
  koDistantContacts contacts;
  unsigned int up = None;
};

} // namespace

// A round cover sits in a pocket of a base, under the overhanging head of a bolt that stands in a
// bore beside it: the cover touches neither the bolt's shaft nor its head, yet must wait for the
// bolt. The same when the head's mesh is local and placed by its transformation.
TEST(koDistantContacts, CoverUnderBoltHeadIsNotRemovedThroughIt) {
  for (const bool placedHead : {false, true}) {
    SCOPED_TRACE(placedHead ? "placed head" : "head in world coordinates");
    koMeshAssembly assembly;
    ko::koTriMesh* head = makeCylinder("head", placedHead ? Vec(0, 0, 0) : Vec(1.5f, 0, 0.7f),
                                       0.9f, 0.2f, 24, 2);
    if (placedHead) {
      head->Local.SetTranslate(Vec(1.5f, 0, 0.7f));
      head->UpdateGS();
    }
    for (ko::koTriMesh* mesh :
         {makeTessellatedBox("base", Vec(-2, -2, -0.5f), Vec(3, 2, 0), 8),
          makeTube("base pocket", Vec(0, 0, 0), 0.8f, 1.0f, 0.5f, 24, 2),
          makeTube("base bore", Vec(1.5f, 0, 0), 0.2f, 0.35f, 0.7f, 24, 2),
          makeCylinder("cover", Vec(0, 0, 0), 0.8f, 0.5f, 24, 2),
          makeCylinder("shaft", Vec(1.5f, 0, 0), 0.2f, 0.7f, 24, 2), head})
      assembly.meshes.push_back(mesh);
    assembly.partOfMesh = {0, 0, 0, 1, 2, 2};
    const koMeshGroups groups = assembly.makeGroups();
    const koPlannedFromMeshes plan(groups);
    const koContactDiagram& diagram = plan.diagram;
    const koDisassemblyHierarchy& hierarchy = plan.planned->hierarchy;

    // The cover (group 1) moving up relative to the bolt (group 2) is blocked.
    unsigned int up = None;
    for (unsigned int k = 0; k < diagram.getNoDirections(); ++k)
      if (std::fabs(diagram.getDirectionFromId(k).Z()) > 0.99)
        up = k | (diagram.getDirectionFromId(k).Z() < 0 ? Builder::msOppositeFlag : 0);
    bool coverBlocked = false;
    for (const std::vector<unsigned int>& edge : distantEdges(plan.planned->builder)) {
      const auto entries = edge.begin() + 2, scores = entries + (edge.size() - 2) / 2;
      coverBlocked =
          coverBlocked || (edge[0] == 1 && edge[1] == 2 && std::count(entries, scores, up));
    }
    EXPECT_TRUE(coverBlocked);
    ASSERT_TRUE(isWellFormed(hierarchy));
    EXPECT_TRUE(splitsAreSweepFree(
        hierarchy, [&](unsigned int k) { return diagram.getDirectionFromId(k); }, 1e-3f))
        << describe(hierarchy);
  }
}

// The cases without a relation and the score ranges, with a blocker over a box that leaves
// upwards: one hit is not enough, two are; a partial blocker scores below 0x80000000, more the
// more it covers; a full one above, and above 0xC0000000 where it stands closer than the box and
// the blocker must travel anyway to leave their contacts.
TEST(koDistantContacts, RelationsAndScoresFollowTheHits) {
  koBoxAssembly apart;
  apart.addPart("a", Vec(0, 0, 0), Vec(1, 1, 1));
  apart.addPart("b", Vec(0, 0, 2), Vec(1, 1, 3));
  apart.finish();
  koDisassemblyHierarchy apartHierarchy(apart.meshGroups());
  Builder apartBuilder(apartHierarchy, apart.diagram(), 1);
  koCountingNotifier notifier;
  koDistantContacts(apartBuilder).computeDistantContacts(2, &notifier);
  EXPECT_EQ(apart.diagram().getNoDirections(), 0u);
  EXPECT_EQ(apartBuilder.getNoEdges(), 0u);
  EXPECT_EQ(notifier.noOpenRangeCalls, 0);

  // Far above: blocks only along the vertical, the one direction across which the two overlap.
  const WallScene far(Vec(0, 0, 6), Vec(1, 1, 6.5f));
  size_t noEntries = 0;
  const unsigned int farScore = far.scoreUp(noEntries);
  EXPECT_EQ(noEntries, 1u);
  EXPECT_GE(farScore, 0x80000000u);
  EXPECT_LT(farScore, 0xC0000000u);
  const WallScene nearAgainstWall(Vec(0, 0, 2), Vec(1, 1, 2.5f));
  EXPECT_GE(nearAgainstWall.scoreUp(noEntries), 0xC0000000u);

  // Blockers around chosen samples of the box, which do not depend on the blocker.
  ko::koPointer<ko::koVertexBuffer> samples;
  far.contacts.sampleMesh(1, far.up, Vec(0, 0, 1), samples);
  ASSERT_GT(samples->GetVertexQuantity(), 100);
  // The blocker's score over the rectangle, and how many samples it covers.
  auto scoreOver = [&](Vec low, Vec high, int& covered) {
    low -= Vec(0.01f, 0.01f, 0), high += Vec(0.01f, 0.01f, 0);
    covered = 0;
    for (int s = 0; s < samples->GetVertexQuantity(); ++s) {
      const Vec& p = samples->Position3(s);
      covered += p.X() > low.X() && p.X() < high.X() && p.Y() > low.Y() && p.Y() < high.Y();
    }
    size_t entries = 0;
    return WallScene(Vec(low.X(), low.Y(), 2), Vec(high.X(), high.Y(), 2.5f)).scoreUp(entries);
  };
  const Vec first = samples->Position3(0);
  Vec neighbour = samples->Position3(1);
  for (int s = 1; s < samples->GetVertexQuantity(); ++s)
    if ((samples->Position3(s) - first).Length() < (neighbour - first).Length())
      neighbour = samples->Position3(s);
  int covered = 0;
  EXPECT_EQ(scoreOver(first, first, covered), None);
  EXPECT_EQ(covered, 1);
  const Vec low(std::min(first.X(), neighbour.X()), std::min(first.Y(), neighbour.Y()), 0);
  const Vec high(std::max(first.X(), neighbour.X()), std::max(first.Y(), neighbour.Y()), 0);
  const unsigned int twoHits = scoreOver(low, high, covered);
  EXPECT_EQ(covered, 2);
  EXPECT_GT(twoHits, 0u);
  const unsigned int quarter = scoreOver(Vec(0, 0, 0), Vec(0.5f, 0.5f, 0), covered);
  EXPECT_LT(3 * covered, samples->GetVertexQuantity());
  EXPECT_GT(quarter, twoHits);
  EXPECT_LT(quarter, 0x80000000u);
}

// On seeded random boxes and directions the samples stay near the budget and each lies just
// behind the box: a ray along the direction enters the box (slab test) after 0.001 of its depth.
// Their fingerprint was recorded before the lattice cells were gathered in a bitmap.
TEST(koDistantContacts, SamplesSitJustBehindTheMesh) {
  koFingerprint print;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> size(0.05, 3.0), coordinate(-1.0, 1.0);
  for (int trial = 0; trial < 20; ++trial) {
    const Wm4::Vector3<double> low(coordinate(random), coordinate(random), coordinate(random));
    const Wm4::Vector3<double> high = low + Wm4::Vector3<double>(size(random), size(random),
                                                                 size(random));
    Wm4::Vector3<double> d(coordinate(random), coordinate(random), coordinate(random));
    d /= d.Length();
    koMeshAssembly assembly;
    assembly.meshes.push_back(makeTessellatedBox(
        "box", Vec(float(low.X()), float(low.Y()), float(low.Z())),
        Vec(float(high.X()), float(high.Y()), float(high.Z())), 3));
    assembly.partOfMesh = {0};
    const koMeshGroups groups = assembly.makeGroups();
    koContactDiagram diagram(0, 0, groups);
    koDisassemblyHierarchy hierarchy(groups);
    Builder builder(hierarchy, diagram, 1);
    ko::koPointer<ko::koVertexBuffer> samples;
    koDistantContacts(builder).sampleMesh(0, 0, Vec(float(d.X()), float(d.Y()), float(d.Z())),
                                          samples);
    SCOPED_TRACE(trial);
    EXPECT_GE(samples->GetVertexQuantity(), 200);
    EXPECT_LE(samples->GetVertexQuantity(), 2000);

    double depth = 0.0;
    for (int a = 0; a < 3; ++a)
      depth += (high[a] - low[a]) * std::fabs(d[a]);
    for (int s = 0; s < samples->GetVertexQuantity(); ++s) {
      const Vec& p = samples->Position3(s);
      print.mix(p);
      double enter = -INFINITY, leave = INFINITY;
      for (int a = 0; a < 3; ++a) {
        const double t0 = (low[a] - p[a]) / d[a], t1 = (high[a] - p[a]) / d[a];
        enter = std::max(enter, std::min(t0, t1));
        leave = std::min(leave, std::max(t0, t1));
      }
      ASSERT_LT(enter, leave);
      ASSERT_NEAR(enter, 0.001 * depth, 1e-4 * depth + 1e-5);
    }
  }
  EXPECT_EQ(print.hash, 3110984322565316821ull);
}

// Every thread count finds the same relations, and the progress counts one step per group.
TEST(koDistantContacts, EveryThreadCountFindsTheSameRelations) {
  const koSampleAssemblies::Assembly gearbox = koSampleAssemblies::gearbox();
  std::vector<std::vector<unsigned int>> reference;
  for (unsigned int threads : {1u, 0u, 2u, 8u}) {
    koDisassemblyHierarchy hierarchy(gearbox->meshGroups());
    Builder builder(hierarchy, gearbox->diagram(), 1);
    koCountingNotifier notifier;
    koDistantContacts(builder).computeDistantContacts(threads, &notifier);
    const double noGroups = gearbox->meshGroups().getNoGroups();
    EXPECT_EQ(notifier.lastRange, noGroups);
    EXPECT_EQ(notifier.advancedSteps, noGroups);
    if (reference.empty())
      reference = distantEdges(builder);
    EXPECT_EQ(distantEdges(builder), reference) << threads << " threads";
  }
  EXPECT_FALSE(reference.empty());
}
