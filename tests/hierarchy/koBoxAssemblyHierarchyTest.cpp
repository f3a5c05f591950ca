// Plans for the example box assemblies, checked against their geometry.

#include "koSampleAssemblies.h"
#include "support/koHierarchyChecks.h"
#include "support/koPlanned.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using koSampleAssemblies::Assembly;

// Whatever the assembly, the plan is a well-formed tree whose every split respects the contacts
// it cuts, no part runs into another on its way out and every part ends up on its own. The
// contacts alone let the gearbox's parts slide along faces into the housing beyond them; the
// distant contacts see that blocking.
TEST(koBoxAssemblyHierarchy, EveryPlanIsCarriedOutPartByPart) {
  const struct {
    const char* name;
    std::function<Assembly()> make;
  } assemblies[] = {
      {"box on plate", koSampleAssemblies::boxOnPlate},
      {"stack", [] { return koSampleAssemblies::stack(5); }},
      {"peg in block", koSampleAssemblies::pegInBlock},
      {"lid with screws", koSampleAssemblies::lidWithScrews},
      {"gearbox", koSampleAssemblies::gearbox},
      {"brick wall", [] { return koSampleAssemblies::brickWall(4, 4); }},
      {"random packing", [] { return koSampleAssemblies::randomPacking(40, 3); }},
  };
  for (const auto& named : assemblies) {
    SCOPED_TRACE(named.name);
    Assembly assembly = named.make();
    const koPlanned planned(assembly->meshGroups(), assembly->diagram(), 2);
    ASSERT_TRUE(isWellFormed(planned.hierarchy));
    EXPECT_TRUE(splitsRespectContacts(planned.builder));
    EXPECT_TRUE(splitsAreCollisionFree(*assembly, planned.builder)) << describe(planned.hierarchy);
    for (unsigned int leaf : planned.hierarchy.getGroupLeaves())
      EXPECT_EQ(planned.hierarchy.getNode(leaf).noGroups, 1u) << describe(planned.hierarchy);
  }
}

} // namespace
