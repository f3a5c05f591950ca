#pragma once

#include "ko2SATState.h"
#include "koTolvaneLibExport.h"

#include <vector>

// A registry of clusters: sets of groups the host wants kept together while the assembly is split
// (sub-assemblies). All groups are kept in one order, the ordered index, in which every cluster is
// a contiguous run of positions, so the clusters form a laminar family (any two are disjoint or
// nested). Built by the host, then only read by the split solvers, except for the current cluster
// that getNextClusterId overwrites. Not thread-safe.
class KOTOLVANE_API koGroupsClustering {
public:
  // One cluster: positions first .. first + count - 1 of the ordered index.
  struct tCluster {
    static constexpr unsigned int msDisassemblableFlag = 0x80000000u;
    static constexpr unsigned int msCountMask = 0x7FFFFFFFu;

    unsigned int first;         // first position in the ordered index
    unsigned int countAndFlag;  // number of groups in the low 31 bits, disassemblable flag on top

    unsigned int getCount() const { return countAndFlag & msCountMask; }
    // One past the last position.
    unsigned int getEnd() const { return first + getCount(); }
    // A disassemblable cluster may be split in the late passes of a direction search; an
    // unmarked one never is.
    bool isDisassemblable() const { return (countAndFlag & msDisassemblableFlag) != 0; }
    void setDisassemblable(bool value) {
      countAndFlag = value ? (countAndFlag | msDisassemblableFlag) : (countAndFlag & msCountMask);
    }
  };

  // n groups in identity order, no clusters.
  explicit koGroupsClustering(unsigned int noGroups);

  // Adds the set of groups as a cluster, reordering the groups so that it is contiguous. Older
  // clusters that cross it are dropped; pushing an existing cluster only sets its flag. An empty
  // set changes nothing. Cluster ids may change.
  void pushCluster(const ko2SATState& groups, bool disassemblable);
  // Removes cluster id; with withSubclusters also the following clusters nested in it. The order
  // of groups is kept. Cluster ids above id change.
  void deleteCluster(unsigned int id, bool withSubclusters);
  void setClusterDisassemblable(unsigned int id, bool disassemblable);
  // Removes all clusters; the order of groups is kept.
  void clear();

  const tCluster& getCluster(unsigned int id) const;
  // Clears groups (a set of n bits), then adds the groups of cluster id.
  void getCluster(unsigned int id, ko2SATState& groups) const;
  unsigned int getNoClusters() const;
  unsigned int getGroupIdFromOrderedIndex(unsigned int position) const;

  // The next cluster to chain as an equality for a system over `groups`: previousId 0xFFFFFFFF
  // starts a scan (and makes groups the current cluster), otherwise pass the id last returned.
  // Returns clusters inside the system that are disjoint and in list order, taking the outermost
  // of nested ones; disassemblable clusters only when useDisassemblableClusters is true and they
  // are smaller than the system. 0xFFFFFFFF when there is none.
  unsigned int getNextClusterId(bool useDisassemblableClusters, const ko2SATState& groups,
                                unsigned int previousId);

  // Makes groups (by group id) the current cluster (by position) with its first and last
  // positions and count; first is 0xFFFFFFFF for an empty set.
  void computeOrderedCluster(const ko2SATState& groups);
  // True when every position of the cluster is in the current cluster.
  bool currentClusterIncludes(const tCluster& cluster) const;
  // True when the cluster partly overlaps the current cluster without spanning it.
  bool clusterCrosses(const tCluster& cluster) const;

private:
  std::vector<unsigned int> mOrderedGroups;    // position -> group id
  std::vector<unsigned int> mGroupPositions;   // group id -> position
  std::vector<unsigned int> mPositionScratch;  // the reordered span while pushing
  std::vector<tCluster> mClusters;
  ko2SATState mCurrentCluster;  // indexed by position, not by group id
  unsigned int mCurrentFirst;
  unsigned int mCurrentLast;
  unsigned int mCurrentCount;
};
