#include "ko2SATSolver.h"

#include "ko2SATConstraintLiterals.h"
#include "ko2SATCost.h"
#include "koGroupsClustering.h"

#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <utility>

namespace {

constexpr unsigned int kNone = koDLXNode::msInvalid;

unsigned int columnCount(unsigned int n, unsigned int m) { return 2u * n + 2u * m - 1u; }

inline bool crossesSet(const koDLXNode& item, const ko2SATState& set) {
  return set.test(item.literal0() >> 1) != set.test(item.literal1() >> 1);
}

// One clause of a constraint: released, optional or required (see desactivateConstraint).
void setClauseState(ko2SATSolver& solver, unsigned int column, bool released, bool otherReleased,
                    unsigned int weight, bool maximumCost) {
  koDLXNode& item = solver.nodes[column + 1];
  if (released) {  // forbids nothing, charges its weight
    item.setActive(false);
    item.setPrimary(maximumCost && weight != 0);
    solver.columnWeights[column] = weight;
  } else {  // optional (at most once) when the opposite crossing is released, else required
    item.setActive(true);
    item.setPrimary(!otherReleased);
    solver.columnWeights[column] = 0;
  }
}

// After columns moved: P(c) is the column whose slot is 2c.
void refreshConstraintColumns(ko2SATSolver& solver, const ko2SATSystemRoot& root) {
  const unsigned int end = root.firstColumn + root.noColumns;
  for (unsigned int j = root.firstColumn; j < end; ++j) {
    const unsigned int slot = solver.nodes[j + 1].constraintSlot();
    if ((slot & 1u) == 0 && (slot >> 1) < solver.noConstraints)
      solver.constraintColumns[slot >> 1] = j;
  }
}

void linkIntoRow(ko2SATSolver& solver, unsigned int node) {
  koDLXNode* d = solver.nodeData;
  koDLXNode*& head = solver.literalHeads[d[node].literal0()];
  if (head == nullptr) {
    head = &d[node];
    d[node].left = d[node].right = node;
    return;
  }
  // Append at the end of the row, just before its head.
  const unsigned int h = static_cast<unsigned int>(head - d);
  d[node].left = d[h].left;
  d[node].right = h;
  d[d[h].left].right = node;
  d[h].left = node;
}

void linkColumn(ko2SATSolver& solver, unsigned int column) {
  koDLXNode* d = solver.nodeData;
  const unsigned int item = column + 1;
  const unsigned int node0 = solver.noColumns + column + 1;
  const unsigned int node1 = 2u * solver.noColumns + column + 1;
  // At the end of the root's list.
  d[item].left = d[0].left;
  d[item].right = 0;
  d[d[0].left].right = item;
  d[0].left = item;
  // item -> node0 -> node1 -> item
  d[item].down = node0;
  d[item].up = node1;
  d[node0].up = item;
  d[node0].down = node1;
  d[node1].up = node0;
  d[node1].down = item;
  d[node0].word = koDLXNode::makeWord(d[item].literal0(), column, 0, koDLXNode::msKindLiteral,
                                      false, false);
  d[node1].word = koDLXNode::makeWord(d[item].literal1(), column, 0, koDLXNode::msKindLiteral,
                                      false, false);
  linkIntoRow(solver, node0);
  linkIntoRow(solver, node1);
}

// Takes a clause out of the search: its item leaves the root's list and its two literal nodes
// leave their rows. putBackClause undoes it; clauses come back in reverse order.
void takeOutClause(koDLXNode* d, unsigned int item) {
  d[d[item].left].right = d[item].right;
  d[d[item].right].left = d[item].left;
  for (unsigned int r : {d[item].down, d[item].up}) {
    d[d[r].left].right = d[r].right;
    d[d[r].right].left = d[r].left;
  }
}

void putBackClause(koDLXNode* d, unsigned int item) {
  for (unsigned int r : {d[item].up, d[item].down}) {
    d[d[r].left].right = r;
    d[d[r].right].left = r;
  }
  d[d[item].left].right = item;
  d[d[item].right].left = item;
}

} // namespace

ko2SATSolver::ko2SATSolver(unsigned int n, unsigned int m)
    : bestCost(msNoSolution), bestState(n), columnScratch(columnCount(n, m)),
      nodes(3u * columnCount(n, m) + 1u), literalHeads(2u * n, nullptr), literalCosts(2u * n, 0),
      columnWeights(columnCount(n, m), 0), weightScratch(columnCount(n, m), 0),
      constraintColumns(m, kNone), redundantItems(m, nullptr), noRedundantItems(0),
      nodeData(nullptr), systemRoot{0, 0}, systemGroups(n), currentState(n), noGroups(n),
      noConstraints(m), noColumns(columnCount(n, m)), groupBits(koBinaryDigits(n)),
      liveBound(nullptr), noLinkUpdates(0),
      forcedColumns(2u * columnCount(n, m)), forcedHead(0), forcedTail(0),
      requiredLeft(columnCount(n, m) + 1u, 0), requiredRight(columnCount(n, m) + 1u, 0),
      pendingCharges(0), decidedGroups(n, 0), noSystemGroups(0), inertItems(2u * m),
      noInertItems(0) {
  assert(n >= 1);
  assert(noColumns < (1u << 20) && 2u * n < (1u << 20));
  costStack.reserve(m);
  for (koDLXNode& node : nodes)
    node = koDLXNode{0, kNone, kNone, kNone, kNone};
  nodeData = nodes.data();
  nodes[0].word = koDLXNode::makeWord(0, 0, 0, koDLXNode::msKindRoot, false, false);
  const unsigned int f = koDLXNode::msNoField;
  for (unsigned int j = 0; j < noColumns; ++j)
    nodes[j + 1].word = koDLXNode::makeWord(f, f, f, koDLXNode::msKindItem, false, false);
  for (unsigned int g = 0; g < n; ++g)
    nodes[g + 1].word = koDLXNode::makeWord(2u * g, 2u * g + 1u, f, koDLXNode::msKindItem, true,
                                            true);
}

void ko2SATSolver::addNewConstraint(unsigned int c, unsigned int a, unsigned int b,
                                    bool required) {
  assert(c < noConstraints && a < noGroups && b < noGroups);
  const ko2SATConstraintLiterals literals(a, b);
  const unsigned int column = noGroups + 2u * c;
  nodes[column + 1].word = koDLXNode::makeWord(literals.p0, literals.p1, 2u * c,
                                               koDLXNode::msKindItem, required, required);
  nodes[column + 2].word = koDLXNode::makeWord(literals.q0, literals.q1, 2u * c + 1u,
                                               koDLXNode::msKindItem, required, required);
  columnWeights[column] = 0;
  columnWeights[column + 1] = 0;
  constraintColumns[c] = column;
}

void ko2SATSolver::desactivateConstraint(unsigned int c, bool releaseInOut, bool releaseOutIn,
                                         unsigned int weightInOut, unsigned int weightOutIn,
                                         bool maximumCost) {
  assert(c < noConstraints && constraintColumns[c] != kNone);
  const unsigned int column = constraintColumns[c];
  // P(c) is violated by the in/out crossing, Q(c) by the out/in crossing.
  setClauseState(*this, column, releaseInOut, releaseOutIn, weightInOut, maximumCost);
  setClauseState(*this, column + 1, releaseOutIn, releaseInOut, weightOutIn, maximumCost);
}

ko2SATSystemRoot ko2SATSolver::getGlobalSystemRoot() const {
  return ko2SATSystemRoot{0, noGroups + 2u * noConstraints};
}

void ko2SATSolver::reorderColumns(const ko2SATSystemRoot& root) {
  assert(root.firstColumn + root.noColumns <= noGroups + 2u * noConstraints);
  const unsigned int first = root.firstColumn;
  const unsigned int count = root.noColumns;
  for (unsigned int i = 0; i < count; ++i) {
    columnScratch[i].word = nodes[first + i + 1].word;
    weightScratch[i] = columnWeights[first + i];
  }
  // Group clauses by group id, then the constraint clauses by slot: the order the constructor
  // made, whatever earlier splits left, so that a recomputed subtree is searched exactly as the
  // first time.
  std::vector<unsigned int> order(count);
  for (unsigned int i = 0; i < count; ++i)
    order[i] = i;
  const auto sortKey = [this](unsigned int i) {
    const koDLXNode& item = columnScratch[i];
    const unsigned int slot = item.constraintSlot();
    return slot == koDLXNode::msNoField ? uint64_t{item.literal0() >> 1}
                                        : (uint64_t{1} << 32) | slot;
  };
  std::sort(order.begin(), order.end(),
            [&](unsigned int x, unsigned int y) { return sortKey(x) < sortKey(y); });
  for (unsigned int i = 0; i < count; ++i) {
    nodes[first + i + 1].word = columnScratch[order[i]].word;
    columnWeights[first + i] = weightScratch[order[i]];
  }
  refreshConstraintColumns(*this, root);
}

void ko2SATSolver::splitSystem(const ko2SATSystemRoot& root, const ko2SATState& set,
                               ko2SATSystemRoot& outside, ko2SATSystemRoot& inside) {
  assert(root.firstColumn + root.noColumns <= noGroups + 2u * noConstraints);
  const unsigned int first = root.firstColumn;
  const unsigned int count = root.noColumns;
  unsigned int noCrossing = 0, noOutside = 0;
  for (unsigned int i = 0; i < count; ++i) {
    const koDLXNode& item = nodes[first + i + 1];
    columnScratch[i].word = item.word;
    weightScratch[i] = columnWeights[first + i];
    if (crossesSet(item, set))
      ++noCrossing;
    else if (!set.test(item.literal0() >> 1))
      ++noOutside;
  }
  // Three stable passes: crossing, outside, inside.
  unsigned int out = first;
  for (unsigned int part = 0; part < 3; ++part) {
    for (unsigned int i = 0; i < count; ++i) {
      const koDLXNode& item = columnScratch[i];
      const unsigned int itemPart =
          crossesSet(item, set) ? 0u : (set.test(item.literal0() >> 1) ? 2u : 1u);
      if (itemPart != part)
        continue;
      nodes[out + 1].word = item.word;
      columnWeights[out++] = weightScratch[i];
    }
  }
  outside = ko2SATSystemRoot{first + noCrossing, noOutside};
  inside = ko2SATSystemRoot{outside.firstColumn + noOutside, count - noCrossing - noOutside};
  refreshConstraintColumns(*this, root);
}

void ko2SATSolver::bakeSystem(const ko2SATSystemRoot& root, koGroupsClustering* clustering,
                              bool useDisassemblableClusters) {
  assert(root.firstColumn + root.noColumns <= noGroups + 2u * noConstraints);
  systemRoot = root;
  systemGroups.clear(false);
  const unsigned int end = root.firstColumn + root.noColumns;
  for (unsigned int j = root.firstColumn; j < end; ++j) {
    const koDLXNode& item = nodes[j + 1];
    literalHeads[item.literal0()] = nullptr;
    literalHeads[item.literal1()] = nullptr;
    systemGroups.add(item.literal0() >> 1);
    systemGroups.add(item.literal1() >> 1);
  }
  noSystemGroups = 0;
  systemGroups.forEachMember([this](unsigned int) { ++noSystemGroups; });

  // Each cluster inside the system becomes a chain of required equalities x_p = x_q, written as
  // clauses {not x_p, x_q} between consecutive members.
  const unsigned int firstClusterColumn = noGroups + 2u * noConstraints;
  unsigned int clusterEnd = firstClusterColumn;
  if (clustering != nullptr) {
    for (unsigned int id =
             clustering->getNextClusterId(useDisassemblableClusters, systemGroups, kNone);
         id != kNone;
         id = clustering->getNextClusterId(useDisassemblableClusters, systemGroups, id)) {
      clustering->getCluster(id, currentState);
      unsigned int previous = kNone;
      currentState.forEachMember([&](unsigned int q) {
        if (previous != kNone) {
          // Clusters are disjoint subsets of the system's groups: at most n - 1 links in all.
          assert(clusterEnd < noColumns);
          koDLXNode& item = nodes[clusterEnd + 1];
          item.setLiteral0(2u * previous + 1u);
          item.setLiteral1(2u * q);
          item.setActive(true);
          item.setPrimary(true);
          ++clusterEnd;
        }
        previous = q;
      });
    }
  }

  koDLXNode& rootNode = nodes[0];
  rootNode.up = rootNode.down = kNone;
  rootNode.left = rootNode.right = 0;
  for (unsigned int j = root.firstColumn; j < end; ++j)
    linkColumn(*this, j);
  for (unsigned int j = firstClusterColumn; j < clusterEnd; ++j)
    linkColumn(*this, j);
}

inline uint64_t ko2SATSolver::cheaperAdditiveCharge(unsigned int group) const {
  return std::min(literalCosts[2u * group] & koCostLowWord,
                  literalCosts[2u * group + 1u] & koCostLowWord);
}

inline void ko2SATSolver::chargeLiteral(unsigned int literal, uint64_t newCost) {
  const unsigned int group = literal >> 1;
  if (decidedGroups[group] != 0) {
    literalCosts[literal] = newCost;
    return;
  }
  pendingCharges -= cheaperAdditiveCharge(group);
  literalCosts[literal] = newCost;
  pendingCharges += cheaperAdditiveCharge(group);
}

// A lower bound of every completion's cost: the charges paid so far and those still pending,
// and the side term at its least: the larger side of a complete assignment holds at least half
// of the system's groups, the smaller at least one.
inline bool ko2SATSolver::cannotBeatBest(uint64_t cost, unsigned int noInSet,
                                         unsigned int noOutOfSet) const {
  const uint64_t least = cost + pendingCharges;
  const bool additiveCharged = ((least & koCostLowWord) >> groupBits) != 0;
  const unsigned int side = additiveCharged
                                ? std::max({noInSet, noOutOfSet, (noSystemGroups + 1u) / 2u})
                                : std::max(std::min(noInSet, noOutOfSet), 1u);
  return least + side >= bestCost;
}

unsigned int ko2SATSolver::selectColumn(koDLXNode* root) {
  koDLXNode* d = nodeData;
  // A forced or dead column, wherever it stands in the list, decides the same: taking forced
  // literals in another order reaches the same assignment at the same cost before the next
  // branch, so the queue may stand in for the walk until it runs dry.
  while (forcedHead < forcedTail) {
    const unsigned int item = forcedColumns[forcedHead++] + 1;
    const koDLXNode& column = d[item];
    if (d[column.left].right != item)
      continue;  // covered since it was queued
    return column.down == item ? msDeadEnd : item - 1;
  }
  (void)root;  // the required list stands for the root's list
  unsigned int best = msComplete;
  uint64_t bestKey = 0, bestNotHi = 0;
  for (unsigned int item = requiredRight[0]; item != 0; item = requiredRight[item]) {
    const koDLXNode& column = d[item];
    if (column.down == item)
      return msDeadEnd;
    if (column.up == column.down)
      return item - 1;  // forced
    const uint64_t c0 = literalCosts[column.literal0()];
    const uint64_t c1 = literalCosts[column.literal1()];
    // Branch where the cheaper choice is the most expensive (lo / 8), then the larger hi.
    const uint64_t key = (~std::min(c0, c1) >> 3) | (uint64_t(1) << 62);
    const uint64_t notHi = ~std::max(c0, c1);
    if (best == msComplete || key < bestKey || (key == bestKey && notHi < bestNotHi)) {
      best = item - 1;
      bestKey = key;
      bestNotHi = notHi;
    }
  }
  return best;
}

void ko2SATSolver::coverColumn(unsigned int column) {
  assert(column < noColumns);
  koDLXNode* d = nodeData;
  const unsigned int item = column + 1;
  koDLXNode& c = d[item];
  if (c.active()) {
    d[c.left].right = c.right;
    d[c.right].left = c.left;
    if (c.primary()) {
      requiredRight[requiredLeft[item]] = requiredRight[item];
      requiredLeft[requiredRight[item]] = requiredLeft[item];
    }
    unsigned int updates = 1;  // counted here and added once, to keep the loop lean
    for (unsigned int r = c.down; r != item; r = d[r].down) {
      for (unsigned int j = d[r].right; j != r; j = d[j].right) {
        d[d[j].up].down = d[j].down;
        d[d[j].down].up = d[j].up;
        ++updates;
        const unsigned int other = d[j].literal1() + 1;
        if (d[other].up == d[other].down && d[other].required()) {
          assert(forcedTail < forcedColumns.size());
          forcedColumns[forcedTail++] = other - 1;
        }
      }
    }
    noLinkUpdates += updates;
    return;
  }
  if (c.down == item)
    return;
  // A released clause: only the literal not yet decided is left; choosing it later completes
  // the crossing, so it carries the charge.
  uint64_t& literalCost = literalCosts[d[c.down].literal0()];
  const unsigned int weight = columnWeights[column];
  if (c.primary()) {
    const unsigned int high = static_cast<unsigned int>(literalCost >> 32);
    costStack.push_back(high);
    literalCost = (uint64_t(std::max(high, weight)) << 32) | (literalCost & koCostLowWord);
  } else {
    chargeLiteral(d[c.down].literal0(), literalCost + (uint64_t(weight) << groupBits));
  }
}

void ko2SATSolver::uncoverColumn(unsigned int column) {
  assert(column < noColumns);
  koDLXNode* d = nodeData;
  const unsigned int item = column + 1;
  koDLXNode& c = d[item];
  if (c.active()) {
    for (unsigned int r = c.up; r != item; r = d[r].up) {
      for (unsigned int j = d[r].left; j != r; j = d[j].left) {
        d[d[j].up].down = j;
        d[d[j].down].up = j;
      }
    }
    d[c.left].right = item;
    d[c.right].left = item;
    if (c.primary()) {
      requiredRight[requiredLeft[item]] = item;
      requiredLeft[requiredRight[item]] = item;
    }
    return;
  }
  if (c.down == item)
    return;
  uint64_t& literalCost = literalCosts[d[c.up].literal0()];
  if (c.primary()) {
    assert(!costStack.empty());
    literalCost = (uint64_t(costStack.back()) << 32) | (literalCost & koCostLowWord);
    costStack.pop_back();
  } else {
    const uint64_t charge = uint64_t(columnWeights[column]) << groupBits;
    chargeLiteral(d[c.up].literal0(), literalCost - charge);
  }
}

unsigned long ko2SATSolver::iterateSolve(koDLXNode* root, unsigned int depth, unsigned long cost,
                                         unsigned int& noInSet, unsigned int& noOutOfSet) {
  // The forced queue as this level found it, put back on every way out.
  struct tForcedSlice {
    ko2SATSolver& solver;
    const unsigned int head, tail;
    ~tForcedSlice() {
      solver.forcedHead = head;
      solver.forcedTail = tail;
    }
  } const forcedSlice{*this, forcedHead, forcedTail};

  if (liveBound != nullptr)
    bestCost = std::min(bestCost, liveBound->load(std::memory_order_relaxed));
  if (cannotBeatBest(cost, noInSet, noOutOfSet))
    return bestCost;  // nothing below can be recorded
  const unsigned int column = selectColumn(root);
  if (column == msDeadEnd)
    return msNoSolution;
  if (column == msComplete) {
    const uint64_t finalCost = (noInSet == 0 || noOutOfSet == 0)
                                   ? msOneSided
                                   : cost + koSideTerm(cost, groupBits, noInSet, noOutOfSet);
    if (finalCost < bestCost) {
      bestCost = finalCost;
      bestState = currentState;
    }
    return bestCost;
  }

  koDLXNode* d = nodeData;
  const unsigned int item = column + 1;
  coverColumn(column);
  if (d[item].down == item) {
    uncoverColumn(column);
    return bestCost;
  }

  struct tCandidate {
    unsigned int node;
    uint64_t cost;
    uint64_t estimate;
  };
  tCandidate candidates[2];  // a column holds at most two literal nodes
  unsigned int noCandidates = 0;
  for (unsigned int r = d[item].down; r != item; r = d[r].down) {
    assert(noCandidates < 2);
    const unsigned int literal = d[r].literal0();
    const uint64_t candidateCost = koCombineCosts(cost, literalCosts[literal]);
    const unsigned int inSet = noInSet + ((literal & 1u) == 0 ? 1u : 0u);
    const unsigned int outOfSet = noOutOfSet + ((literal & 1u) != 0 ? 1u : 0u);
    // Never decreases along a path, so it bounds every completion from below.
    const uint64_t estimate = candidateCost + koSideTerm(candidateCost, groupBits, inSet, outOfSet);
    candidates[noCandidates++] = tCandidate{r, candidateCost, estimate};
  }
  if (noCandidates == 2 && candidates[1].estimate < candidates[0].estimate)
    std::swap(candidates[0], candidates[1]);

  for (unsigned int k = 0; k < noCandidates; ++k) {
    const tCandidate& candidate = candidates[k];
    if (!(candidate.estimate < bestCost))
      continue;
    const unsigned int r = candidate.node;
    const unsigned int literal = d[r].literal0();
    const unsigned int group = literal >> 1;
    const unsigned int forcedTailBefore = forcedTail;
    pendingCharges -= cheaperAdditiveCharge(group);
    decidedGroups[group] = 1;
    for (unsigned int j = d[r].right; j != r; j = d[j].right)
      coverColumn(d[j].literal1());
    if ((literal & 1u) == 0) {
      ++noInSet;
      currentState.add(group);
    } else {
      ++noOutOfSet;
    }
    const uint64_t result = iterateSolve(root, depth + 1, candidate.cost, noInSet, noOutOfSet);
    if ((literal & 1u) == 0) {
      --noInSet;
      currentState.remove(group);
    } else {
      --noOutOfSet;
    }
    for (unsigned int j = d[r].left; j != r; j = d[j].left)
      uncoverColumn(d[j].literal1());
    decidedGroups[group] = 0;
    pendingCharges += cheaperAdditiveCharge(group);
    forcedTail = forcedTailBefore;
    if (result == 0) {  // nothing can beat it
      uncoverColumn(column);
      return 0;
    }
  }
  uncoverColumn(column);
  return bestCost;
}

void ko2SATSolver::removeRedundantConstraints(koDLXNode* root) {
  koDLXNode* d = nodeData;
  const unsigned int rootIndex = static_cast<unsigned int>(root - d);
  // P(c) and Q(c) lie next to each other; both required, they state the same equality. Slots
  // are compared as plain numbers, so the 0xFFFFF of group and cluster clauses never matches.
  unsigned int x = root->right;
  while (x != rootIndex) {
    const unsigned int y = d[x].right;
    if (y == rootIndex)
      break;
    if (d[y].constraintSlot() == d[x].constraintSlot() + 1u && d[x].required() &&
        d[y].required()) {
      takeOutClause(d, y);
      assert(noRedundantItems < redundantItems.size());
      redundantItems[noRedundantItems++] = &d[y];
      x = d[y].right;
    } else {
      x = y;
    }
  }
}

void ko2SATSolver::pushBackRedundantConstraints(koDLXNode* /*root*/) {
  koDLXNode* d = nodeData;
  while (noRedundantItems > 0)
    putBackClause(d, static_cast<unsigned int>(redundantItems[--noRedundantItems] - d));
}

void ko2SATSolver::solve(uint64_t bound, const std::atomic<uint64_t>* sharedBound) {
  liveBound = sharedBound;
  currentState.clear(false);
  bestState.clear(false);
  koDLXNode* root = nodeData;
  removeRedundantConstraints(root);
  forcedHead = forcedTail = 0;
  unsigned int last = 0;
  for (unsigned int item = root->right; item != 0; item = nodeData[item].right) {
    if (!nodeData[item].active() && columnWeights[item - 1] == 0) {
      takeOutClause(nodeData, item);
      assert(noInertItems < inertItems.size());
      inertItems[noInertItems++] = item;
      continue;
    }
    if (!nodeData[item].required())
      continue;
    requiredRight[last] = item;
    requiredLeft[item] = last;
    last = item;
  }
  requiredRight[last] = 0;
  requiredLeft[0] = last;
  bestCost = bound;
  noLinkUpdates = 0;
  pendingCharges = 0;
  unsigned int noInSet = 0, noOutOfSet = 0;
  iterateSolve(root, 0, 0, noInSet, noOutOfSet);
  while (noInertItems > 0)
    putBackClause(nodeData, inertItems[--noInertItems]);
  pushBackRedundantConstraints(root);
}
