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

TEST(koMeshGroups, WithoutIdsEveryMeshIsItsOwnGroup) {
  const auto meshes = fakeMeshes(3);
  koMeshGroups groups(meshes, nullptr);
  EXPECT_EQ(groups.meshes, meshes);
  EXPECT_EQ(groups.getNoGroups(), 3u);
  EXPECT_EQ(groups.groupOffsets, (Ids{0, 1, 2, 3}));
  EXPECT_EQ(groups.groupMeshIndices, (Ids{0, 1, 2}));
  EXPECT_EQ(groups.meshGroupIds, (Ids{0, 1, 2}));
}

TEST(koMeshGroups, GroupsByIdWithEmptyGroupsAndAscendingMembers) {
  const Ids ids{2, 0, 2};
  koMeshGroups groups(fakeMeshes(3), &ids);
  EXPECT_EQ(groups.getNoGroups(), 3u);
  EXPECT_EQ(groups.groupOffsets, (Ids{0, 1, 1, 3}));
  EXPECT_EQ(groups.groupMeshIndices, (Ids{1, 0, 2}));
  EXPECT_EQ(groups.getNoMeshes(1), 0u);

  const Ids pairs{0, 0, 1, 1};
  koMeshGroups paired(fakeMeshes(4), &pairs);
  EXPECT_EQ(paired.groupOffsets, (Ids{0, 2, 4}));
  EXPECT_EQ(paired.groupMeshIndices, (Ids{0, 1, 2, 3}));
}

TEST(koMeshGroups, IgnoresIdsBeyondTheMeshesAndHandlesNoMeshes) {
  const Ids longer{1, 0, 7, 9};
  koMeshGroups groups(fakeMeshes(2), &longer);
  EXPECT_EQ(groups.meshGroupIds, (Ids{1, 0}));
  EXPECT_EQ(groups.getNoGroups(), 2u);

  const Ids none;
  for (const Ids* ids : {static_cast<const Ids*>(nullptr), &none}) {
    koMeshGroups empty({}, ids);
    EXPECT_EQ(empty.getNoGroups(), 1u);
    EXPECT_EQ(empty.groupOffsets, (Ids{0, 0}));
    EXPECT_TRUE(empty.groupMeshIndices.empty());
    EXPECT_TRUE(empty.meshGroupIds.empty());
  }
}

TEST(koMeshGroups, RandomGroupingsFormAPartitionAndCanBeRecomputed) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const size_t noMeshes = random() % 40;
    const unsigned int idRange = 1 + random() % 50;
    Ids ids(noMeshes);
    for (auto& id : ids)
      id = random() % idRange;
    koMeshGroups groups(fakeMeshes(noMeshes), &ids);
    const unsigned int top = ids.empty() ? 0 : *std::max_element(ids.begin(), ids.end());
    EXPECT_EQ(groups.getNoGroups(), top + 1);
    expectConsistentPartition(groups);

    // A host may regroup in place; recomputing must not carry anything over.
    for (auto& id : groups.meshGroupIds)
      id = (id * 3) % 5;
    groups.computeMeshGroups();
    expectConsistentPartition(groups);
  }
}

} // namespace
