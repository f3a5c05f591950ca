#include "koContactDiagram.h"
#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Vec3d = Wm4::Vector3<double>;
using Vec3f = Wm4::Vector3<float>;

TEST(koContactDiagram, StoresEdgesAsPushedAndSkipsContactsInsideAGroup) {
  // Meshes 0 and 1 form group 0, mesh 2 is group 1, mesh 3 group 2; only the ids are read.
  const std::vector<unsigned int> ids{0, 0, 1, 2};
  const koMeshGroups groups(std::vector<ko::koTriMesh*>(4, nullptr), &ids);
  koContactDiagram diagram(7, 100, groups);

  const Vec3d directions[2] = {Vec3d(2.0, 0.0, 0.0), Vec3d(0.0, 0.6, 0.8)};
  diagram.pushContactEdge(0, 1, directions, 2, Vec3f(9.0f, 9.0f, 9.0f));
  EXPECT_EQ(diagram.getNoContacts(), 0u);

  // The pair keeps the order given; directions are copied unchanged, even when not unit.
  diagram.pushContactEdge(3, 1, directions, 2, Vec3f(1.0f, 2.0f, 3.0f));
  // A contact that nothing can separate is still an edge.
  diagram.pushContactEdge(2, 3, nullptr, 0, Vec3f(-1.0f, 0.5f, 0.0f));
  ASSERT_EQ(diagram.getNoContacts(), 2u);

  const koContactDiagram::tContactEdge& first = diagram.getEdgeData(0);
  EXPECT_EQ(std::vector<unsigned int>({first.mesh0, first.mesh1, first.group0, first.group1}),
            std::vector<unsigned int>({3, 1, 2, 0}));
  EXPECT_EQ(diagram.getDisassemblyDirections(0),
            std::vector<Vec3d>(directions, directions + 2));
  EXPECT_EQ(diagram.getDisassemblyDirectionIds(0), std::vector<unsigned int>({0, 0}));
  EXPECT_EQ(diagram.getContactPoint(0), Vec3f(1.0f, 2.0f, 3.0f));

  EXPECT_EQ(diagram.getEdgeData(1).group0, 1u);
  EXPECT_EQ(diagram.getEdgeData(1).group1, 2u);
  EXPECT_TRUE(diagram.getDisassemblyDirections(1).empty());
  EXPECT_TRUE(diagram.getDisassemblyDirectionIds(1).empty());
  EXPECT_EQ(diagram.getContactPoint(1), Vec3f(-1.0f, 0.5f, 0.0f));
}

} // namespace
