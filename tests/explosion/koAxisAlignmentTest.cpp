#include "explosion/koExplosionDiagramFixture.h"

#include <gtest/gtest.h>

namespace {

using Vec = Wm4::Vector3<float>;

// Three slabs stacked along z: the root splits the bottom one off, node 2 the other two. Groups,
// axes and anchors are set by hand, so that the alignment alone decides the outcome.
TEST(koAxisAlignment, SplitsAlongOneDirectionShareTheirAxis) {
  koBoxAssembly slabs;
  slabs.addPart("bottom", Vec(0, 0, 0), Vec(4, 4, 1));
  slabs.addPart("middle", Vec(0, 0, 1), Vec(4, 4, 2));
  slabs.addPart("top", Vec(0, 0, 2), Vec(4, 4, 3));
  slabs.finish();
  const unsigned int x = axisDirection(slabs.diagram(), 0), z = axisDirection(slabs.diagram(), 2);
  koHandExplosion setup(slabs.meshGroups(), slabs.diagram());
  setup.split(0, 1, z);
  setup.split(2, 1, z);
  koExplosionDiagram& explosion = setup.finish();
  explosion.computeReferenceGroups();
  const koPrisms prisms(explosion);
  auto align = [&](unsigned int b0, Vec direction0, unsigned int d2, Vec direction2) {
    setup.hierarchy.editNodes()[2].splitDirection = d2;
    explosion.splitData.assign(5, koExplosionDiagram::tSplitData());
    explosion.splitData[0].groupA = 0;
    explosion.splitData[0].groupB = b0;
    explosion.splitData[0].direction = direction0;
    explosion.splitData[0].anchor = Vec(1, 1, 1);
    explosion.splitData[2].groupA = 1;
    explosion.splitData[2].groupB = 2;
    explosion.splitData[2].direction = direction2;
    explosion.splitData[2].anchor = Vec(3, 2, 2);
    explosion.fixTranslationAlignment(prisms.sets, prisms.planes);
  };
  auto data = [&](unsigned int node) { return explosion.getSplitData(node); };
  const Vec axis = prisms.sets[z].directions[0];
  Vec left = axis + Vec(0.05f, 0.0f, 0.0f), right = axis - Vec(0.05f, 0.0f, 0.0f);
  left.Normalize();
  right.Normalize();

  // Both splits cut the middle slab's contacts and face each other: one averaged direction. Each
  // anchor lies in the other's contact region and their spans of the group list overlap: one
  // chain, whose point is the anchor nearer the middle of the footprint, (3, 2) not (1, 1).
  align(2, left, z, right);
  EXPECT_LT((data(0).direction - axis).Length(), 1e-6f);
  EXPECT_EQ(data(0).direction, data(2).direction);
  EXPECT_LT((data(0).anchor - Vec(3, 2, 1)).Length(), 1e-5f);
  EXPECT_LT((data(2).anchor - Vec(3, 2, 2)).Length(), 1e-5f);

  // Spans bottom..middle and middle..top do not overlap: two chains, each its own point.
  align(1, left, z, right);
  EXPECT_EQ(data(0).direction, data(2).direction);
  EXPECT_EQ(data(0).anchor, Vec(1, 1, 1));
  EXPECT_EQ(data(2).anchor, Vec(3, 2, 2));

  // Different direction indexes never meet: each direction is only renormalised.
  align(2, left, x, right);
  EXPECT_LT((data(0).direction - left).Length(), 1e-6f);
  EXPECT_LT((data(2).direction - right).Length(), 1e-6f);
  EXPECT_EQ(data(0).anchor, Vec(1, 1, 1));

  // Opposite directions cancel; the members keep their own.
  align(2, axis, z, -axis);
  EXPECT_EQ(data(0).direction, axis);
  EXPECT_EQ(data(2).direction, -axis);
}

} // namespace
