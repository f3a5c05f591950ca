#include "tolvaneAnimation.h"

#include <koDisassemblyHierarchy.h>
#include <koExplosionDiagram.h>
#include <koMeshGroups.h>

#include <ko/koKeyframeController.h>
#include <ko/koTriMesh.h>

#include <algorithm>

namespace {

tolvanePlan::tTrack readTrack(const ko::koKeyframeController& controller) {
  tolvanePlan::tTrack track;
  for (int k = 0; k < controller.GetKeyQuantity(); ++k) {
    const Wm4::Vector3<float>& offset = controller.TranslationData->GetData()[k];
    track.times.push_back(controller.TranslationTimes->GetData()[k]);
    track.offsets.push_back({offset.X(), offset.Y(), offset.Z()});
  }
  return track;
}

bool isStill(const tolvanePlan::tTrack& track) {
  return std::all_of(track.offsets.begin(), track.offsets.end(),
                     [](const std::array<float, 3>& o) { return o == std::array<float, 3>{}; });
}

} // namespace

tolvaneAnimation animateExplosion(const koExplosionDiagram& explosion, const tolvaneParts& parts,
                                  const tolvaneAnimationStyle& style) {
  koExplodedViewAnimation animation(explosion);
  animation.setAnimationPolicy(style.policy);
  animation.setAnimationPlayStyle(style.playStyle);
  animation.setAnimationBaseSpeed(style.secondsPerStep);
  animation.createKeyFrameControllers();

  tolvaneAnimation result;
  result.splitSteps.assign(explosion.hierarchy.getNoNodes(), 0u);
  if (style.policy == koExplodedViewAnimation::ePolicyOptimal)
    animation.computeOptimalTimeIndex(result.splitSteps);
  else
    animation.computeTimeIndexPerSplit(0, 0, result.splitSteps);
  for (unsigned int v = 0; v < explosion.hierarchy.getNoNodes(); ++v)
    if (explosion.hierarchy.getNode(v).firstChild == koDisassemblyHierarchy::None)
      result.splitSteps[v] = 0;

  // Every mesh of a part is driven by the same keys; the first mesh's controller speaks for it.
  const koMeshGroups& groups = explosion.meshGroups;
  result.tracks.resize(parts.partNames.size());
  for (unsigned int p = 0; p < groups.getNoGroups(); ++p) {
    ko::koTriMesh* mesh = groups.getMesh(p, 0);
    if (mesh->GetControllerQuantity() > 0) {
      result.tracks[p] =
          readTrack(static_cast<const ko::koKeyframeController&>(*mesh->GetController(0)));
      if (!result.tracks[p].times.empty())
        result.duration = std::max(result.duration, result.tracks[p].times.back());
    }
    if (isStill(result.tracks[p]))
      result.tracks[p] = {};
  }
  for (const ko::koPointer<ko::koKeyframeController>& controller : animation.getControllers()) {
    ko::koSpatial* mesh = controller->GetObject();
    mesh->Local.SetTranslate(controller->GetRestTranslation());
    mesh->DetachController(controller);
  }
  return result;
}

const std::map<std::string, koExplodedViewAnimation::tAnimationPolicy> kPolicyNames{
    {"sequential", koExplodedViewAnimation::ePolicySequential},
    {"by-level", koExplodedViewAnimation::ePolicyByLevel},
    {"optimal", koExplodedViewAnimation::ePolicyOptimal}};
const std::map<std::string, koExplodedViewAnimation::tAnimationPlayStyle> kPlayStyleNames{
    {"explode", koExplodedViewAnimation::ePlayExplode},
    {"implode", koExplodedViewAnimation::ePlayImplode},
    {"explode-implode", koExplodedViewAnimation::ePlayExplodeImplode},
    {"implode-explode", koExplodedViewAnimation::ePlayImplodeExplode}};

namespace {

template <typename tValue>
const char* nameOf(const std::map<std::string, tValue>& names, tValue value) {
  for (const auto& [name, named] : names)
    if (named == value)
      return name.c_str();
  return "?";
}

} // namespace

const char* policyName(koExplodedViewAnimation::tAnimationPolicy policy) {
  return nameOf(kPolicyNames, policy);
}

const char* playStyleName(koExplodedViewAnimation::tAnimationPlayStyle style) {
  return nameOf(kPlayStyleNames, style);
}
