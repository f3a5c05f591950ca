#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using Ids = std::vector<unsigned int>;

// koMeshGroups only stores the mesh pointers, so distinct fake addresses stand in for meshes.
std::vector<ko::koTriMesh*> fakeMeshes(size_t count) {
  std::vector<ko::koTriMesh*> meshes;
  for (size_t i = 0; i < count; ++i)
    meshes.push_back(reinterpret_cast<ko::koTriMesh*>(0x1000 + 0x10 * i));
  return meshes;
}

// Everything a later stage relies on, checked against the per-mesh ids alone.
void expectConsistentPartition(const koMeshGroups& groups) {
  const size_t noMeshes = groups.meshes.size();
  ASSERT_EQ(groups.meshGroupIds.size(), noMeshes);
  ASSERT_EQ(groups.groupMeshIndices.size(), noMeshes);
  const auto& ids = groups.meshGroupIds;
  ASSERT_EQ(groups.getNoGroups(), ids.empty() ? 1 : *std::max_element(ids.begin(), ids.end()) + 1);
  ASSERT_EQ(groups.groupOffsets.front(), 0u);
  ASSERT_EQ(groups.groupOffsets.back(), noMeshes);
  std::vector<int> seen(noMeshes, 0);
  for (unsigned int g = 0; g < groups.getNoGroups(); ++g) {
    ASSERT_LE(groups.groupOffsets[g], groups.groupOffsets[g + 1]);
    for (unsigned int k = 0; k < groups.getNoMeshes(g); ++k) {
      const unsigned int mesh = groups.groupMeshIndices[groups.groupOffsets[g] + k];
      EXPECT_EQ(groups.meshGroupIds[mesh], g);
      EXPECT_EQ(groups.getMesh(g, k), groups.meshes[mesh]);
      if (k > 0) {
        EXPECT_LT(groups.groupMeshIndices[groups.groupOffsets[g] + k - 1], mesh);
      }
      ++seen[mesh];
    }
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
}

// Random groupings, with empty groups, no meshes, no ids and ids beyond the meshes. The
// partition check fixes every field, since the members of a group stand in ascending order.
TEST(koMeshGroups, RandomGroupingsFormAPartitionAndCanBeRecomputed) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const size_t noMeshes = random() % 40;
    const unsigned int idRange = 1 + random() % 50;
    Ids ids(noMeshes + (round % 3 == 1 ? 1 + random() % 5 : 0)), expected(noMeshes);
    for (auto& id : ids)
      id = random() % idRange;
    for (unsigned int i = 0; i < noMeshes; ++i)
      expected[i] = round % 3 == 0 ? i : ids[i];
    const auto meshes = fakeMeshes(noMeshes);
    koMeshGroups groups(meshes, round % 3 == 0 ? nullptr : &ids);
    EXPECT_EQ(groups.meshes, meshes);
    EXPECT_EQ(groups.meshGroupIds, expected);
    expectConsistentPartition(groups);

    // A host may regroup in place; recomputing must not carry anything over.
    for (auto& id : groups.meshGroupIds)
      id = (id * 3) % 5;
    groups.computeMeshGroups();
    expectConsistentPartition(groups);
  }
}

} // namespace
