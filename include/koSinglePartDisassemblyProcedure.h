#pragma once

#include "ko2SATState.h"
#include "koTolvaneLibExport.h"

#include <cstdint>
#include <vector>

class koDisassemblyHierarchy;
class koDisassemblyHierarchyBuilder;
class koMeshGroups;

// How to take out one part: from a finished disassembly hierarchy and its builder, the ordered
// removal steps that free the part. Each sub-assembly hanging off the path from the root to the
// part's node is one step at first (removed as its split moved it); then a sub-assembly is
// postponed into a later step when it touches that step's parts and can leave along that step's
// direction without running into anything removed after it, provided it does not block the steps
// it is moved past. The result can be written as a chain-shaped hierarchy.
//
// A direction code is 2 * k + s for direction set index k: s = 0 moves along entry k, s = 1
// along its opposite (the removed sub-assembly was the first child of its split). Codes run from
// 0 to 2D - 1, D being the size of the direction set.
//
// Use: construct on a builder whose hierarchy is computed; buildProcedure(node of the part);
// read the steps; optionally copyToDisassemblyHierarchy. buildProcedure may be called again for
// another part. Keeps references to the builder, its hierarchy and its mesh groups, which must
// outlive it. Single-threaded; prints one "simplifying step : " line per step it tries to merge.
class KOTOLVANE_API koSinglePartDisassemblyProcedure {
public:
  static constexpr unsigned int None = 0xFFFFFFFFu;
  // The code of the final step, the wanted part itself, which is not moved.
  static constexpr unsigned int msFinalCode = 0xFFFFFFFFu;
  static constexpr unsigned int msContactFlag = 0x80000000u;  // bit 31 of a tConstraintData
  static constexpr unsigned int msNodeMask = 0x7FFFFFFFu;

  // One removal step: the nodes ordering[first .. first + count - 1] (ascending node id), which
  // leave together along `code`. The last step is the wanted part, with code msFinalCode.
  struct tNodeCluster {
    unsigned int first;
    unsigned int count;
    unsigned int code;
  };

  // The constraints of one hierarchy node: entries constraintData[first .. first + count - 1],
  // ascending by the node they name. `incoming` counts the entries naming nodes removed earlier
  // (nodes whose constraints name this one); the others name nodes removed later. Nodes that are
  // not in the ordering have count 0.
  struct tConstraintSet {
    unsigned int first;
    unsigned int count;
    unsigned int incoming;
  };

  // Bits 0-30: the other node's id; bit 31 (msContactFlag): at least one contact edge, not only
  // distant constraints, joins the two nodes.
  typedef unsigned int tConstraintData;

  explicit koSinglePartDisassemblyProcedure(const koDisassemblyHierarchyBuilder& builder);
  virtual ~koSinglePartDisassemblyProcedure();
  koSinglePartDisassemblyProcedure(const koSinglePartDisassemblyProcedure&) = delete;
  koSinglePartDisassemblyProcedure& operator=(const koSinglePartDisassemblyProcedure&) = delete;

  // Plans the removal of hierarchy node `node` (normally the leaf of the wanted part): the
  // removal ordering, its constraints, then the merging of steps. Replaces any earlier plan.
  void buildProcedure(unsigned int node);
  // Writes the plan into target, a hierarchy over the same mesh groups (it may be any one of
  // them, its earlier tree is cleared): a chain in which every split separates one step's groups
  // from those still to be taken apart, along the step's direction, and whose last node holds the
  // wanted part. The group positions and leaves of target are refreshed.
  void copyToDisassemblyHierarchy(koDisassemblyHierarchy& target);

  // The steps of buildProcedure, public so that hosts and tests can run them one by one.
  // One step per sub-assembly on the way from the root down to `node`, `node` last.
  void initializeRemovalOrdering(unsigned int node);
  // The constrained pairs of ordering nodes and the directions each pair allows.
  void initializeConstraintList();
  // Tries every step but the last two, from the back, to merge its node into a later step.
  void simplifyOrdering();
  // Moves the first node of `step` into the first later step it can leave with, stopping at a
  // step whose nodes it would block.
  void simplifyOrderingIteration(unsigned int step);
  // Moves `node` into `step` when it touches a node of that step and every node removed after
  // the step lets it leave along the step's code. False (nothing moved) otherwise.
  bool tryAndMergeNodeToStep(unsigned int node, unsigned int step);
  // True when every node of `step` that `node` is constrained with can leave along the step's
  // code while `node` stays.
  bool checkNodeAndStepConstraints(unsigned int node, unsigned int step);
  // The index into constraintData of the entry of node's slice that names otherNode; None when
  // the slice has none.
  unsigned int findRequestedNodeCst(unsigned int otherNode, unsigned int node) const;
  // The merge test of tryAndMergeNodeToStep for all of step i against step j, moving nothing:
  // true when every node after step j that a node of step i is constrained with allows step j's
  // code, and some node of step i touches step j. Not used by the procedure itself.
  bool checkMerge(unsigned int i, unsigned int j) const;

  unsigned int getNoSteps() const { return static_cast<unsigned int>(steps.size()); }
  const tNodeCluster& getStep(unsigned int i) const { return steps[i]; }
  const std::vector<tNodeCluster>& getSteps() const { return steps; }
  const std::vector<unsigned int>& getOrdering() const { return ordering; }
  const std::vector<unsigned int>& getOrderingPositions() const { return orderingPositions; }
  const std::vector<unsigned int>& getGroupNodes() const { return groupNodes; }
  const std::vector<tConstraintSet>& getConstraintSets() const { return constraintSets; }
  const std::vector<tConstraintData>& getConstraintData() const { return constraintData; }
  // 64-bit words per row of constraintRows: 2D bits rounded up.
  unsigned int getNoRowWords() const { return mRowWords; }
  // True when the row of constraintData entry `entry` allows direction code `code`: the node
  // owning the entry can be removed along `code` without running into the node the entry names.
  // False for a code outside 0 .. 2D - 1 (such as msFinalCode).
  bool rowAllows(unsigned int entry, unsigned int code) const;
  unsigned int getNoDirections() const { return noDirections; }

  // Read through the getters above; public as plain data, written only by the procedure. n is
  // the number of groups, N = 2n - 1 the number of hierarchy nodes. Empty, or all None, until
  // buildProcedure (or the step functions) fill them.
  const koMeshGroups& meshGroups;
  const koDisassemblyHierarchy& hierarchy;
  const koDisassemblyHierarchyBuilder& builder;
  // n entries: the ordering node holding each group; None before initializeConstraintList.
  std::vector<unsigned int> groupNodes;
  // Node ids in removal order, step after step; every group lies in exactly one of them.
  std::vector<unsigned int> ordering;
  // N entries: the position of each node in ordering; None for nodes not in it.
  std::vector<unsigned int> orderingPositions;
  std::vector<tNodeCluster> steps;
  // One row of getNoRowWords() words per constraintData entry; bit c: the owning node can leave
  // along code c without hitting the node named (see rowAllows). An entry naming an earlier-removed
  // node holds that node's row seen from this side, codes 2k and 2k + 1 swapped. Bits at and
  // above 2D are meaningless.
  std::vector<uint64_t> constraintRows;
  std::vector<tConstraintData> constraintData;
  std::vector<tConstraintSet> constraintSets;  // N entries
  ko2SATState groupSet;                        // scratch of copyToDisassemblyHierarchy
  unsigned int noDirections;                   // D, read once by the constructor

private:
  // Whether every node removed after `target` that `node` is constrained with lets `node` leave
  // along the target's code; sets `touches` when `node` touches a node of the target by contact.
  bool mayJoinStep(unsigned int node, const tNodeCluster& target, bool& touches) const;
  // The step whose range of ordering holds position p.
  unsigned int stepOfPosition(unsigned int p) const;
  // Moves node from its step into step `step`, keeping the node ids of that step ascending.
  void moveNodeToStep(unsigned int node, unsigned int step);

  unsigned int mRowWords;
};
