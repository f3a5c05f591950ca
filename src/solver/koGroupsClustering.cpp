#include "koGroupsClustering.h"

#include <cstddef>
#include <iostream>

namespace {

constexpr unsigned int kNone = 0xFFFFFFFFu;

// The list order: first position ascending, and at one first position the larger cluster (the
// outer one) first.
bool comesBefore(const koGroupsClustering::tCluster& a, const koGroupsClustering::tCluster& b) {
  return a.first < b.first || (a.first == b.first && a.getCount() > b.getCount());
}

} // namespace

koGroupsClustering::koGroupsClustering(unsigned int noGroups)
    : mOrderedGroups(noGroups), mGroupPositions(noGroups), mPositionScratch(noGroups),
      mCurrentCluster(noGroups), mCurrentFirst(0), mCurrentLast(0), mCurrentCount(0) {
  for (unsigned int g = 0; g < noGroups; ++g) {
    mOrderedGroups[g] = g;
    mGroupPositions[g] = g;
    mPositionScratch[g] = g;
  }
  // A laminar family over n groups has fewer than 2n members.
  mClusters.reserve(2 * static_cast<size_t>(noGroups));
}

void koGroupsClustering::computeOrderedCluster(const ko2SATState& groups) {
  mCurrentCluster.clear(false);
  mCurrentCount = 0;
  mCurrentFirst = kNone;
  mCurrentLast = 0;
  groups.forEachMember([this](unsigned int g) {
    const unsigned int p = mGroupPositions[g];
    mCurrentCluster.add(p);
    if (p < mCurrentFirst)
      mCurrentFirst = p;
    if (p > mCurrentLast)
      mCurrentLast = p;
    ++mCurrentCount;
  });
}

bool koGroupsClustering::currentClusterIncludes(const tCluster& cluster) const {
  const unsigned int end = cluster.getEnd();
  for (unsigned int p = cluster.first; p < end; ++p)
    if (!mCurrentCluster.test(p))
      return false;
  return true;
}

bool koGroupsClustering::clusterCrosses(const tCluster& cluster) const {
  const unsigned int count = cluster.getCount();
  if (count == 0)
    return false;
  const unsigned int last = cluster.first + count - 1;
  if (cluster.first > mCurrentLast || last < mCurrentFirst)
    return false;
  // A contiguous run that covers the whole span of the current cluster contains it.
  if (cluster.first <= mCurrentFirst && last >= mCurrentLast)
    return false;
  bool someInside = false;
  bool allInside = true;
  for (unsigned int p = cluster.first; p <= last; ++p) {
    if (mCurrentCluster.test(p))
      someInside = true;
    else
      allInside = false;
  }
  return someInside && !allInside;
}

void koGroupsClustering::pushCluster(const ko2SATState& groups, bool disassemblable) {
  computeOrderedCluster(groups);
  if (mCurrentCount == 0)
    return;
  const unsigned int first = mCurrentFirst;
  const unsigned int last = mCurrentLast;
  const unsigned int count = mCurrentCount;

  // Stable partition of the span: the new cluster's groups first, then the others. The new order
  // of the span waits in the scratch; the old one is still needed to move the first positions of
  // the clusters below.
  unsigned int inside = first;
  unsigned int outside = first + count;
  for (unsigned int p = first; p <= last; ++p) {
    const unsigned int g = mOrderedGroups[p];
    const unsigned int newPosition = mCurrentCluster.test(p) ? inside++ : outside++;
    mGroupPositions[g] = newPosition;
    mPositionScratch[newPosition] = g;
  }

  // Clusters before the insertion point keep their positions: they end before the span or cover
  // all of it, so the reorder stays inside them. Crossing ones are dropped on the way.
  size_t end = mClusters.size();
  size_t write = 0;
  size_t read = 0;
  for (; read < end; ++read) {
    tCluster cluster = mClusters[read];
    if (clusterCrosses(cluster))
      continue;
    const unsigned int clusterCount = cluster.getCount();
    if (cluster.first < first || (cluster.first == first && clusterCount > count)) {
      mClusters[write++] = cluster;
      continue;
    }
    if (cluster.first == first && clusterCount == count) {
      // The same positions: the set was already contiguous, so only its flag changes.
      cluster.setDisassemblable(disassemblable);
      mClusters[write++] = cluster;
      for (++read; read < end; ++read)
        mClusters[write++] = mClusters[read];
      mClusters.resize(write);
      for (unsigned int p = first; p <= last; ++p)
        mOrderedGroups[p] = mPositionScratch[p];
      return;
    }
    break;  // the insertion point
  }

  // Make room for the new record when nothing was dropped before the insertion point, so that
  // the compaction below never overtakes the reading position.
  if (write == read) {
    mClusters.insert(mClusters.begin() + static_cast<std::ptrdiff_t>(read), tCluster{});
    ++read;
    ++end;
  }
  tCluster added;
  added.first = first;
  added.countAndFlag = count;
  added.setDisassemblable(disassemblable);
  const size_t insertion = write;
  mClusters[write++] = added;
  for (; read < end; ++read) {
    tCluster cluster = mClusters[read];
    if (clusterCrosses(cluster)) {
      std::cout << "deleted" << std::endl;
      continue;
    }
    cluster.first = mGroupPositions[mOrderedGroups[cluster.first]];
    mClusters[write++] = cluster;
  }
  mClusters.resize(write);
  for (unsigned int p = first; p <= last; ++p)
    mOrderedGroups[p] = mPositionScratch[p];

  // The reorder moves clusters nested in the new one ahead of disjoint ones from the same span,
  // which can leave the moved clusters out of order. Restore the list order (first position
  // ascending, larger before smaller at one first position): finding an existing cluster, the
  // insertion point and the chains of getNextClusterId all rely on it. Whenever the moved
  // clusters are still in order this changes nothing.
  for (size_t i = insertion + 1; i < mClusters.size(); ++i) {
    const tCluster cluster = mClusters[i];
    size_t j = i;
    for (; j > insertion + 1 && comesBefore(cluster, mClusters[j - 1]); --j)
      mClusters[j] = mClusters[j - 1];
    mClusters[j] = cluster;
  }
}

void koGroupsClustering::deleteCluster(unsigned int id, bool withSubclusters) {
  const unsigned int end = mClusters[id].getEnd();
  size_t stop = size_t(id) + 1;
  if (withSubclusters)
    while (stop < mClusters.size() && mClusters[stop].first < end)
      ++stop;
  mClusters.erase(mClusters.begin() + id, mClusters.begin() + static_cast<std::ptrdiff_t>(stop));
}

void koGroupsClustering::setClusterDisassemblable(unsigned int id, bool disassemblable) {
  mClusters[id].setDisassemblable(disassemblable);
}

void koGroupsClustering::clear() { mClusters.clear(); }

const koGroupsClustering::tCluster& koGroupsClustering::getCluster(unsigned int id) const {
  return mClusters[id];
}

void koGroupsClustering::getCluster(unsigned int id, ko2SATState& groups) const {
  groups.clear(false);
  const tCluster& cluster = mClusters[id];
  const unsigned int end = cluster.getEnd();
  for (unsigned int p = cluster.first; p < end; ++p)
    groups.add(mOrderedGroups[p]);
}

unsigned int koGroupsClustering::getNoClusters() const {
  return static_cast<unsigned int>(mClusters.size());
}

unsigned int koGroupsClustering::getGroupIdFromOrderedIndex(unsigned int position) const {
  return mOrderedGroups[position];
}

unsigned int koGroupsClustering::getNextClusterId(bool useDisassemblableClusters,
                                                  const ko2SATState& groups,
                                                  unsigned int previousId) {
  unsigned int lowerBound = 0;
  if (previousId == kNone)
    computeOrderedCluster(groups);
  else
    lowerBound = mClusters[previousId].getEnd();

  // previousId + 1 wraps to 0 for a new scan. Starting at the lower bound skips the clusters
  // nested in the one returned last.
  const unsigned int noClusters = getNoClusters();
  for (unsigned int id = previousId + 1; id < noClusters; ++id) {
    const tCluster& cluster = mClusters[id];
    const unsigned int count = cluster.getCount();
    if (count > mCurrentCount || cluster.first < lowerBound || !currentClusterIncludes(cluster))
      continue;
    // A disassemblable cluster only binds when it is a proper part of the system; one that
    // holds the whole system would forbid every split that is meant to open it.
    const bool eligible = useDisassemblableClusters
                              ? (count < mCurrentCount || !cluster.isDisassemblable())
                              : !cluster.isDisassemblable();
    if (eligible)
      return id;
  }
  return kNone;
}
