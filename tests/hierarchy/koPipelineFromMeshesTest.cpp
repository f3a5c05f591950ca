#include "koMeshAssemblies.h"
#include "koSampleAssemblies.h"
#include "support/koHierarchyChecks.h"
#include "support/koPlanned.h"
#include "support/koSweepCheck.h"

#include <ko/koBBox.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The contact tolerance of the analysis in world units: 0.001 of the longest side of any mesh's
// box. Parts closer than that touch, so a sweep may graze that deep.
float contactTolerance(const koMeshGroups& groups) {
  float longest = 0.0f;
  for (const ko::koTriMesh* mesh : groups.meshes) {
    koBBox box;
    for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v)
      box.grow(mesh->World.ApplyForward(mesh->VBuffer->Position3(v)));
    koBBox::tAxis axis;
    longest = std::max(longest, box.getMaxExtent(axis));
  }
  return 0.001f * longest;
}

// The whole pipeline from the meshes: every split must let its moving side travel clear of the
// rest without passing through it deeper than the contact tolerance (the directions found are
// true to a few hundredths of a degree, which a long slide along a fitting bore turns into such
// a graze), and exactly `together` groups stay in leaves of several.
void expectSweepFreePlan(const char* name, const koMeshGroups& groups, unsigned int together) {
  SCOPED_TRACE(name);
  const koPlannedFromMeshes plan(groups);
  const koDisassemblyHierarchy& hierarchy = plan.planned->hierarchy;
  EXPECT_TRUE(isWellFormed(hierarchy));
  EXPECT_TRUE(splitsRespectContacts(plan.planned->builder));
  EXPECT_TRUE(splitsAreSweepFree(
      hierarchy, [&](unsigned int k) { return plan.diagram.getDirectionFromId(k); },
      contactTolerance(groups)))
      << describe(hierarchy);
  unsigned int togetherInLeaves = 0;
  for (unsigned int node = 0; node < hierarchy.getNoNodes(); ++node) {
    const koDisassemblyHierarchy::tTreeNode& tree = hierarchy.getNode(node);
    if (tree.first != koDisassemblyHierarchy::None && tree.noGroups > 1 && tree.isLeaf())
      togetherInLeaves += tree.noGroups;
  }
  EXPECT_EQ(togetherInLeaves, together) << describe(hierarchy);
}

} // namespace

// Parts that touch, parts that block each other without touching (the inner box stands clear of
// the walls, the bearings apart), a mesh placed by its transformation, and a ring that no
// straight pull frees from its shaft.
TEST(koPipelineFromMeshes, PlansAreSweepFreeAndCompleteWhereTheyCanBe) {
  const struct {
    const char* name;
    koMeshAssembly assembly;
    bool comesApart;
  } cases[] = {
      {"box on plate", koMeshAssemblies::boxOnPlate(), true},
      {"stack", koMeshAssemblies::stack(4), true},
      {"peg in blind hole", koMeshAssemblies::pegInBlindHole(), true},
      {"lid with screws", koMeshAssemblies::lidWithScrews(), true},
      {"placed box on plate", koMeshAssemblies::placedBoxOnPlate(Wm4::Vector3<float>(2, 1, 0.5f)),
       true},
      {"ring between collars", koMeshAssemblies::ringBetweenCollars(), false},
      {"nested box with lid", koMeshAssemblies::nestedBoxWithLid(), true},
      {"shaft in bearings", koMeshAssemblies::shaftInBearings(), true},
  };
  for (const auto& test : cases)
    expectSweepFreePlan(test.name, test.assembly.makeGroups(),
                        test.comesApart ? 0u : test.assembly.noParts());
}

// The demo's gearbox from its box meshes alone: its gears would slide through the housing's walls
// if blocking without touching went unseen.
TEST(koPipelineFromMeshes, GearboxFromItsMeshesIsSweepFree) {
  const auto gearbox = koSampleAssemblies::gearbox();
  expectSweepFreePlan("gearbox", gearbox->meshGroups(), 0u);
}
