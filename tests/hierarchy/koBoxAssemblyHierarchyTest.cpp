#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "support/koHierarchyChecks.h"
#include "koSampleAssemblies.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using koSampleAssemblies::Assembly;

struct Planned {
  Planned(koBoxAssembly& assembly, unsigned int threads)
      : hierarchy(assembly.meshGroups()), builder(hierarchy, assembly.diagram(), threads) {
    builder.initSolver();
    testing::internal::CaptureStdout();
    builder.computeGroupsHierarchy(0, nullptr);
    testing::internal::GetCapturedStdout();
  }
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
};

struct NamedAssembly {
  const char* name;
  std::function<Assembly()> make;
  // Every part that blocks another touches it. Elsewhere blocking at a distance needs distant
  // contacts, so the plan may move parts through others that they do not touch.
  bool blockedOnlyByContacts;
};

const NamedAssembly kAssemblies[] = {
    {"box on plate", koSampleAssemblies::boxOnPlate, true},
    {"stack", [] { return koSampleAssemblies::stack(5); }, true},
    {"peg in block", koSampleAssemblies::pegInBlock, true},
    {"lid with screws", koSampleAssemblies::lidWithScrews, true},
    {"gearbox", koSampleAssemblies::gearbox, false},
    {"brick wall", [] { return koSampleAssemblies::brickWall(4, 4); }, true},
    {"random packing", [] { return koSampleAssemblies::randomPacking(40, 3); }, true},
};

// Whatever the assembly, the plan is a well-formed tree whose every split respects the contacts
// it cuts (and so can be carried out where only touching parts block each other), and every
// part ends up on its own.
TEST(koBoxAssemblyHierarchy, EveryPlanIsCarriedOutPartByPart) {
  for (const NamedAssembly& named : kAssemblies) {
    SCOPED_TRACE(named.name);
    Assembly assembly = named.make();
    for (unsigned int threads : {1u, 2u}) {
      Planned planned(*assembly, threads);
      EXPECT_TRUE(isWellFormed(planned.hierarchy));
      EXPECT_TRUE(splitsRespectContacts(planned.builder));
      if (named.blockedOnlyByContacts) {
        EXPECT_TRUE(splitsAreCollisionFree(*assembly, planned.builder));
      }
      EXPECT_TRUE(leavesAreSingleGroups(planned.hierarchy)) << describe(planned.hierarchy);
    }
  }
}

TEST(koBoxAssemblyHierarchy, PartsComeOffTheWayTheyWentOn) {
  // The peg leaves its block straight up (or the block leaves it straight down).
  Assembly peg = koSampleAssemblies::pegInBlock();
  Planned pegPlan(*peg, 1);
  const auto& root = pegPlan.hierarchy.getNode(0);
  const auto& up = peg->diagram().getDirectionFromId(root.splitDirection);
  EXPECT_NEAR(std::fabs(up.Z()), 1.0, 1e-9);

  // A stack comes apart one layer at a time: every split cuts a single contact.
  Assembly stack = koSampleAssemblies::stack(6);
  Planned stackPlan(*stack, 2);
  for (unsigned int v = 0; v < stackPlan.hierarchy.getNoNodes(); ++v) {
    const auto& tree = stackPlan.hierarchy.getNode(v);
    if (tree.isLeaf())
      continue;
    const koSplitSides sides(stackPlan.hierarchy, v);
    unsigned int cut = 0;
    for (unsigned int e = 0; e < stackPlan.builder.getNoEdges(); ++e) {
      const auto& edge = stackPlan.builder.getEdgeData(e);
      cut += sides.cuts(edge.group0, edge.group1) ? 1u : 0u;
    }
    EXPECT_EQ(cut, 1u) << "node " << v;
  }
}

} // namespace
