#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace {

using Ids = std::vector<unsigned int>;

// The grouping straight from the per-mesh ids: group g lists the meshes whose id is g in
// ascending order; there is one group more than the largest id, and one for no meshes.
void expectGrouping(const koMeshGroups& groups) {
  const Ids& ids = groups.meshGroupIds;
  const unsigned int noGroups = ids.empty() ? 1 : *std::max_element(ids.begin(), ids.end()) + 1;
  Ids offsets, members;
  for (unsigned int g = 0; g <= noGroups; ++g) {
    offsets.push_back(unsigned(members.size()));
    for (unsigned int i = 0; i < ids.size(); ++i)
      if (ids[i] == g)
        members.push_back(i);
  }
  ASSERT_EQ(groups.groupOffsets, offsets);
  ASSERT_EQ(groups.groupMeshIndices, members);
  for (unsigned int g = 0; g < noGroups; ++g)
    for (unsigned int k = 0; k < groups.getNoMeshes(g); ++k)
      EXPECT_EQ(groups.getMesh(g, k), groups.meshes[members[offsets[g] + k]]);
}

// Random groupings, with empty groups, no meshes, no ids and ids beyond the meshes; then a host
// regroups in place, and recomputing must carry nothing over.
TEST(koMeshGroups, RandomGroupingsFormAPartitionAndCanBeRecomputed) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const size_t noMeshes = random() % 40;
    const unsigned int idRange = 1 + random() % 50;
    Ids ids(noMeshes + (round % 3 == 1 ? 1 + random() % 5 : 0));
    for (auto& id : ids)
      id = random() % idRange;
    std::vector<ko::koTriMesh*> meshes;  // only stored, so distinct fake addresses will do
    for (size_t i = 0; i < noMeshes; ++i)
      meshes.push_back(reinterpret_cast<ko::koTriMesh*>(0x1000 + 0x10 * i));
    koMeshGroups groups(meshes, round % 3 == 0 ? nullptr : &ids);
    Ids expected(ids.begin(), ids.begin() + long(noMeshes));
    if (round % 3 == 0)
      std::iota(expected.begin(), expected.end(), 0u);
    EXPECT_EQ(groups.meshes, meshes);
    EXPECT_EQ(groups.meshGroupIds, expected);
    ASSERT_NO_FATAL_FAILURE(expectGrouping(groups));

    for (auto& id : groups.meshGroupIds)
      id = (id * 3) % 5;
    groups.computeMeshGroups();
    ASSERT_NO_FATAL_FAILURE(expectGrouping(groups));
  }
}

} // namespace
