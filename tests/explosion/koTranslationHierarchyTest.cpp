#include "explosion/koExplosionDiagramFixture.h"
#include "koExplodedViewAnimation.h"
#include "koMeshGroups.h"
#include "koSampleAssemblies.h"

#include <ko/koNode.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

using Vec = Wm4::Vector3<float>;
using Prism = koExplosionDiagram::tBoundingPlanesMinMax;
constexpr float kEps = 1e-3f;
constexpr float kInf = std::numeric_limits<float>::infinity();

// The smallest overlap over the lateral pairs: negative when the prisms miss each other.
float lateralOverlap(const Prism& p, const Prism& q) {
  float overlap = kInf;
  for (int k = 1; k < 5; ++k)
    overlap = std::min({overlap, p.pairs[k].max - q.pairs[k].min, q.pairs[k].max - p.pairs[k].min});
  return overlap;
}
// How far q starts past the end of p along the axis.
float ahead(const Prism& p, const Prism& q) { return q.pairs[0].min - p.pairs[0].max; }

const std::pair<const char*, std::function<koSampleAssemblies::Assembly()>> kAssemblies[] = {
    {"stack", [] { return koSampleAssemblies::stack(5); }},
    {"peg in block", koSampleAssemblies::pegInBlock},
    {"lid with screws", koSampleAssemblies::lidWithScrews},
    {"brick wall", [] { return koSampleAssemblies::brickWall(3, 4); }},
    // Seeds whose plans make a moving side jump past a part it would otherwise end too close to.
    {"random packing 2", [] { return koSampleAssemblies::randomPacking(30, 2); }},
    {"random packing 4", [] { return koSampleAssemblies::randomPacking(30, 4); }},
};

// At every split, parts of the two sides that face each other end at least the gap apart, in
// their order if they faced each other in the assembly; the moving side travels no further than
// needed (a facing pair, or the split's own pair, is exactly the gap apart), the other not at all;
// the axis segment runs along the axis; the per-split translations add up to the final ones.
TEST(koTranslationHierarchy, SidesOfEverySplitEndTheGapApart) {
  for (const auto& named : kAssemblies) {
    for (float gap : {0.0f, 0.5f, 2.0f}) {
      SCOPED_TRACE(testing::Message() << named.first << ", gap " << gap);
      auto assembly = named.second();
      koExplodedAssembly exploded(*assembly, gap);
      koExplosionDiagram& explosion = exploded.explosion;
      const koDisassemblyHierarchy& hierarchy = exploded.hierarchy;
      const std::vector<unsigned int>& list = hierarchy.getGroupList();
      const koPrisms prisms(explosion);
      auto original = [&](unsigned int g, unsigned int d) {
        return prisms.planes[g * prisms.sets.size() + d];
      };
      auto placed = [&](unsigned int g, unsigned int d) {
        return original(g, d).shifted(prisms.sets[d], explosion.getFinalPerGroupTranslation(g));
      };
      for (unsigned int g = 0; g < assembly->meshGroups().getNoGroups(); ++g) {
        const Vec sum = explosion.computeBakedTranslation(g, 0);
        EXPECT_LT((sum - explosion.getFinalPerGroupTranslation(g)).Length(), kEps) << g;
      }

      explosion.bakeAxes();
      unsigned int noAxes = 0, noFacing = 0;
      for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
        const koDisassemblyHierarchy::tTreeNode& node = hierarchy.getNode(v);
        if (node.isLeaf())
          continue;
        const koExplosionDiagram::tSplitData& split = explosion.getSplitData(v);
        ASSERT_TRUE(split.isValid()) << "node " << v;
        const unsigned int d = node.splitDirection;
        const unsigned int staying = split.moveFirstChild ? node.secondChild : node.firstChild;
        EXPECT_EQ(explosion.getPerSplitTranslation(staying), Vec(0.0f, 0.0f, 0.0f)) << v;
        const koExplosionDiagram::tAxis& segment = explosion.getAxis(noAxes++);
        EXPECT_LT((segment.end - segment.start).Cross(split.direction).Length(), kEps) << v;

        const float ownPair = ahead(placed(split.groupA, d), placed(split.groupB, d));
        bool tight = std::fabs(ownPair - gap) < kEps;
        const unsigned int secondBegin = hierarchy.getNode(node.secondChild).first;
        for (unsigned int i = node.first; i < secondBegin; ++i) {
          for (unsigned int j = secondBegin; j < node.first + node.noGroups; ++j) {
            const Prism p = placed(list[i], d), q = placed(list[j], d);
            const Prism p0 = original(list[i], d), q0 = original(list[j], d);
            const float overlap = lateralOverlap(p, q);
            // Only parts that face each other (a positive overlap, however small) set the travel.
            tight = tight || (overlap > 0.0f && (std::fabs(ahead(p, q) - gap) < kEps ||
                                                 std::fabs(ahead(q, p) - gap) < kEps));
            if (overlap <= kEps)
              continue;
            ++noFacing;
            const bool mayPass =
                !(lateralOverlap(p0, q0) > kEps && p0.pairs[0].min < q0.pairs[0].max);
            EXPECT_GE(std::max(ahead(p, q), mayPass ? ahead(q, p) : -kInf), gap - kEps)
                << "node " << v << ", groups " << list[i] << " and " << list[j];
          }
        }
        EXPECT_TRUE(tight) << "node " << v << " travels further than its parts need";
      }
      EXPECT_EQ(explosion.getNoAxes(), noAxes);
      // Every split has parts facing each other across it, so the checks above had work.
      EXPECT_GE(noFacing, noAxes);
    }
  }
}

// Read off the geometry: the plate stays and every layer's own travel is the gap; of two equal
// cubes the second child moves.
TEST(koTranslationHierarchy, StackedLayersAndEqualTwins) {
  for (float gap : {0.0f, 0.25f, 2.0f}) {
    SCOPED_TRACE(testing::Message() << "gap " << gap);
    auto stack = koSampleAssemblies::stack(5);
    koExplodedAssembly stacked(*stack, gap);
    const koExplosionDiagram& layers = stacked.explosion;
    EXPECT_EQ(layers.getFinalPerGroupTranslation(0), Vec(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(layers.getGroupMinSplitDistance(0), -1.0f);
    for (unsigned int g = 1; g <= 5; ++g)
      EXPECT_FLOAT_EQ(layers.getGroupMinSplitDistance(g), gap) << g;

    koBoxAssembly twins;
    twins.addPart("low", Vec(0, 0, 0), Vec(1, 1, 1));
    twins.addPart("high", Vec(0, 0, 1), Vec(1, 1, 2));
    twins.finish();
    koExplodedAssembly split(twins, gap);
    const std::vector<unsigned int>& list = split.hierarchy.getGroupList();
    EXPECT_EQ(split.explosion.getSplitData(0).moveFirstChild, 0u);
    EXPECT_EQ(split.explosion.getFinalPerGroupTranslation(list[0]), Vec(0.0f, 0.0f, 0.0f));
    EXPECT_FLOAT_EQ(split.explosion.getFinalPerGroupTranslation(list[1]).Length(), gap);
  }
}

// Two boxes on a plate, the plate split off first: no contact joins the boxes, so they are paired
// through the plate's split and anchored at the least-squares centre of where their prisms meet.
TEST(koTranslationHierarchy, SidesWithoutContactsArePairedByTheirPrisms) {
  koBoxAssembly boxes;
  boxes.addPart("plate", Vec(0, 0, 0), Vec(10, 10, 1));
  boxes.addPart("left", Vec(1, 1, 1), Vec(3, 3, 3));
  boxes.addPart("right", Vec(6, 5, 1), Vec(8, 8, 4));
  boxes.finish();
  const unsigned int x = axisDirection(boxes.diagram(), 0);
  // The box further along direction x moves, from the other one.
  const bool rightLast = boxes.diagram().getDirectionFromId(x).X() > 0.0;
  koHandExplosion plan(boxes.meshGroups(), boxes.diagram());
  plan.hierarchy.editGroupList() = {0, rightLast ? 1u : 2u, rightLast ? 2u : 1u};
  plan.split(0, 1, axisDirection(boxes.diagram(), 2));
  plan.split(2, 1, x);
  plan.hierarchy.computeHierarchyIndexing(0);
  koDisassemblyHierarchy replayed(boxes.meshGroups());
  koDisassemblyHierarchyBuilder builder(replayed, boxes.diagram(), 1);
  builder.initSolver();
  testing::internal::CaptureStdout();
  builder.copyGroupsHierarchy(plan.hierarchy);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(builder.getNodeMetadata(2).referenceNode, 0u);
  koExplosionDiagram explosion(builder);
  explosion.computeTranslationHierarchy(1.0f);

  const koExplosionDiagram::tSplitData& split = explosion.getSplitData(2);
  EXPECT_EQ(split.groupA, rightLast ? 1u : 2u);
  EXPECT_EQ(split.groupB, rightLast ? 2u : 1u);
  // Middles of the common slabs: x 4.5, y 4, z 2, y + z 6, y - z 1.5; least squares in y, z.
  EXPECT_LT((split.anchor - Vec(4.5f, 3.875f, 2.125f)).Length(), 1e-4f);
  // The boxes do not face each other along x: the moving one ends just the gap past the other.
  EXPECT_LT((explosion.getFinalPerGroupTranslation(2) - explosion.getFinalPerGroupTranslation(1) -
             Vec(-2.0f, 0.0f, 0.0f)).Length(), 1e-5f);
}

// The lowest world coordinates of every mesh (hung from the scene node), through the local
// transformations: an update would play an attached animation.
std::vector<Vec> worldCorners(koBoxAssembly& assembly) {
  std::vector<Vec> corners;
  for (const ko::koTriMesh* mesh : assembly.meshGroups().meshes) {
    ko::koTransformation world;
    world.Product(assembly.scene().Local, mesh->Local);
    Vec& low = corners.emplace_back(kInf, kInf, kInf);
    for (int i = 0; i < mesh->VBuffer->GetVertexQuantity(); ++i)
      for (int a = 0; a < 3; ++a)
        low[a] = std::min(low[a], world.ApplyForward(mesh->VBuffer->Position3(i))[a]);
  }
  return corners;
}

// Under a rotated parent of any unit (a general matrix, from a millimetre to a kilometre scale),
// with the exploded view's animation attached in any play style: baking moves every mesh by its
// group's translation in world space, unbaking restores every local translation and identity
// flag, and the animation starts and ends in the assembled or the baked pose as its style says.
TEST(koTranslationHierarchy, BakingMovesMeshesInWorldSpace) {
  using Animation = koExplodedViewAnimation;
  for (float scale : {1e-3f, 1.0f, 1e3f}) {
    for (int style = 0; style < 4; ++style) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << ", play style " << style);
      auto assembly = koSampleAssemblies::lidWithScrews();
      koExplodedAssembly exploded(*assembly, 1.5f);
      const koMeshGroups& groups = assembly->meshGroups();
      // Mesh 3 has its own place and scale, which must not scale its offsets.
      const Vec moved(0.5f, 0.0f, 0.0f);
      groups.meshes[3]->Local.SetTranslate(moved);
      groups.meshes[3]->Local.SetUniformScale(2.0f);
      assembly->scene().Local.SetMatrix(
          Wm4::Matrix3<float>(Vec(1.0f, 2.0f, 2.0f) / 3.0f, 0.7f) * scale);
      assembly->scene().UpdateGS();
      const std::vector<Vec> assembled = worldCorners(*assembly);
      Animation animation(exploded.explosion);
      animation.setAnimationPlayStyle(Animation::tAnimationPlayStyle(style));
      animation.createKeyFrameControllers();
      auto expectPose = [&](bool explodedPose, const char* when) {
        const std::vector<Vec> now = worldCorners(*assembly);
        for (size_t m = 0; m < now.size(); ++m) {
          const Vec t = exploded.explosion.getFinalPerGroupTranslation(groups.meshGroupIds[m]) *
                        (explodedPose ? 1.0f : 0.0f);
          // World coordinates carry the scale, and their rounding with them.
          for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(now[m][a] - assembled[m][a], t[a], 1e-4f * std::max(1.0f, scale))
                << when << ", mesh " << m;
        }
      };

      exploded.explosion.bakeTranslations();
      expectPose(true, "baked");
      for (ko::koTriMesh* mesh : groups.meshes)
        EXPECT_TRUE(mesh->isChanged());
      exploded.explosion.unbakeTranslations();
      for (size_t m = 0; m < groups.meshes.size(); ++m) {
        const Vec local = m == 3 ? moved : Vec(0.0f, 0.0f, 0.0f);
        EXPECT_LT((groups.meshes[m]->Local.GetTranslate() - local).Length(), 1e-6f) << m;
        EXPECT_EQ(groups.meshes[m]->Local.IsIdentity(), m != 3) << m;
      }
      const bool startsExploded =
          style == Animation::ePlayImplode || style == Animation::ePlayImplodeExplode;
      assembly->scene().UpdateGS(0.0);
      expectPose(startsExploded, "first frame");
      assembly->scene().UpdateGS(animation.getControllers()[0]->MaxTime);
      expectPose(style == Animation::ePlayExplode || style == Animation::ePlayImplodeExplode,
                 "last frame");
      // Made again after playing, the animation still starts from the assembled place.
      animation.createKeyFrameControllers();
      assembly->scene().UpdateGS(0.0);
      expectPose(startsExploded, "first frame, made again");
    }
  }
}

} // namespace
