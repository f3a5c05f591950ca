#pragma once

#include "Wm4Foundation.h"
#include "ko2SATState.h"
#include "koTolvaneLibExport.h"

#include <limits>
#include <vector>

class koContactDiagram;
class koDisassemblyHierarchy;
class koDisassemblyHierarchyBuilder;
class koMeshGroups;

// The exploded view of a finished disassembly hierarchy. Every split gets an axis (a unit
// direction and an anchor point on it) and a moving side; the moving side is translated along the
// axis until every part of it that faces a part of the other side laterally is `gap` clear of it.
// Every group ends with one final translation: the sum of the per-split translations from the root
// down to its leaf. The geometry is handled through bounding prisms (a group's extent along a
// direction and four directions around it), never through triangles.
//
// Use: construct from a builder whose hierarchy is complete; computeTranslationHierarchy(gap);
// then read the getters, bakeAxes() for drawable axis segments, and bakeTranslations() /
// unbakeTranslations() to move the host meshes into the exploded pose and back.
//
// Keeps references to the builder, its hierarchy, its contact diagram and its mesh groups; all of
// them must outlive this object and stay unchanged while it is used. Single-threaded. Indices
// given to the getters and steps must be in range; nothing is checked.
class KOTOLVANE_API koExplosionDiagram {
public:
  static constexpr unsigned int None = 0xFFFFFFFFu;      // no node, group or direction
  static constexpr unsigned int NoGroupA = 0x7FFFFFFFu;  // `groupA` of a split without one

  // Axis, groups and moving side of one hierarchy node (one record per node id). Leaves and
  // splits that could not be solved keep the default record: zero anchor and direction,
  // moveFirstChild 1, groupA NoGroupA, groupB None.
  struct tSplitData {
    Wm4::Vector3<float> anchor;     // a point on the split's axis
    Wm4::Vector3<float> direction;  // unit axis; the second child moves along +direction, the
                                    // first child along -direction
    // One 32-bit word: bit 0 is moveFirstChild, bits 1-31 are groupA.
    unsigned int moveFirstChild : 1;  // 1: the first child (groupA's side) moves; 0: the second
    unsigned int groupA : 31;         // group on the first child's side; NoGroupA = none
    unsigned int groupB;              // group on the second child's side; None = none

    tSplitData()
        : anchor(0.0f, 0.0f, 0.0f), direction(0.0f, 0.0f, 0.0f), moveFirstChild(1u),
          groupA(NoGroupA), groupB(None) {}
    // Both groups were chosen: the split has an axis and a translation.
    bool isValid() const { return groupA != NoGroupA && groupB != None; }
  };

  // A drawable axis segment of one split (made by bakeAxes).
  struct tAxis {
    Wm4::Vector3<float> start;  // anchor + final translation of groupA (anchor if groupA is none)
    Wm4::Vector3<float> end;    // anchor + final translation of groupB (anchor if groupB is none)
    unsigned int groupA;        // unpacked: NoGroupA = none
    unsigned int groupB;        // None = none
  };

  // One per direction index: directions[0] is the direction itself, directions[1..4] unit vectors
  // perpendicular to it at 0, 45, 90 and 135 degrees around it. Together: an octagonal prism.
  struct tOrthogonalDirectionSet {
    Wm4::Vector3<float> directions[5];
  };

  // A bounding prism of a point set along one tOrthogonalDirectionSet: pair k holds the smallest
  // and largest projection onto directions[k]. Pair 0 is the axial slab, pairs 1-4 the lateral
  // slabs. Default-constructed empty: min = +infinity, max = -infinity in every pair.
  struct tBoundingPlanesMinMax {
    struct tMinMax {
      float min;
      float max;
    };
    tMinMax pairs[5];

    tBoundingPlanesMinMax() {
      for (tMinMax& pair : pairs) {
        pair.min = std::numeric_limits<float>::infinity();
        pair.max = -std::numeric_limits<float>::infinity();
      }
    }
    // Shifting by a translation t adds dot(t, directions[k]) to both bounds of pair k.
    tBoundingPlanesMinMax shifted(const tOrthogonalDirectionSet& set,
                                  const Wm4::Vector3<float>& t) const {
      tBoundingPlanesMinMax result = *this;
      for (int k = 0; k < 5; ++k) {
        const float offset = t.Dot(set.directions[k]);
        result.pairs[k].min += offset;
        result.pairs[k].max += offset;
      }
      return result;
    }
    // Strict overlap in each of the four lateral pairs: the two prisms face each other along the
    // axis. Empty prisms overlap nothing.
    bool overlapsLaterally(const tBoundingPlanesMinMax& other) const {
      for (int k = 1; k < 5; ++k)
        if (!(pairs[k].min < other.pairs[k].max && other.pairs[k].min < pairs[k].max))
          return false;
      return true;
    }
  };

  // Takes the hierarchy, the contact diagram and the mesh groups from the builder. gap = 1; n zero
  // reference groups, final translations and minimum split distances; splitData and
  // perSplitTranslations stay empty (room for every node) until computeTranslationHierarchy.
  explicit koExplosionDiagram(const koDisassemblyHierarchyBuilder& builder);
  koExplosionDiagram(const koExplosionDiagram&) = delete;
  koExplosionDiagram& operator=(const koExplosionDiagram&) = delete;

  // The whole computation: reference groups, bounding prisms, an axis and a moving side per split,
  // axis alignment, then the translations that keep `gap` (model units) along each axis between
  // every pair of parts of a split's two sides that overlap laterally. May be called again with
  // another gap.
  void computeTranslationHierarchy(float gap);

  // Every group of a hierarchy leaf gets the leaf's first group as its reference group (the leaf
  // is a cluster that never comes apart); groups in no leaf keep their entry.
  void computeReferenceGroups();
  // Out: sets = one direction set per direction index (D entries); planes = one bounding prism per
  // (group, direction index), at planes[g * D + d], from the stored vertex positions. With no
  // direction in the contact diagram, both vectors are left as they were.
  void computeBoundingPrisms(std::vector<tOrthogonalDirectionSet>& sets,
                             std::vector<tBoundingPlanesMinMax>& planes) const;
  // Re-chooses moveFirstChild of every valid split by a breadth-first walk over the clusters, so
  // that every cluster is moved by one split only.
  void computePerSplitMovingChild();
  // Chooses axis, groups and moving side of `node` and recurses into its children (pre-order).
  // groupSizes: n entries, the largest prism extent of each group.
  void splitHierarchyIteration(unsigned int node,
                               const std::vector<tOrthogonalDirectionSet>& sets,
                               const std::vector<tBoundingPlanesMinMax>& planes,
                               const std::vector<float>& groupSizes);
  // Gives splits along one direction that touch common groups one averaged direction, and puts
  // the anchors of lined-up splits on one common axis line. Changes only direction and anchor.
  void fixTranslationAlignment(const std::vector<tOrthogonalDirectionSet>& sets,
                               const std::vector<tBoundingPlanesMinMax>& planes);
  // The first translation pass (post-order): pushes each moving side clear of the other side.
  // shifted: n prisms of scratch storage.
  void translationHierarchyIterationBottomUp(unsigned int node,
                                             const std::vector<tOrthogonalDirectionSet>& sets,
                                             const std::vector<tBoundingPlanesMinMax>& planes,
                                             std::vector<tBoundingPlanesMinMax>& shifted,
                                             float gap);
  // The second translation pass (post-order), on the final translations: pulls each moving side
  // back to the smallest admissible travel. shifted: n prisms of scratch storage.
  void translationHierarchyIterationTopDown(unsigned int node,
                                            const std::vector<tOrthogonalDirectionSet>& sets,
                                            const std::vector<tBoundingPlanesMinMax>& planes,
                                            std::vector<tBoundingPlanesMinMax>& shifted,
                                            float gap);
  // Sums the per-split translations from `node` down into the final translation of every group
  // of a leaf, starting from `accumulated`.
  void computeFinalTranslations(unsigned int node, const Wm4::Vector3<float>& accumulated);
  // The translation of a group of node's range relative to node's parent: node's own per-split
  // translation plus those of the nodes down to the group's leaf.
  Wm4::Vector3<float> computeBakedTranslation(unsigned int group, unsigned int node) const;
  // Moves every mesh by its group's final translation in world space / moves it back, through
  // the local translation, whatever the parent's rotation and scale. Meant in pairs: baking twice
  // moves twice. Runs no controller, so an animation attached to the meshes does not interfere;
  // the next UpdateGS plays that animation again, which replaces a baked pose.
  void bakeTranslations() const;
  void unbakeTranslations() const;
  // Rebuilds `axes`: one segment per split node, in node-id order.
  void bakeAxes();

  unsigned int getReferenceGroup(unsigned int group) const { return referenceGroups[group]; }
  const tSplitData& getSplitData(unsigned int node) const { return splitData[node]; }
  const Wm4::Vector3<float>& getFinalPerGroupTranslation(unsigned int group) const {
    return finalPerGroupTranslations[group];
  }
  const Wm4::Vector3<float>& getPerSplitTranslation(unsigned int node) const {
    return perSplitTranslations[node];
  }
  float getGroupMinSplitDistance(unsigned int group) const { return groupMinSplitDistances[group]; }
  const tAxis& getAxis(unsigned int i) const { return axes[i]; }
  unsigned int getNoAxes() const { return static_cast<unsigned int>(axes.size()); }

  const koDisassemblyHierarchy& getHierarchy() const { return hierarchy; }
  const koDisassemblyHierarchyBuilder& getBuilder() const { return builder; }
  const koContactDiagram& getContactDiagram() const { return contactDiagram; }
  const koMeshGroups& getMeshGroups() const { return meshGroups; }
  float getGap() const { return gap; }

  const koDisassemblyHierarchy& hierarchy;
  const koDisassemblyHierarchyBuilder& builder;
  const koContactDiagram& contactDiagram;
  const koMeshGroups& meshGroups;
  // Clearance along an axis between separated parts; 1 after construction, then the last gap
  // given to computeTranslationHierarchy.
  float gap;
  // Scratch set over the n groups, used while choosing the groups of a split.
  ko2SATState groupSet;
  // Per node id (empty until computeTranslationHierarchy).
  std::vector<tSplitData> splitData;
  // Per group: the first group of its hierarchy leaf.
  std::vector<unsigned int> referenceGroups;
  // Per node id: translation of the node's sub-assembly relative to its parent (zero at the root
  // and on the staying child of every split; empty until computeTranslationHierarchy).
  std::vector<Wm4::Vector3<float>> perSplitTranslations;
  // Per group: its exploded translation.
  std::vector<Wm4::Vector3<float>> finalPerGroupTranslations;
  // Per group: for the reference group moved by a split, the axial travel that clears it from
  // the other side by gap; -1 for the other groups (0 before the first computation).
  std::vector<float> groupMinSplitDistances;
  // Axis segments, made by bakeAxes.
  std::vector<tAxis> axes;
};
