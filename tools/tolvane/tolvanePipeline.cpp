#include "tolvanePipeline.h"

#include "tolvaneCollisionCheck.h"
#include "tolvaneProgressBar.h"

#include <ko/koBBox.h>
#include <ko/koMeshManager.h>
#include <ko/koSystemUtils.h>

#include <algorithm>
#include <iostream>

namespace {

// The library writes its timing lines to std::cout; a failed stream drops them, and the state is
// restored when the guard goes.
class tStdoutMute {
public:
  explicit tStdoutMute(bool active) : mActive(active) {
    if (mActive)
      std::cout.setstate(std::ios::badbit);
  }
  ~tStdoutMute() {
    if (mActive)
      std::cout.clear();
  }
  tStdoutMute(const tStdoutMute&) = delete;
  tStdoutMute& operator=(const tStdoutMute&) = delete;

private:
  bool mActive;
};

// Milliseconds of each stage, in the order run.
class tStageClock {
public:
  explicit tStageClock(tolvanePlan& plan)
      : mPlan(plan), mStart(ko::koSystemUtils::GetTimeBaseMs()) {}
  void lap(const char* stage) {
    const double now = ko::koSystemUtils::GetTimeBaseMs();
    mPlan.timingsMs.emplace_back(stage, now - mStart);
    mStart = now;
  }

private:
  tolvanePlan& mPlan;
  double mStart;
};

float largestExtent(const std::vector<tolvaneMeshInstance>& instances) {
  koBBox box;
  for (const tolvaneMeshInstance& instance : instances) {
    const ko::koVertexBuffer& vertices = *instance.mesh->VBuffer;
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
      box.grow(vertices.Position3(v));
  }
  if (box.isEmpty())
    return 0.0f;
  const Wm4::Vector3<float> size = box.max - box.min;
  return std::max({size.X(), size.Y(), size.Z()});
}

} // namespace

tolvanePipeline::tolvanePipeline(tolvaneImport& import, const tolvaneParts& parts)
    : mImport(import), mParts(parts) {}

void tolvanePipeline::run(const tolvaneSettings& settings, double importMs) {
  mPlan.timingsMs.emplace_back("import", importMs);
  const float extent = largestExtent(mImport.instances);
  const tolvaneAnimationStyle& style = settings.animation;
  mPlan.animation.requestedPolicy = settings.autoPolicy ? "auto" : policyName(style.policy);
  mPlan.animation.policy = policyName(style.policy);
  mPlan.animation.playStyle = playStyleName(style.playStyle);
  mPlan.animation.secondsPerStep = style.secondsPerStep;
  mPlan.gap = settings.gap >= 0.0f ? settings.gap : 0.1f * extent;
  mQuiet = settings.quiet;
  const tStdoutMute mute(mQuiet);
  tStageClock clock(mPlan);
  if (mParts.partNames.size() > 1) {
    std::vector<ko::koTriMesh*> meshes;
    for (const tolvaneMeshInstance& instance : mImport.instances)
      meshes.push_back(instance.mesh);
    mGroups = std::make_unique<koMeshGroups>(meshes, &mParts.partOfMesh);
    std::FILE* const bars = settings.progress ? stderr : nullptr;
    tolvaneProgressBar contactsBar(bars, "contacts");
    mDiagram = std::make_unique<koContactDiagram>(*mGroups, settings.threads,
                                                  contactsBar.notifier());
    contactsBar.finish();
    mDiagram->computeDirectionSet(settings.angleDegrees);
    clock.lap("contacts");
    mHierarchy = std::make_unique<koDisassemblyHierarchy>(*mGroups);
    mBuilder = std::make_unique<koDisassemblyHierarchyBuilder>(*mHierarchy, *mDiagram,
                                                               settings.threads);
    if (settings.distantContacts) {
      tolvaneProgressBar distantBar(bars, "distant contacts");
      koDistantContacts(*mBuilder).computeDistantContacts(settings.threads, distantBar.notifier());
      distantBar.finish();
      clock.lap("distantContacts");
    }
    mBuilder->initSolver();
    tolvaneProgressBar splittingBar(bars, "splitting");
    mBuilder->computeGroupsHierarchy(0, splittingBar.notifier());
    splittingBar.finish();
    clock.lap("splitting");
    mExplosion = std::make_unique<koExplosionDiagram>(*mBuilder);
    mExplosion->computeTranslationHierarchy(mPlan.gap);
    clock.lap("explosion");
  }
  fillPlan();
  if (mExplosion) {
    animate(settings, extent);
    clock.lap("animation");
  }
}

void tolvanePipeline::animate(const tolvaneSettings& settings, float extent) {
  using tAnimation = koExplodedViewAnimation;
  tolvanePlan::tAnimation& plan = mPlan.animation;
  const tolvaneAnimationStyle& style = settings.animation;

  // Candidates in the order they are looked at: the fastest first, ties to the lower policy.
  std::vector<std::pair<tolvaneAnimation, tAnimation::tAnimationPolicy>> candidates;
  const std::vector<tAnimation::tAnimationPolicy> policies =
      settings.autoPolicy ? std::vector<tAnimation::tAnimationPolicy>{tAnimation::ePolicySequential,
                                                                      tAnimation::ePolicyByLevel,
                                                                      tAnimation::ePolicyOptimal}
                          : std::vector<tAnimation::tAnimationPolicy>{style.policy};
  for (tAnimation::tAnimationPolicy policy : policies)
    candidates.emplace_back(animateExplosion(*mExplosion, mParts,
                                             {policy, tAnimation::ePlayExplode,
                                              style.secondsPerStep}),
                            policy);
  std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
    return a.first.duration < b.first.duration;
  });

  // Faces that touch are moved apart by twice the margin before frames are compared; the frames
  // are close enough that no part jumps more than half a percent of the assembly.
  tolvaneCollisionCheck check(mImport, mParts, 0.002f * extent, 0.005f * extent);
  // Without a collision-free candidate: sequential for auto, else the one asked for.
  auto played = std::find_if(candidates.begin(), candidates.end(), [&](const auto& candidate) {
    return candidate.second == (settings.autoPolicy ? tAnimation::ePolicySequential : style.policy);
  });
  for (auto candidate = candidates.begin(); candidate != candidates.end(); ++candidate) {
    const std::optional<tolvanePlan::tCollision> collision =
        check.findFirstCollision(candidate->first.tracks);
    plan.checks.push_back({policyName(candidate->second), candidate->first.duration,
                           check.framesChecked(), collision});
    if (!collision) {
      played = candidate;
      break;
    }
  }

  // The candidates play the explode style; any other is made anew.
  const tolvaneAnimation animation =
      style.playStyle == tAnimation::ePlayExplode
          ? std::move(played->first)
          : animateExplosion(*mExplosion, mParts,
                             {played->second, style.playStyle, style.secondsPerStep});
  plan.policy = policyName(played->second);
  plan.duration = animation.duration;
  mPlan.tracks = animation.tracks;
  for (unsigned int v = 0; v < animation.splitSteps.size(); ++v)
    if (const unsigned int step = animation.splitSteps[v])
      plan.steps.push_back({v, step, static_cast<float>(step - 1) * style.secondsPerStep,
                            static_cast<float>(step) * style.secondsPerStep});
}

tolvaneRemoval tolvanePipeline::removal(unsigned int part) const {
  if (!mBuilder)  // a single part: it is free already
    return {part, {{{part}, {0.0, 0.0, 0.0}, 0.0f, 0.0f, 0.0f}}, {{}}};
  const tStdoutMute mute(mQuiet);
  return planRemoval(*mBuilder, mImport, mParts, part, mPlan.gap,
                     mPlan.animation.secondsPerStep);
}

void tolvanePipeline::fillPlan() {
  for (const std::string& name : mParts.partNames)
    mPlan.parts.push_back({name, {}, {0.0f, 0.0f, 0.0f}});
  for (size_t i = 0; i < mImport.instances.size(); ++i)
    mPlan.parts[mParts.partOfMesh[i]].meshes.push_back(mImport.instances[i].meshName);
  if (!mExplosion)
    return;
  for (unsigned int p = 0; p < mPlan.parts.size(); ++p) {
    const Wm4::Vector3<float>& t = mExplosion->getFinalPerGroupTranslation(p);
    mPlan.parts[p].translation = {t.X(), t.Y(), t.Z()};
  }
  mExplosion->bakeAxes();
  for (unsigned int a = 0; a < mExplosion->getNoAxes(); ++a) {
    const koExplosionDiagram::tAxis& axis = mExplosion->getAxis(a);
    if (axis.groupA != koExplosionDiagram::NoGroupA && axis.groupB != koExplosionDiagram::None)
      mPlan.axes.push_back({{axis.start.X(), axis.start.Y(), axis.start.Z()},
                            {axis.end.X(), axis.end.Y(), axis.end.Z()}});
  }
  for (unsigned int k = 0; k < mDiagram->getNoDirections(); ++k) {
    const Wm4::Vector3<double>& d = mDiagram->getDirectionFromId(k);
    mPlan.directions.push_back({d.X(), d.Y(), d.Z()});
  }
  const std::vector<unsigned int>& groupList = mHierarchy->getGroupList();
  const auto partsOf = [&](unsigned int node) {
    const koDisassemblyHierarchy::tTreeNode& tree = mHierarchy->getNode(node);
    return std::vector<unsigned int>(groupList.begin() + tree.first,
                                     groupList.begin() + tree.first + tree.noGroups);
  };
  for (unsigned int v = 0; v < mHierarchy->getNoNodes(); ++v) {
    const koDisassemblyHierarchy::tTreeNode& tree = mHierarchy->getNode(v);
    // Unused slots hold None everywhere; unsplit nodes are leaves.
    if (tree.noGroups == koDisassemblyHierarchy::None || tree.isLeaf())
      continue;
    mPlan.hierarchy.push_back(
        {v, partsOf(tree.firstChild), partsOf(tree.secondChild), tree.splitDirection});
  }
}

bool tolvanePipeline::saveExploded(const std::string& path) const {
  // Baking moves the meshes' local translations; saveMesh reads world transformations.
  if (mExplosion)
    mExplosion->bakeTranslations();
  mImport.scene->UpdateGS();
  const bool saved = ko::koMeshManager::saveMesh(path, mImport.scene, nullptr, {});
  if (mExplosion)
    mExplosion->unbakeTranslations();
  mImport.scene->UpdateGS();
  return saved;
}
