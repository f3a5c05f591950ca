// Plans for the example box assemblies, checked against their geometry.

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koSampleAssemblies.h"
#include "support/koHierarchyChecks.h"

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

// Whatever the assembly, the plan is a well-formed tree whose every split respects the contacts
// it cuts, and every part ends up on its own. Where only touching parts block each other, no
// part runs into another on its way out; elsewhere blocking at a distance needs distant
// contacts, so the plan may move parts through others that they do not touch.
TEST(koBoxAssemblyHierarchy, EveryPlanIsCarriedOutPartByPart) {
  const struct {
    const char* name;
    std::function<Assembly()> make;
    bool blockedOnlyByContacts;
  } assemblies[] = {
      {"box on plate", koSampleAssemblies::boxOnPlate, true},
      {"stack", [] { return koSampleAssemblies::stack(5); }, true},
      {"peg in block", koSampleAssemblies::pegInBlock, true},
      {"lid with screws", koSampleAssemblies::lidWithScrews, true},
      {"gearbox", koSampleAssemblies::gearbox, false},
      {"brick wall", [] { return koSampleAssemblies::brickWall(4, 4); }, true},
      {"random packing", [] { return koSampleAssemblies::randomPacking(40, 3); }, true},
  };
  for (const auto& named : assemblies) {
    SCOPED_TRACE(named.name);
    Assembly assembly = named.make();
    const Planned planned(*assembly, 2);
    ASSERT_TRUE(isWellFormed(planned.hierarchy));
    EXPECT_TRUE(splitsRespectContacts(planned.builder));
    if (named.blockedOnlyByContacts) {
      EXPECT_TRUE(splitsAreCollisionFree(*assembly, planned.builder));
    }
    for (unsigned int leaf : planned.hierarchy.getGroupLeaves())
      EXPECT_EQ(planned.hierarchy.getNode(leaf).noGroups, 1u) << describe(planned.hierarchy);
  }
}

} // namespace
