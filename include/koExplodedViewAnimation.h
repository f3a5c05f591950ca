#pragma once

#include "Wm4Foundation.h"
#include "koTolvaneLibExport.h"

#include <ko/koBBox.h>
#include <ko/koKeyframeController.h>
#include <ko/koPointer.h>

#include <cstdint>
#include <map>
#include <vector>

class koDisassemblyHierarchy;
class koExplosionDiagram;
class koMeshGroups;

// Plays a computed explosion diagram as an animation. Every split of the hierarchy opens at an
// integer time step (one step per opening); every cluster (hierarchy leaf, represented by its
// reference group) gets a list of translation keys (time, cumulative translation) that ends at
// its exploded translation, with its travel along its own axis gathered at its own split's step.
// From the keys come the box swept by the animation and one keyframe controller per mesh.
//
// Use: construct on a diagram whose translations are computed; optionally set policy, play style
// and base speed; createKeyFrameControllers(); then getGlobalBBox() and getControllers(). Keeps
// references to the diagram, its hierarchy and its mesh groups, which must outlive this object and
// stay unchanged while it computes. Single-threaded.
//
// The controllers: each one is attached to its mesh, which holds a reference to it and plays it
// from then on (UpdateGS(time) on the scene); the keys are world-space offsets from the mesh's
// local translation at attachment, its assembled place. This object keeps a reference too, so
// that getControllers() stays valid while it lives. Destroying this object leaves the
// controllers on their meshes. A new call of createKeyFrameControllers() first puts the meshes
// of the previous call back where they rested and detaches those controllers, so that a mesh is
// never driven by two of them and always plays from its assembled place.
//
// A split without an axis (groupA or groupB none) still gets a time step but moves nothing.
class KOTOLVANE_API koExplodedViewAnimation {
public:
  static constexpr unsigned int None = 0xFFFFFFFFu;  // no node, no group

  // How split times are chosen.
  enum tAnimationPolicy : uint32_t {
    ePolicySequential = 0,  // one split per time step, in depth-first order
    ePolicyByLevel = 1,     // a split's first-child subtree starts right after it, in parallel
                            // with the rest of its chain of second children
    ePolicyOptimal = 2      // list scheduling under ordering and exclusion constraints
  };

  // What the keys play; every played half ends with holdTime steps without motion.
  enum tAnimationPlayStyle : uint32_t {
    ePlayImplode = 0,         // exploded to assembled
    ePlayExplode = 1,         // assembled to exploded
    ePlayImplodeExplode = 2,  // exploded to assembled to exploded
    ePlayExplodeImplode = 3   // assembled to exploded to assembled
  };

  // One key of a cluster: the translation added at its time step, and the reference group whose
  // motion it carries (the cluster itself for its own split; the cluster it was positioned
  // against for a motion it inherits).
  struct tKey {
    unsigned int keyGroup;
    Wm4::Vector3<float> increment;
  };
  // Time step (from 1) -> key. Indexed by group; only reference groups hold keys. The sum of a
  // cluster's increments is its exploded translation.
  typedef std::map<unsigned int, tKey> tKeyMap;

  // time(split) >= time(parentSplit) + flag; flag is 1 when split lies in the parent's moving
  // child, 0 in its fixed child.
  struct tSplitTimeGEConstraint {
    unsigned int split;
    unsigned int parentSplit;
    unsigned int flag;
  };
  // The two splits never share a time step.
  struct tSplitTimeNEConstraint {
    unsigned int smallerSplit;
    unsigned int largerSplit;
  };

  // Policy optimal, play style explode, base speed 1, hold time 1, empty box, no controllers.
  explicit koExplodedViewAnimation(const koExplosionDiagram& diagram);
  koExplodedViewAnimation(const koExplodedViewAnimation&) = delete;
  koExplodedViewAnimation& operator=(const koExplodedViewAnimation&) = delete;

  void setAnimationPolicy(tAnimationPolicy policy) { animationPolicy = policy; }
  void setAnimationPlayStyle(tAnimationPlayStyle style) { animationPlayStyle = style; }
  // Every key time is multiplied by it (so values above 1 play slower).
  void setAnimationBaseSpeed(float speed) { animationBaseSpeed = speed; }
  tAnimationPolicy getAnimationPolicy() const { return animationPolicy; }
  tAnimationPlayStyle getAnimationPlayStyle() const { return animationPlayStyle; }
  float getAnimationBaseSpeed() const { return animationBaseSpeed; }
  float getHoldTime() const { return holdTime; }

  // The box swept by every vertex during the whole animation (conservative: per cluster, the box
  // of its stored vertex positions moved by the box of its key translations). Empty before
  // createKeyFrameControllers and for an assembly without vertices.
  const koBBox& getGlobalBBox() const { return globalBBox; }
  // The controllers of the last createKeyFrameControllers, in creation order: by reference group,
  // then by group of its leaf, then by mesh of the group. Null meshes get none.
  const std::vector<ko::koPointer<ko::koKeyframeController>>& getControllers() const {
    return controllers;
  }

  // The whole computation: times, keys, clamping, box and controllers. Prints an "error: " line
  // for every cluster whose keys do not add up to its exploded translation, and goes on.
  void createKeyFrameControllers();

  // Steps of createKeyFrameControllers.

  // Times of the splits of the subtree of `node`, walking its chains of second children, the
  // first split at t + 1: depth first (sequential) or a first-child subtree beside the rest of its
  // chain (by level). With the optimal policy set, a simpler variant in which a fixed side may
  // share its parent's step (createKeyFrameControllers schedules that policy by
  // computeOptimalTimeIndex instead). times: one entry per node id, written for the subtree's
  // splits. Returns the number of splits in the subtree.
  unsigned int computeTimeIndexPerSplit(unsigned int node, unsigned int t,
                                        std::vector<unsigned int>& times) const;
  // Policy optimal. Out: times, one entry per node id (1 where no split is).
  void computeOptimalTimeIndex(std::vector<unsigned int>& times) const;
  // Gathers the constraints of the subtree of `node`, a split or a leaf reached from the split
  // `parent` (None at the root) through its moving (flag 1) or fixed (flag 0) child. order: the
  // splits visited so far, this subtree's appended in pre-order; movers: per group, the splits
  // that move its cluster (sorted). Returns the number of splits in the subtree.
  unsigned int splitTimeConstraintsIteration(unsigned int node, unsigned int parent,
                                             unsigned int flag, std::vector<unsigned int>& order,
                                             std::vector<std::vector<unsigned int>>& movers,
                                             std::vector<tSplitTimeGEConstraint>& ge,
                                             std::vector<tSplitTimeNEConstraint>& ne) const;
  // Out: one entry per group, the node id of the split that moves the group's cluster (None if
  // none does).
  void computePerGroupReferenceSplit(std::vector<unsigned int>& referenceSplits) const;
  // Writes the keys of the clusters of the subtree of `node` (post-order, second child first).
  // keys: one map per group.
  void createKeyFramesIteration(unsigned int node, std::vector<tKeyMap>& keys,
                                const std::vector<unsigned int>& times,
                                const std::vector<unsigned int>& referenceSplits) const;
  // Appends the reference groups of the leaves under `node` so that a cluster comes before those
  // that move away from it; `group` is the moving group of the split above (None from the root).
  void computeTranslationClampingProcessingOrder(unsigned int node, unsigned int group,
                                                 std::vector<unsigned int>& order) const;
  // Gathers each cluster's travel along its own axis, from its own split's time on, into that
  // time step (at least its minimum split distance), leaving its final translation unchanged.
  void computeTranslationClamping(std::vector<tKeyMap>& keys,
                                  const std::vector<unsigned int>& times,
                                  const std::vector<unsigned int>& referenceSplits) const;

  const koMeshGroups& meshGroups;
  const koDisassemblyHierarchy& hierarchy;
  const koExplosionDiagram& explosionDiagram;
  tAnimationPolicy animationPolicy;
  tAnimationPlayStyle animationPlayStyle;
  float animationBaseSpeed;
  // Time steps held at the end of each played half.
  float holdTime;
  koBBox globalBBox;
  std::vector<ko::koPointer<ko::koKeyframeController>> controllers;

private:
  // Builds the key arrays of reference group r from its keys, checks them, grows the box and
  // attaches one controller per mesh of r's leaf.
  void createClusterControllers(unsigned int r, const tKeyMap& keys, unsigned int maxTime);
};
