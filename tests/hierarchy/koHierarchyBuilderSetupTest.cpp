#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "support/koHandDiagram.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Vec = Wm4::Vector3<double>;
using Entries = std::vector<unsigned int>;
constexpr unsigned int Flip = koDisassemblyHierarchyBuilder::msOppositeFlag;

Vec inPlane(double degrees) {
  const double r = degrees * 3.141592653589793 / 180.0;
  return Vec(std::cos(r), std::sin(r), 0.0);
}

// Four planar directions at 30 degrees merge into two set entries, the first the mean of 0 and
// 25 degrees, the second the mean of 50 and 55. An edge keeps its own entries and gains the set
// entries within the tolerance of its own direction's line, in the sense that line points.
TEST(koDisassemblyHierarchyBuilder, ExpandsASingleDirectionAlongItsLine) {
  koHandDiagram hand(5);
  hand.contact(0, 1, {inPlane(0)});
  hand.contact(1, 2, {inPlane(25)});
  hand.contact(2, 3, {inPlane(50)});
  hand.contact(3, 4, {inPlane(55)});
  hand.contact(4, 0, {inPlane(205)});  // opposite of 25 degrees: merged into entry 0, flipped
  hand.diagram.computeDirectionSet(30.0f);
  ASSERT_EQ(hand.diagram.getNoDirections(), 2u);

  koDisassemblyHierarchy hierarchy(hand.groups);
  koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 1);
  ASSERT_EQ(builder.getNoEdges(), 5u);
  EXPECT_EQ(builder.getEdgeData(0).entries, (Entries{0}));
  // 25 degrees lies within 30 of the 52.5 degree entry: it is added pointing the same way.
  EXPECT_EQ(builder.getEdgeData(1).entries, (Entries{0, 1}));
  EXPECT_EQ(builder.getEdgeData(1).perDirectionValues, (Entries{0}));
  EXPECT_EQ(builder.getEdgeData(2).entries, (Entries{1}));
  // The line of 205 degrees is the line of 25: the 52.5 degree entry comes in opposite.
  EXPECT_EQ(builder.getEdgeData(4).entries, (Entries{0 | Flip, 1 | Flip}));
  // Every contact edge lists its groups' directions.
  EXPECT_EQ(builder.getGroupDirections(1), (Entries{0, 1}));
  EXPECT_EQ(builder.getGroupDirections(3), (Entries{1}));
}

// Four directions at 28 degrees pull the first entry away from the x axis, so that the -20
// degree direction, within 30 degrees of the x line, stays an entry of its own.
TEST(koDisassemblyHierarchyBuilder, OppositeOwnDirectionsAllowBothSenses) {
  koHandDiagram hand(6);
  hand.contact(0, 1, {inPlane(0), inPlane(180)});
  for (unsigned int g = 1; g < 5; ++g)
    hand.contact(g, g + 1, {inPlane(28)});
  hand.contact(5, 0, {inPlane(-20)});
  hand.contact(1, 3, {inPlane(0)});
  hand.diagram.computeDirectionSet(30.0f);
  ASSERT_EQ(hand.diagram.getNoDirections(), 2u);
  ASSERT_NEAR(hand.diagram.getDirectionFromId(1).Dot(inPlane(-20)), 1.0, 1e-12);

  koDisassemblyHierarchy hierarchy(hand.groups);
  const koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 1);
  EXPECT_EQ(builder.getEdgeData(0).entries, (Entries{0, 0 | Flip, 1, 1 | Flip}));
  EXPECT_EQ(builder.getEdgeData(6).entries, (Entries{0, 1}));
}

TEST(koDisassemblyHierarchyBuilder, ThreeIndependentDirectionsKeepTheirOctant) {
  koHandDiagram hand(5);
  hand.contact(0, 1, {Vec(1, 0, 0), Vec(0, 1, 0), Vec(0, 0, 1)});
  const double s = 1.0 / std::sqrt(3.0);
  hand.contact(1, 2, {Vec(s, s, s)});                       // inside the octant
  hand.contact(2, 3, {Vec(-s, -s, -s)});                    // merges with it, flipped
  hand.contact(3, 4, {Vec(std::sqrt(0.5), -std::sqrt(0.5), 0)});  // across the octant's walls
  hand.diagram.computeDirectionSet(5.0f);
  ASSERT_EQ(hand.diagram.getNoDirections(), 5u);

  koDisassemblyHierarchy hierarchy(hand.groups);
  const koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 1);
  // The diagonal is added once, pointing into the octant; the skew entry in neither sense.
  EXPECT_EQ(builder.getEdgeData(0).entries, (Entries{0, 1, 2, 3}));
}

TEST(koDisassemblyHierarchyBuilder, DistantEdgesKeepTheirEntriesAndScores) {
  koHandDiagram hand(3);
  hand.contact(0, 1, {Vec(0, 0, 1)});
  hand.diagram.computeDirectionSet(5.0f);
  koDisassemblyHierarchy hierarchy(hand.groups);
  koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 2);
  builder.setNoDistantConstraints(1);
  Entries entries{0, 0 | Flip};
  builder.pushDistantConstraint(2, 0, {7, 9, 11}, entries);
  EXPECT_TRUE(entries.empty());
  ASSERT_EQ(builder.getNoEdges(), 2u);
  const auto& edge = builder.getEdgeData(1);
  EXPECT_TRUE(edge.distant);
  EXPECT_EQ(edge.group0, 2u);
  EXPECT_EQ(edge.group1, 0u);
  EXPECT_EQ(edge.constraint, 1u);
  EXPECT_EQ(edge.entries, (Entries{0, 0 | Flip}));
  EXPECT_EQ(edge.perDirectionValues, (Entries{7, 9}));
  EXPECT_TRUE(edge.directions.empty());
  EXPECT_EQ(edge.contactPoint, Wm4::Vector3<float>(0, 0, 0));
  // Distant edges give a group no directions of its own.
  EXPECT_TRUE(builder.getGroupDirections(2).empty());

  builder.initSolver();
  const auto& root = builder.getNodeMetadata(0);
  EXPECT_EQ(root.referenceNode, koDisassemblyHierarchyBuilder::None);
  EXPECT_EQ(root.firstEdge, 0u);
  EXPECT_EQ(root.noEdges, 2u);
  EXPECT_EQ(root.systemRoot.firstColumn, 0u);
  EXPECT_EQ(root.systemRoot.noColumns, 3u + 2u * 2u);
}

} // namespace
