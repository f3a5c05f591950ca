#pragma once

#include "Wm4Foundation.h"
#include "ko2SATSystemRoot.h"
#include "koTolvaneLibExport.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace ko {
class koProgressNotifierInterface;
}
class ko2SATSolver;
class ko2SATState;
class koContactDiagram;
class koDisassemblyHierarchy;
class koGroupsClustering;
class koMeshGroups;
class koSplitDirectionTester;
template <typename Functor>
class koMiniThreadPool;

// Builds a disassembly hierarchy from a contact diagram whose direction set is computed. For
// every node it tests every direction of the set as a removal direction, on a worker pool with
// one split solver per thread, keeps the cheapest division of the node's groups into a side that
// stays and a side that moves along the direction, and recurses into both sides.
//
// Direction entries are k | s * 2^31: direction set entry k itself (s = 0) or its opposite
// (s = 1). For an edge (group0, group1), "in/out" means group0 moves and group1 stays, "out/in"
// the opposite.
//
// Use: construct; optionally push distant constraints (koDistantContacts) and set a clustering;
// initSolver(); computeGroupsHierarchy(0, ...) or copyGroupsHierarchy(...). Keeps pointers to the
// hierarchy, the diagram and the clustering, which must outlive it.
class KOTOLVANE_API koDisassemblyHierarchyBuilder {
public:
  static constexpr unsigned int None = 0xFFFFFFFFu;
  static constexpr unsigned int msOppositeFlag = 0x80000000u;  // the s bit of a direction entry

  // One edge of the dynamic graph: a contact edge of the diagram or a distant blocking edge.
  struct tDynamicEdgeData {
    unsigned int group0;
    unsigned int group1;
    // The edge's solver constraint: its index at creation; it moves with the record when edges
    // are reordered.
    unsigned int constraint;
    Wm4::Vector3<float> contactPoint;  // the diagram's contact point; zero for a distant edge
    bool distant;
    // The diagram edge's disassembly directions; empty for a distant edge.
    std::vector<Wm4::Vector3<double>> directions;
    // Contact edge: the direction entry of each of its own directions (parallel to directions).
    // Distant edge: the blocking score of each entry of `entries`.
    std::vector<unsigned int> perDirectionValues;
    // Contact edge: the entries along which the edge lets its groups part (s = 0: in/out,
    // s = 1: out/in), its own first, then those added within the angle tolerance. Distant edge:
    // the entries along which the two groups block each other.
    std::vector<unsigned int> entries;
  };

  // Per hierarchy node id.
  struct tNodeMetadata {
    unsigned int referenceNode;  // whose split serves as reference for this node; None at the root
    unsigned int firstEdge;      // the node's edges: firstEdge .. firstEdge + noEdges - 1
    unsigned int noEdges;
    ko2SATSystemRoot systemRoot;  // the node's solver columns (the same in every solver)
  };

  // One constraint changed while a direction is tested, so that it can be restored.
  struct tConstraintConf {
    unsigned int constraint;   // constraint index, top bit set for a distant edge
    unsigned int matchBits;    // bit 0: the edge lists the direction with s = 0; bit 1: with s = 1
    unsigned int weight;       // 1 when the match is the edge's first entry, else 2
    unsigned int weightInOut;  // blocking scores of a distant edge in a soft pass, else 0
    unsigned int weightOutIn;
  };

  // Builds the dynamic graph from the diagram and expands every contact edge's directions into
  // the direction set within the diagram's angle tolerance. A threadCount of 0 counts as 1.
  koDisassemblyHierarchyBuilder(koDisassemblyHierarchy& hierarchy,
                                const koContactDiagram& diagram, unsigned int threadCount);
  ~koDisassemblyHierarchyBuilder();
  koDisassemblyHierarchyBuilder(const koDisassemblyHierarchyBuilder&) = delete;
  koDisassemblyHierarchyBuilder& operator=(const koDisassemblyHierarchyBuilder&) = delete;

  // Sub-assemblies to keep together (null: none). Must be set before initSolver.
  void setGroupsClustering(koGroupsClustering* clustering);
  // Reserves room for k more edges.
  void setNoDistantConstraints(unsigned int k);
  // Appends a distant edge between two groups that block each other along `entries`, with one
  // score per entry. Takes over the contents of `entries` (the caller's vector comes back empty).
  void pushDistantConstraint(unsigned int group0, unsigned int group1,
                             const std::vector<unsigned int>& scores,
                             std::vector<unsigned int>& entries);
  // Creates the solvers and loads every edge as a constraint (contact edges keep their groups
  // together, distant edges start unconstrained). After the distant constraints and the
  // clustering are in, before the first hierarchy is computed.
  void initSolver();
  // Exchanges edge records i and j whole.
  void swapConstraints(unsigned int i, unsigned int j);

  // Splits the subtree of `node` again from scratch. Prints timing lines; the notifier (may be
  // null) is opened with noGroups(node) - 1 steps and advanced by one per split.
  void computeGroupsHierarchy(unsigned int node, ko::koProgressNotifierInterface* progress);
  // Replays the splits of a hierarchy over the same groups, rebuilding the node metadata, the edge
  // order and the solver columns without searching.
  void copyGroupsHierarchy(const koDisassemblyHierarchy& reference);

  const tNodeMetadata& getNodeMetadata(unsigned int node) const { return mNodeMetadata[node]; }
  const tDynamicEdgeData& getEdgeData(unsigned int e) const { return mEdges[e]; }
  unsigned int getNoEdges() const { return static_cast<unsigned int>(mEdges.size()); }
  koDisassemblyHierarchy& getHierarchy() const { return *mHierarchy; }
  const koMeshGroups& getMeshGroups() const { return *mMeshGroups; }
  const koContactDiagram& getContactDiagram() const { return *mDiagram; }
  // Per group: every direction set index that a contact edge of the group can part along.
  const std::vector<unsigned int>& getGroupDirections(unsigned int group) const {
    return mPerGroupDirections[group];
  }
  unsigned int getNoThreads() const { return mNoThreads; }

  // Construction steps, run by the constructor.
  void buildDynamicGraph();
  void fillEdgeDisassemblyDirectionData();
  void initializePerGroupDirections();

  // Steps of the splitting, run by computeGroupsHierarchy and copyGroupsHierarchy.
  void computeGroupsHierarchyPrivate(unsigned int node, const koDisassemblyHierarchy* reference,
                                     ko::koProgressNotifierInterface* progress);
  void clearSubHierarchy(unsigned int node);
  void splitGroupsCluster(unsigned int node, unsigned int referenceNode, ko2SATState& scratch,
                          const koDisassemblyHierarchy* reference,
                          ko::koProgressNotifierInterface* progress);
  void computeBestSplitConfiguration(unsigned int node, unsigned int referenceNode,
                                     unsigned int& direction, unsigned int& referenceOut,
                                     ko2SATState& set);
  void cloneSplitConfiguration(const koDisassemblyHierarchy& reference, unsigned int node,
                               unsigned int referenceNode, unsigned int& direction,
                               unsigned int& referenceOut, ko2SATState& set);
  // True when no edge of the node joins a group of `set` to one outside it.
  bool checkDisjointSets(unsigned int node, const ko2SATState& set) const;

private:
  friend class koSplitDirectionTester;

  // The direction for a split whose sides no edge joins, taken from the directions of the edges
  // that the reference node's split cut.
  unsigned int chooseDisjointDirection(unsigned int node, unsigned int referenceNode,
                                       unsigned int chosenDirection);
  void markGroupsOfNode(unsigned int node, unsigned int mark);
  void printSolverTimes() const;

  koDisassemblyHierarchy* mHierarchy;
  const koMeshGroups* mMeshGroups;
  const koContactDiagram* mDiagram;

public:
  // Makes the splitting print progress lines; false after construction, never set by the library.
  bool verbose;

private:
  std::vector<tNodeMetadata> mNodeMetadata;  // 2n - 1 records
  std::vector<tDynamicEdgeData> mEdges;
  std::vector<unsigned int> mGroupScratch;  // n marks
  std::vector<std::vector<unsigned int>> mPerGroupDirections;
  std::vector<std::vector<tConstraintConf>> mConstraintChanges;  // per thread
  std::vector<std::unique_ptr<ko2SATState>> mBestStates;         // per thread
  std::vector<unsigned int> mBestDirections;                     // per thread
  std::vector<uint64_t> mBestCosts;                              // per thread
  // The cheapest split of the current batch so far and its direction, over all threads; guarded
  // by the pool's job counter mutex.
  uint64_t mSharedBestCost;
  unsigned int mSharedBestDirection;
  // mSharedBestCost + 1 (the largest value while there is none), read without the mutex by the
  // searches still running, so that they are cut by what others found after they started.
  std::atomic<uint64_t> mSharedBound;
  std::vector<double> mSolverTimes;                              // per thread, milliseconds
  std::vector<unsigned int> mJobCounts;                          // per thread
  koGroupsClustering* mClustering;
  std::vector<std::unique_ptr<ko2SATSolver>> mSolvers;  // per thread, made by initSolver
  std::unique_ptr<koSplitDirectionTester> mTester;
  std::unique_ptr<koMiniThreadPool<koSplitDirectionTester>> mPool;
  double mTotalSolverTime;  // milliseconds, of the last computeGroupsHierarchy
  unsigned int mNoThreads;
};
