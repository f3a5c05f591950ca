#include "koExplodedViewAnimation.h"

#include "koBoxMesh.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koExplosionDiagram.h"
#include "koSampleAssemblies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Animation = koExplodedViewAnimation;
constexpr unsigned int None = 0xFFFFFFFFu;
const Animation::tAnimationPolicy kPolicies[] = {
    Animation::ePolicySequential, Animation::ePolicyByLevel, Animation::ePolicyOptimal};

std::string animate(Animation& animation) {
  testing::internal::CaptureStdout();
  animation.createKeyFrameControllers();
  return testing::internal::GetCapturedStdout();
}

// The split times of the animation's policy, from its own scheduling steps.
std::vector<unsigned int> splitTimes(const Animation& animation) {
  std::vector<unsigned int> times(animation.hierarchy.getNoNodes(), 0u);
  if (animation.animationPolicy == Animation::ePolicyOptimal)
    animation.computeOptimalTimeIndex(times);
  else
    animation.computeTimeIndexPerSplit(0, 0, times);
  return times;
}

// The earliest step of a split that moves the group's leaf away from the rest; None if the leaf
// is on the staying side of every split above it.
unsigned int firstMovingStep(const koExplosionDiagram& diagram,
                             const std::vector<unsigned int>& times, unsigned int group) {
  const koDisassemblyHierarchy& tree = diagram.hierarchy;
  unsigned int first = None;
  for (unsigned int child = tree.getGroupLeaves()[group], x;
       (x = tree.getNode(child).parent) != None; child = x) {
    const auto& split = diagram.getSplitData(x);
    if (split.isValid() &&
        child == (split.moveFirstChild ? tree.getNode(x).firstChild : tree.getNode(x).secondChild))
      first = std::min(first, times[x]);
  }
  return first;
}

struct Exploded {
  explicit Exploded(koSampleAssemblies::Assembly made)
      : assembly(std::move(made)), hierarchy(assembly->meshGroups()),
        builder(hierarchy, assembly->diagram(), 1) {
    builder.initSolver();
    testing::internal::CaptureStdout();  // the splitting prints its timing lines
    builder.computeGroupsHierarchy(0, nullptr);
    diagram = std::make_unique<koExplosionDiagram>(builder);
    diagram->computeTranslationHierarchy(1.0f);
    testing::internal::GetCapturedStdout();
  }
  koSampleAssemblies::Assembly assembly;
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
  std::unique_ptr<koExplosionDiagram> diagram;
};

TEST(koExplodedViewAnimation, BoxAssembliesPlayIntoTheirExplodedView) {
  const std::vector<std::function<koSampleAssemblies::Assembly()>> makers = {
      koSampleAssemblies::boxOnPlate,
      [] { return koSampleAssemblies::stack(5); },
      koSampleAssemblies::pegInBlock,
      koSampleAssemblies::lidWithScrews,
      koSampleAssemblies::gearbox,
      [] { return koSampleAssemblies::brickWall(4, 4); },
      [] { return koSampleAssemblies::randomPacking(40, 3); }};
  for (size_t a = 0; a < makers.size(); ++a) {
    Exploded exploded(makers[a]());
    const koMeshGroups& groups = exploded.assembly->meshGroups();
    // One animation for every policy: each run replaces the controllers of the one before.
    Animation animation(*exploded.diagram);
    animation.setAnimationBaseSpeed(0.5f);
    for (auto policy : kPolicies) {
      SCOPED_TRACE("assembly " + std::to_string(a) + ", policy " + std::to_string(policy));
      animation.setAnimationPolicy(policy);
      EXPECT_EQ(animate(animation), "");
      const std::vector<unsigned int> times = splitTimes(animation);
      ASSERT_EQ(animation.getControllers().size(), groups.meshes.size());
      for (const auto& controller : animation.getControllers()) {
        const auto* mesh = static_cast<const ko::koTriMesh*>(controller->GetObject());
        ASSERT_TRUE(mesh != nullptr && mesh->GetControllerQuantity() == 1);
        EXPECT_EQ(mesh->GetController(0), controller.Get());
        const unsigned int g =
            groups.meshGroupIds[std::find(groups.meshes.begin(), groups.meshes.end(), mesh) -
                                groups.meshes.begin()];
        const Vec3 target = exploded.diagram->getFinalPerGroupTranslation(g);
        EXPECT_LT((controller->GetTranslation(controller->MaxTime + 1.0) - target).Length(), 1e-3f)
            << g;

        // At every key time and halfway between keys: still until its first split opens (the
        // motion of step t runs from t - 1 to t), and inside the swept box.
        const double still = (firstMovingStep(*exploded.diagram, times, g) - 1.0) *
                             animation.getAnimationBaseSpeed();
        const auto& keyTimes = *controller->TranslationTimes;
        for (int k = 0; k < 2 * keyTimes.GetQuantity() - 1; ++k) {
          const double t = 0.5 * (double(keyTimes[k / 2]) + keyTimes[(k + 1) / 2]);
          const Vec3 translation = controller->GetTranslation(t);
          if (t <= still) {
            ASSERT_EQ(translation, Vec3(0, 0, 0)) << "group " << g << " moves at " << t;
          }
          for (int i = 0; i < mesh->VBuffer->GetVertexQuantity(); ++i)
            ASSERT_TRUE(
                animation.getGlobalBBox().contains(mesh->VBuffer->Position3(i) + translation))
                << g;
        }
      }
    }
  }
}

// A plan over unit boxes in a row (group g at x = 2g) whose hierarchy, split records and
// exploded translations are written by hand, so that times and keys can be worked out.
struct HandPlan {
  static std::vector<ko::koTriMesh*> row(unsigned int n,
                                         std::vector<ko::koPointer<ko::koTriMesh>>& keep) {
    for (unsigned int g = 0; g < n; ++g)
      keep.emplace_back(makeBoxMesh("box", Vec3(2.0f * g, 0, 0), Vec3(2.0f * g + 1, 1, 1)));
    return std::vector<ko::koTriMesh*>(keep.begin(), keep.end());
  }
  explicit HandPlan(unsigned int n)
      : groups(row(n, keep), nullptr), contacts(0, 0, groups), hierarchy(groups),
        builder(hierarchy, contacts, 1), diagram(builder) {
    diagram.splitData.resize(hierarchy.getNoNodes());
    diagram.groupMinSplitDistances.assign(n, -1.0f);
  }
  // Node v keeps `staying` groups in its first child; groupA lies there, groupB in the second.
  void split(unsigned int v, unsigned int staying, bool moveFirst, unsigned int groupA,
             unsigned int groupB) {
    const auto parent = hierarchy.getNode(v);
    const unsigned int c1 = hierarchy.requestNewNode({parent.first, staying, None, None, v, None});
    const unsigned int c2 = hierarchy.requestNewNode(
        {parent.first + staying, parent.noGroups - staying, None, None, v, None});
    auto& node = hierarchy.editNodes()[v];
    node.firstChild = c1;
    node.secondChild = c2;
    node.splitDirection = 0;
    auto& record = diagram.splitData[v];
    record.moveFirstChild = moveFirst ? 1u : 0u;
    record.groupA = groupA;
    record.groupB = groupB;
    hierarchy.computeHierarchyIndexing(0);
    diagram.computeReferenceGroups();
  }
  // The keys of group g's controller as "time:x,y,z" (every value here is exact in float).
  std::string keys(const Animation& animation, unsigned int g) const {
    std::ostringstream text;
    for (const auto& c : animation.getControllers())
      for (int k = 0; c->GetObject() == groups.meshes[g] && k < c->GetKeyQuantity(); ++k) {
        const Vec3& v = (*c->TranslationData)[k];
        text << (k ? " " : "") << (*c->TranslationTimes)[k] << ":" << v.X() << "," << v.Y() << ","
             << v.Z();
      }
    return text.str();
  }

  std::vector<ko::koPointer<ko::koTriMesh>> keep;
  koMeshGroups groups;
  koContactDiagram contacts;
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
  koExplosionDiagram diagram;
};

TEST(koExplodedViewAnimation, PoliciesTimeTheSplitsOfAHandTree) {
  // Root (node 0): {0, 1} stays, {2, 3} moves; node 1 parts 0 and 1, node 4 parts 2 and 3.
  HandPlan plan(4);
  plan.split(0, 2, false, 1, 2);
  plan.split(1, 1, false, 0, 1);  // group 1, which the root separates from, moves
  plan.split(4, 1, false, 2, 3);
  Animation animation(plan.diagram);
  auto timesOf = [&](Animation::tAnimationPolicy policy) {
    animation.setAnimationPolicy(policy);
    const std::vector<unsigned int> times = splitTimes(animation);
    return std::vector<unsigned int>{times[0], times[1], times[4]};
  };
  // Depth first; by level, the first child's subtree runs beside the chain of second children.
  EXPECT_EQ(timesOf(Animation::ePolicySequential), (std::vector<unsigned int>{1, 2, 3}));
  EXPECT_EQ(timesOf(Animation::ePolicyByLevel), (std::vector<unsigned int>{1, 2, 2}));
  // Optimal: node 4, in the moving child, opens after the root. Node 1, in the fixed child, could
  // share the root's step, but it moves group 1; once it moves group 0 instead, it can.
  EXPECT_EQ(timesOf(Animation::ePolicyOptimal), (std::vector<unsigned int>{1, 2, 3}));
  plan.diagram.splitData[1].moveFirstChild = 1;
  EXPECT_EQ(timesOf(Animation::ePolicyOptimal), (std::vector<unsigned int>{1, 1, 2}));
}

TEST(koExplodedViewAnimation, PlayStylesAndBaseSpeedShapeTheKeys) {
  HandPlan plan(2);
  plan.split(0, 1, false, 0, 1);
  plan.diagram.finalPerGroupTranslations[1] = Vec3(0, 0, 3);  // the box at x = 2 rises by 3

  Animation animation(plan.diagram);
  animation.setAnimationBaseSpeed(2.5f);
  const std::pair<Animation::tAnimationPlayStyle, const char*> cases[] = {
      {Animation::ePlayExplode, "0:0,0,0 2.5:0,0,3 5:0,0,3"},
      {Animation::ePlayImplode, "0:0,0,3 2.5:0,0,0 5:0,0,0"},
      {Animation::ePlayImplodeExplode, "0:0,0,3 2.5:0,0,0 5:0,0,0 7.5:0,0,3 10:0,0,3"},
      {Animation::ePlayExplodeImplode, "0:0,0,0 2.5:0,0,3 5:0,0,3 7.5:0,0,0 10:0,0,0"}};
  for (const auto& [style, keys] : cases) {
    animation.setAnimationPlayStyle(style);
    EXPECT_EQ(animate(animation), "");
    EXPECT_EQ(plan.keys(animation, 1), keys);
    // The staying box: keys at the same times that never move it.
    std::string still = keys;
    for (size_t at = 0; (at = still.find(",3", at)) != std::string::npos;)
      still.replace(at, 2, ",0");
    EXPECT_EQ(plan.keys(animation, 0), still);
    EXPECT_EQ(animation.getControllers().back()->MaxTime, style < 2 ? 5.0 : 10.0);
    EXPECT_EQ(animation.getGlobalBBox().min, Vec3(0, 0, 0));
    EXPECT_EQ(animation.getGlobalBBox().max, Vec3(3, 1, 4));
  }
  // Each run replaced the controllers of the one before on the meshes.
  EXPECT_EQ(plan.groups.meshes[0]->GetControllerQuantity() +
                plan.groups.meshes[1]->GetControllerQuantity(),
            2);

  // Keys that miss the exploded translation are reported, and the controllers still made: group
  // 0 never moves, group 1 moves only by its offset from group 0.
  plan.diagram.finalPerGroupTranslations[0] = Vec3(1, 0, 0.5f);
  EXPECT_EQ(animate(animation), "error: 0: -1 0 -0.5\nerror: 1: -1 0 -0.5\n");
  EXPECT_EQ(animation.getControllers().size(), 2u);
}

TEST(koExplodedViewAnimation, AxialTravelGathersAtTheClustersOwnStep) {
  // Step 1: group 2 leaves {0, 1} by +4x, positioned against group 1. Step 2: group 1 leaves
  // group 0 and carries group 2 along.
  auto run = [](const Vec3& secondStep, float minDistance) {
    HandPlan plan(3);
    plan.split(0, 2, false, 1, 2);
    plan.split(1, 1, false, 0, 1);
    plan.diagram.finalPerGroupTranslations = {Vec3(0, 0, 0), secondStep,
                                              secondStep + Vec3(4, 0, 0)};
    plan.diagram.groupMinSplitDistances[2] = minDistance;
    Animation animation(plan.diagram);
    EXPECT_EQ(animate(animation), "");
    return plan.keys(animation, 2);
  };
  // Along the axis: all 7 at step 1, nothing when group 1 moves.
  EXPECT_EQ(run(Vec3(3, 0, 0), 1.5f), "0:0,0,0 1:7,0,0 2:7,0,0 3:7,0,0");
  // At least the minimum split distance at step 1; the excess is given back at the end.
  EXPECT_EQ(run(Vec3(3, 0, 0), 9.0f), "0:0,0,0 1:9,0,0 2:7,0,0 3:7,0,0");
  // A carried step more than 10 degrees off the axis stays as it is, axial part included.
  EXPECT_EQ(run(Vec3(1, 3, 0), 1.5f), "0:0,0,0 1:4,0,0 2:5,3,0 3:5,3,0");
}

} // namespace
