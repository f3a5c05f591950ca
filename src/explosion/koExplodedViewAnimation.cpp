// The animation as a whole: times, keys and clamping, then per cluster the key arrays, their
// check, the swept box and the controllers.

#include "koExplodedViewAnimation.h"

#include "koDisassemblyHierarchy.h"
#include "koExplosionDiagram.h"
#include "koMeshGroups.h"

#include <ko/koTSharedArray.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <iostream>

namespace {

// A cluster's keys may miss its exploded translation by this much (model units) before it is
// reported.
constexpr float kEndTolerance = 0.001f;

struct tTimedTranslation {
  float time;
  Wm4::Vector3<float> translation;
};

} // namespace

koExplodedViewAnimation::koExplodedViewAnimation(const koExplosionDiagram& diagram)
    : meshGroups(diagram.meshGroups), hierarchy(diagram.hierarchy), explosionDiagram(diagram),
      animationPolicy(ePolicyOptimal), animationPlayStyle(ePlayExplode), animationBaseSpeed(1.0f),
      holdTime(1.0f) {}

void koExplodedViewAnimation::createKeyFrameControllers() {
  // The controllers of an earlier call leave their meshes, which go back to rest first so that
  // the new controllers take the assembled place as theirs; a mesh that died has already dropped
  // them.
  for (const ko::koPointer<ko::koKeyframeController>& controller : controllers) {
    if (ko::koSpatial* mesh = controller->GetObject()) {
      mesh->Local.SetTranslate(controller->GetRestTranslation());
      mesh->DetachController(controller);
    }
  }
  controllers.clear();

  const unsigned int n = meshGroups.getNoGroups();
  std::vector<unsigned int> referenceSplits;
  computePerGroupReferenceSplit(referenceSplits);
  globalBBox.makeEmpty();

  std::vector<unsigned int> times(hierarchy.getNoNodes(), 0u);
  if (animationPolicy != ePolicyOptimal)
    computeTimeIndexPerSplit(0, 0, times);
  else
    computeOptimalTimeIndex(times);

  std::vector<tKeyMap> keys(n);
  createKeyFramesIteration(0, keys, times, referenceSplits);
  computeTranslationClamping(keys, times, referenceSplits);

  unsigned int maxTime = 0;
  for (unsigned int r = 0; r < n; ++r)
    if (explosionDiagram.getReferenceGroup(r) == r && !keys[r].empty())
      maxTime = std::max(maxTime, keys[r].rbegin()->first);

  for (unsigned int r = 0; r < n; ++r)
    if (explosionDiagram.getReferenceGroup(r) == r)
      createClusterControllers(r, keys[r], maxTime);
}

void koExplodedViewAnimation::createClusterControllers(unsigned int r, const tKeyMap& keys,
                                                       unsigned int maxTime) {
  const bool twoHalves =
      animationPlayStyle == ePlayImplodeExplode || animationPlayStyle == ePlayExplodeImplode;
  const bool startExploded =
      animationPlayStyle == ePlayImplode || animationPlayStyle == ePlayImplodeExplode;
  const float end = twoHalves ? 2.0f * (maxTime + holdTime) : maxTime + holdTime;

  // The explode half: cumulative translations from the assembled pose, holding still across
  // time steps in which the cluster does not move (the controller interpolates linearly).
  std::vector<tTimedTranslation> explode;
  Wm4::Vector3<float> position(0.0f, 0.0f, 0.0f);
  explode.push_back({0.0f, position});
  unsigned int previous = 0;
  for (const auto& [t, key] : keys) {
    if (t > previous + 1)
      explode.push_back({static_cast<float>(t - 1), position});
    position += key.increment;
    explode.push_back({static_cast<float>(t), position});
    previous = t;
  }
  if (previous < maxTime)
    explode.push_back({static_cast<float>(maxTime), position});
  const size_t c = explode.size();

  std::vector<tTimedTranslation> played(explode);
  if (startExploded)
    for (size_t i = 0; i < c; ++i)
      played[i] = {maxTime - explode[c - 1 - i].time, explode[c - 1 - i].translation};
  if (twoHalves)
    for (size_t j = 0; j < c; ++j)
      played.push_back(
          {maxTime - played[c - 1 - j].time + maxTime + holdTime, played[c - 1 - j].translation});
  played.push_back({end, twoHalves ? played[0].translation : played[c - 1].translation});

  const int noKeys = static_cast<int>(played.size());
  auto* times = new float[played.size()];
  auto* translations = new Wm4::Vector3<float>[played.size()];
  for (size_t i = 0; i < played.size(); ++i) {
    times[i] = played[i].time * animationBaseSpeed;
    translations[i] = played[i].translation;
  }
  ko::koPointer<ko::koTSharedArray<float>> timeArray = new ko::koTSharedArray<float>(noKeys, times);
  ko::koPointer<ko::koTSharedArray<Wm4::Vector3<float>>> translationArray =
      new ko::koTSharedArray<Wm4::Vector3<float>>(noKeys, translations);

  const Wm4::Vector3<float> miss = position - explosionDiagram.getFinalPerGroupTranslation(r);
  if (miss.Length() > kEndTolerance)
    std::cout << "error: " << r << ": " << static_cast<double>(miss.X()) << " "
              << static_cast<double>(miss.Y()) << " " << static_cast<double>(miss.Z()) << std::endl;

  // The cluster's vertices stay within their box moved by a translation within the keys' box,
  // since the controller interpolates between keys.
  koBBox travel;
  for (size_t i = 0; i < played.size(); ++i)
    travel.grow(translations[i]);
  koBBox vertices;
  const koDisassemblyHierarchy::tTreeNode& leaf = hierarchy.getNode(hierarchy.getGroupLeaves()[r]);
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  for (unsigned int pos = leaf.first; pos < leaf.first + leaf.noGroups; ++pos) {
    const unsigned int g = groupList[pos];
    for (unsigned int k = 0; k < meshGroups.getNoMeshes(g); ++k) {
      const ko::koTriMesh* mesh = meshGroups.getMesh(g, k);
      if (mesh == nullptr || mesh->VBuffer == nullptr)
        continue;
      const ko::koVertexBuffer& buffer = *mesh->VBuffer;
      for (int i = 0; i < buffer.GetVertexQuantity(); ++i)
        vertices.grow(buffer.Position3(i));
    }
  }
  if (!vertices.isEmpty()) {
    globalBBox.grow(vertices.min + travel.min);
    globalBBox.grow(vertices.max + travel.max);
  }

  for (unsigned int pos = leaf.first; pos < leaf.first + leaf.noGroups; ++pos) {
    const unsigned int g = groupList[pos];
    for (unsigned int k = 0; k < meshGroups.getNoMeshes(g); ++k) {
      ko::koTriMesh* mesh = meshGroups.getMesh(g, k);
      if (mesh == nullptr)
        continue;
      ko::koPointer<ko::koKeyframeController> controller = new ko::koKeyframeController;
      controller->TranslationTimes = timeArray;
      controller->TranslationData = translationArray;
      controller->MaxTime = static_cast<double>(times[noKeys - 1]);
      mesh->AttachController(controller);
      controllers.push_back(controller);
    }
  }
}
