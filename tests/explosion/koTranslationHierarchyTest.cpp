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

// The world-space bounds of every mesh, read back from the scene's vertices. Computed from the
// local transformations (the meshes hang from the scene node), not by an update, which would play
// an attached animation.
struct WorldBox {
  float lo[3], hi[3];
  unsigned int group;
};
std::vector<WorldBox> worldBoxes(koBoxAssembly& assembly) {
  const koMeshGroups& groups = assembly.meshGroups();
  std::vector<WorldBox> boxes;
  for (unsigned int m = 0; m < groups.meshes.size(); ++m) {
    WorldBox box{{kInf, kInf, kInf}, {-kInf, -kInf, -kInf}, groups.meshGroupIds[m]};
    const ko::koTriMesh& mesh = *groups.meshes[m];
    ko::koTransformation world;
    world.Product(assembly.scene().Local, mesh.Local);
    for (int i = 0; i < mesh.VBuffer->GetVertexQuantity(); ++i) {
      const Vec p = world.ApplyForward(mesh.VBuffer->Position3(i));
      for (int a = 0; a < 3; ++a) {
        box.lo[a] = std::min(box.lo[a], p[a]);
        box.hi[a] = std::max(box.hi[a], p[a]);
      }
    }
    boxes.push_back(box);
  }
  return boxes;
}

const std::pair<const char*, std::function<koSampleAssemblies::Assembly()>> kAssemblies[] = {
    {"stack", [] { return koSampleAssemblies::stack(5); }},
    {"peg in block", koSampleAssemblies::pegInBlock},
    {"lid with screws", koSampleAssemblies::lidWithScrews},
    {"brick wall", [] { return koSampleAssemblies::brickWall(3, 4); }},
    // Seeds whose plans make a moving side jump past a part it would otherwise end too close to.
    {"random packing 2", [] { return koSampleAssemblies::randomPacking(30, 2); }},
    {"random packing 4", [] { return koSampleAssemblies::randomPacking(30, 4); }},
};

// At every split, parts of the two sides that face each other across the axis end at least the
// gap apart along it (on the library's prisms, and on the baked meshes' own vertices) and in the
// order they had; the moving side travels no further than needed (some facing pair, or the
// split's own pair, is exactly the gap apart); the axis segment runs along the axis; and baking
// the pose into the meshes is taken back by unbaking.
TEST(koTranslationHierarchy, SidesOfEverySplitEndTheGapApart) {
  for (const auto& named : kAssemblies) {
    for (float gap : {0.0f, 0.5f, 2.0f}) {
      SCOPED_TRACE(testing::Message() << named.first << ", gap " << gap);
      auto assembly = named.second();
      koExplodedAssembly exploded(*assembly, gap);
      koExplosionDiagram& explosion = exploded.explosion;
      const koDisassemblyHierarchy& hierarchy = exploded.hierarchy;
      const std::vector<unsigned int>& list = hierarchy.getGroupList();
      std::vector<koExplosionDiagram::tOrthogonalDirectionSet> sets;
      std::vector<Prism> planes;
      explosion.computeBoundingPrisms(sets, planes);
      auto original = [&](unsigned int g, unsigned int d) { return planes[g * sets.size() + d]; };
      auto placed = [&](unsigned int g, unsigned int d) {
        return original(g, d).shifted(sets[d], explosion.getFinalPerGroupTranslation(g));
      };
      // The per-split translations add up to the final ones; a group's leaf carries its own.
      for (unsigned int g = 0; g < assembly->meshGroups().getNoGroups(); ++g) {
        const Vec sum = explosion.computeBakedTranslation(g, 0);
        EXPECT_LT((sum - explosion.getFinalPerGroupTranslation(g)).Length(), kEps) << g;
        const unsigned int leaf = hierarchy.getGroupLeaves()[g];
        EXPECT_EQ(explosion.computeBakedTranslation(g, leaf),
                  explosion.getPerSplitTranslation(leaf));
      }

      explosion.bakeAxes();
      explosion.bakeTranslations();
      const std::vector<WorldBox> boxes = worldBoxes(*assembly);
      unsigned int noAxes = 0, facingPrisms = 0, facingBoxes = 0;
      for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
        const koDisassemblyHierarchy::tTreeNode& node = hierarchy.getNode(v);
        if (node.isLeaf())
          continue;
        const koExplosionDiagram::tSplitData& split = explosion.getSplitData(v);
        ASSERT_TRUE(split.isValid()) << "node " << v;
        const unsigned int d = node.splitDirection;
        const Vec& axis = split.direction;
        const unsigned int staying = split.moveFirstChild ? node.secondChild : node.firstChild;
        EXPECT_EQ(explosion.getPerSplitTranslation(staying), Vec(0.0f, 0.0f, 0.0f)) << v;
        const koExplosionDiagram::tAxis& segment = explosion.getAxis(noAxes++);
        EXPECT_LT((segment.end - segment.start).Cross(axis).Length(), kEps) << "node " << v;

        const float ownPair = ahead(placed(split.groupA, d), placed(split.groupB, d));
        bool tight = std::fabs(ownPair - gap) < kEps;
        const unsigned int secondBegin = hierarchy.getNode(node.secondChild).first;
        for (unsigned int i = node.first; i < secondBegin; ++i) {
          for (unsigned int j = secondBegin; j < node.first + node.noGroups; ++j) {
            const Prism p = placed(list[i], d), q = placed(list[j], d);
            const Prism p0 = original(list[i], d), q0 = original(list[j], d);
            const float overlap = lateralOverlap(p, q);
            tight = tight || (overlap > -kEps && std::fabs(ahead(p, q) - gap) < kEps);
            if (overlap <= kEps)
              continue;
            ++facingPrisms;
            // Parts that faced each other in the assembly keep their order; others may pass.
            const bool mayPass =
                !(lateralOverlap(p0, q0) > kEps && p0.pairs[0].min < q0.pairs[0].max);
            EXPECT_GE(std::max(ahead(p, q), mayPass ? ahead(q, p) : -kInf), gap - kEps)
                << "node " << v << ", groups " << list[i] << " and " << list[j];
          }
        }
        EXPECT_TRUE(tight) << "node " << v << " travels further than its parts need";

        // Box assemblies split along coordinate axes: the other two are lateral.
        int a = 0;
        for (int c = 1; c < 3; ++c)
          a = std::fabs(axis[c]) > std::fabs(axis[a]) ? c : a;
        for (const WorldBox& b : boxes) {
          for (const WorldBox& c : boxes) {
            const unsigned int pb = hierarchy.getGroupPositions()[b.group];
            const unsigned int pc = hierarchy.getGroupPositions()[c.group];
            bool facing = pb >= node.first && pb < secondBegin && pc >= secondBegin &&
                          pc < node.first + node.noGroups;
            for (int x : {(a + 1) % 3, (a + 2) % 3})
              facing = facing && std::min(b.hi[x], c.hi[x]) - std::max(b.lo[x], c.lo[x]) > kEps;
            if (!facing)
              continue;
            ++facingBoxes;
            EXPECT_GE(std::max(c.lo[a] - b.hi[a], b.lo[a] - c.hi[a]), gap - kEps)
                << "node " << v << ", groups " << b.group << " and " << c.group;
          }
        }
      }
      EXPECT_EQ(explosion.getNoAxes(), noAxes);
      // Every split has parts facing each other across it, so the checks above had work.
      EXPECT_GE(facingPrisms, noAxes);
      EXPECT_GE(facingBoxes, noAxes);

      explosion.unbakeTranslations();
      for (ko::koTriMesh* mesh : assembly->meshGroups().meshes) {
        EXPECT_TRUE(mesh->Local.IsIdentity());
        EXPECT_EQ(mesh->Local.GetTranslate(), Vec(0.0f, 0.0f, 0.0f));
      }
    }
  }
}

// Answers read off the geometry: stacked layers open by exactly the gap, the plate stays and every
// layer's own travel is the gap; of two equal cubes the second child moves.
TEST(koTranslationHierarchy, StackedLayersAndEqualTwins) {
  const Vec zero(0.0f, 0.0f, 0.0f);
  for (float gap : {0.0f, 0.25f, 2.0f}) {
    SCOPED_TRACE(testing::Message() << "gap " << gap);
    auto stack = koSampleAssemblies::stack(5);
    koExplodedAssembly stacked(*stack, gap);
    const koExplosionDiagram& layers = stacked.explosion;
    EXPECT_EQ(layers.getFinalPerGroupTranslation(0), zero);
    EXPECT_EQ(layers.getGroupMinSplitDistance(0), -1.0f);
    for (unsigned int g = 1; g <= 5; ++g) {
      const Vec rise =
          layers.getFinalPerGroupTranslation(g) - layers.getFinalPerGroupTranslation(g - 1);
      EXPECT_LT((rise - Vec(0.0f, 0.0f, gap)).Length(), 1e-5f) << g;
      EXPECT_FLOAT_EQ(layers.getGroupMinSplitDistance(g), gap) << g;
    }

    koBoxAssembly twins;
    twins.addPart("low", Vec(0, 0, 0), Vec(1, 1, 1));
    twins.addPart("high", Vec(0, 0, 1), Vec(1, 1, 2));
    twins.finish();
    koExplodedAssembly split(twins, gap);
    const std::vector<unsigned int>& list = split.hierarchy.getGroupList();
    EXPECT_EQ(split.explosion.getSplitData(0).moveFirstChild, 0u);
    EXPECT_EQ(split.explosion.getFinalPerGroupTranslation(list[0]), zero);
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
  unsigned int x = 0, z = 0;
  for (unsigned int k = 0; k < boxes.diagram().getNoDirections(); ++k) {
    x = std::fabs(boxes.diagram().getDirectionFromId(k).X()) > 0.5 ? k : x;
    z = std::fabs(boxes.diagram().getDirectionFromId(k).Z()) > 0.5 ? k : z;
  }
  // The box further along direction x moves, from the other one.
  const bool rightLast = boxes.diagram().getDirectionFromId(x).X() > 0.0;
  koHandExplosion plan(boxes.meshGroups(), boxes.diagram());
  plan.hierarchy.editGroupList() = {0, rightLast ? 1u : 2u, rightLast ? 2u : 1u};
  plan.split(0, 1, z);
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
  const Vec offset =
      explosion.getFinalPerGroupTranslation(2) - explosion.getFinalPerGroupTranslation(1);
  EXPECT_LT((offset - Vec(-2.0f, 0.0f, 0.0f)).Length(), 1e-5f);
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
      const std::vector<ko::koTriMesh*>& meshes = assembly->meshGroups().meshes;
      meshes[3]->Local.SetTranslate(Vec(0.5f, 0.0f, 0.0f));
      assembly->scene().Local.SetMatrix(
          Wm4::Matrix3<float>(Vec(1.0f, 2.0f, 2.0f) / 3.0f, 0.7f) * scale);
      assembly->scene().UpdateGS();
      const std::vector<WorldBox> assembled = worldBoxes(*assembly);
      std::vector<Vec> locals;
      for (ko::koTriMesh* mesh : meshes)
        locals.push_back(mesh->Local.GetTranslate());

      Animation animation(exploded.explosion);
      animation.setAnimationPlayStyle(Animation::tAnimationPlayStyle(style));
      animation.createKeyFrameControllers();
      // World coordinates carry the scale, and their rounding with them.
      const float tolerance = 1e-4f * std::max(1.0f, scale);
      auto expectPose = [&](bool explodedPose, const char* when) {
        const std::vector<WorldBox> now = worldBoxes(*assembly);
        for (size_t m = 0; m < now.size(); ++m) {
          const Vec t = explodedPose
                            ? exploded.explosion.getFinalPerGroupTranslation(now[m].group)
                            : Vec(0.0f, 0.0f, 0.0f);
          for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(now[m].lo[a] - assembled[m].lo[a], t[a], tolerance)
                << when << ", mesh " << m;
        }
      };

      exploded.explosion.bakeTranslations();
      expectPose(true, "baked");
      for (ko::koTriMesh* mesh : meshes)
        EXPECT_TRUE(mesh->isChanged());
      exploded.explosion.unbakeTranslations();
      for (size_t m = 0; m < meshes.size(); ++m) {
        EXPECT_LT((meshes[m]->Local.GetTranslate() - locals[m]).Length(), 1e-6f) << "mesh " << m;
        EXPECT_EQ(meshes[m]->Local.IsIdentity(), m != 3);
      }

      const bool startsExploded = style == Animation::ePlayImplode ||
                                  style == Animation::ePlayImplodeExplode;
      const bool endsExploded = style == Animation::ePlayExplode ||
                                style == Animation::ePlayImplodeExplode;
      assembly->scene().UpdateGS(0.0);
      expectPose(startsExploded, "first frame");
      assembly->scene().UpdateGS(animation.getControllers()[0]->MaxTime);
      expectPose(endsExploded, "last frame");
    }
  }
}

} // namespace
