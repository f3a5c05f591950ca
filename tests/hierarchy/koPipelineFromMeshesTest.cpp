#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"
#include "koMeshAssemblies.h"
#include "support/koHierarchyChecks.h"
#include "support/koSweepCheck.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* name;
  koMeshAssembly assembly;
  // Whether a straight pull frees every part.
  bool comesApart;
};

} // namespace

// From the meshes alone to a plan: every split must let its moving side travel clear of the rest
// without passing through it, and only parts that no straight pull frees stay together.
TEST(koPipelineFromMeshes, PlansAreSweepFreeAndCompleteWhereTheyCanBe) {
  Case cases[] = {
      {"box on plate", koMeshAssemblies::boxOnPlate(), true},
      {"stack", koMeshAssemblies::stack(4), true},
      {"peg in blind hole", koMeshAssemblies::pegInBlindHole(), true},
      {"lid with screws", koMeshAssemblies::lidWithScrews(), true},
      {"placed box on plate", koMeshAssemblies::placedBoxOnPlate(Wm4::Vector3<float>(2, 1, 0.5f)),
       true},
      {"ring between collars", koMeshAssemblies::ringBetweenCollars(), false},
      // Blocked without touching: the inner box stands clear of the walls, the bearings apart.
      {"nested box with lid", koMeshAssemblies::nestedBoxWithLid(), true},
      {"shaft in bearings", koMeshAssemblies::shaftInBearings(), true},
  };
  for (Case& test : cases) {
    const koMeshGroups groups = test.assembly.makeGroups();
    koContactDiagram diagram(groups, 2, nullptr);
    diagram.computeDirectionSet(5.0f);
    koDisassemblyHierarchy hierarchy(groups);
    koDisassemblyHierarchyBuilder builder(hierarchy, diagram, 2);
    koDistantContacts(builder).computeDistantContacts(2, nullptr);
    builder.initSolver();
    builder.computeGroupsHierarchy(0, nullptr);

    EXPECT_TRUE(isWellFormed(hierarchy)) << test.name;
    EXPECT_TRUE(splitsRespectContacts(builder)) << test.name;
    EXPECT_TRUE(splitsAreSweepFree(
        hierarchy, [&](unsigned int k) { return diagram.getDirectionFromId(k); }, 1e-3f))
        << test.name << ": " << describe(hierarchy);
    unsigned int togetherInLeaves = 0;
    for (unsigned int node = 0; node < hierarchy.getNoNodes(); ++node) {
      const koDisassemblyHierarchy::tTreeNode& tree = hierarchy.getNode(node);
      if (tree.first != koDisassemblyHierarchy::None && tree.noGroups > 1 && tree.isLeaf())
        togetherInLeaves += tree.noGroups;
    }
    EXPECT_EQ(togetherInLeaves, test.comesApart ? 0u : test.assembly.noParts())
        << test.name << ": " << describe(hierarchy);
  }
}
