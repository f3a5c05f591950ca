// Plans of two larger generated assemblies, compared with fingerprints of the plans the builder
// made before its search learned to share bounds between directions: speed-ups of the search
// must not change a single split.

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"
#include "koSampleAssemblies.h"
#include "support/koFingerprint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

// The group list and every node's slice, children and direction.
uint64_t fingerprint(const koDisassemblyHierarchy& hierarchy) {
  koFingerprint print;
  for (unsigned int g : hierarchy.getGroupList())
    print.mix(g);
  for (const koDisassemblyHierarchy::tTreeNode& node : hierarchy.getNodes())
    for (unsigned int value : {node.first, node.noGroups, node.firstChild, node.secondChild,
                               node.splitDirection})
      print.mix(value);
  return print.hash;
}

// The benchmark's 190-part wall and 200-part packing with 13 directions, planned as the benchmark
// plans them, and a smaller packing with its distant contacts, whose blocking brings in the
// search's later passes.
TEST(koStoredHierarchies, AssembliesSplitAsBefore) {
  const struct {
    const char* name;
    std::function<koSampleAssemblies::Assembly()> make;
    bool distant;
    uint64_t stored;
  } assemblies[] = {
      {"brick wall", [] { return koSampleAssemblies::brickWall(18, 10, true); }, false,
       10006277656416581296ull},
      {"random packing", [] { return koSampleAssemblies::randomPacking(200, 1, true); }, false,
       15442282527441003747ull},
      {"packing, distant", [] { return koSampleAssemblies::randomPacking(60, 4, true); }, true,
       12245986628894826358ull},
  };
  for (const auto& named : assemblies) {
    koSampleAssemblies::Assembly assembly = named.make();
    for (unsigned int threads : {1u, 2u}) {
      koDisassemblyHierarchy hierarchy(assembly->meshGroups());
      koDisassemblyHierarchyBuilder builder(hierarchy, assembly->diagram(), threads);
      if (named.distant)
        koDistantContacts(builder).computeDistantContacts(threads, nullptr);
      builder.initSolver();
      testing::internal::CaptureStdout();
      builder.computeGroupsHierarchy(0, nullptr);
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(fingerprint(hierarchy), named.stored) << named.name << ", " << threads;
    }
  }
}

} // namespace
