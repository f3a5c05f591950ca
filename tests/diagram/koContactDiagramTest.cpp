#include "koContactDiagram.h"
#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Vec3d = Wm4::Vector3<double>;
using Vec3f = Wm4::Vector3<float>;
using Ids = std::vector<unsigned int>;

TEST(koContactDiagram, StoresEdgesAsPushedAndSkipsContactsInsideAGroup) {
  // Meshes 0 and 1 form group 0, mesh 2 is group 1, mesh 3 group 2; only the ids are read.
  const Ids meshGroupIds{0, 0, 1, 2};
  const koMeshGroups groups(std::vector<ko::koTriMesh*>(4, nullptr), &meshGroupIds);
  koContactDiagram diagram(7, 100, groups);
  const Vec3d directions[2] = {Vec3d(2.0, 0.0, 0.0), Vec3d(0.0, 0.6, 0.8)};
  diagram.pushContactEdge(0, 1, directions, 2, Vec3f(9.0f, 9.0f, 9.0f));
  // The pair keeps the order given; directions are copied unchanged, even when not unit, and
  // wait with id 0. A contact that nothing can separate is still an edge.
  diagram.pushContactEdge(3, 1, directions, 2, Vec3f(1.0f, 2.0f, 3.0f));
  diagram.pushContactEdge(2, 3, nullptr, 0, Vec3f(-1.0f, 0.5f, 0.0f));
  ASSERT_EQ(diagram.getNoContacts(), 2u);
  const koContactDiagram::tContactEdge &first = diagram.getEdgeData(0),
                                      &second = diagram.getEdgeData(1);
  EXPECT_EQ(Ids({first.mesh0, first.mesh1, first.group0, first.group1, second.mesh0,
                 second.mesh1, second.group0, second.group1}),
            Ids({3, 1, 2, 0, 2, 3, 1, 2}));
  EXPECT_EQ(diagram.getDisassemblyDirections(0), std::vector<Vec3d>(directions, directions + 2));
  EXPECT_EQ(diagram.getDisassemblyDirectionIds(0), Ids({0, 0}));
  EXPECT_EQ(diagram.getContactPoint(0), Vec3f(1.0f, 2.0f, 3.0f));
  EXPECT_TRUE(diagram.getDisassemblyDirections(1).empty() &&
              diagram.getDisassemblyDirectionIds(1).empty());
  EXPECT_EQ(diagram.getContactPoint(1), Vec3f(-1.0f, 0.5f, 0.0f));
}

} // namespace
