#pragma once

#include "ko2SATState.h"
#include "ko2SATSystemRoot.h"
#include "koDLXNode.h"
#include "koTolvaneLibExport.h"

#include <atomic>
#include <cstdint>
#include <vector>

class koGroupsClustering;

// Finds the cheapest division of a set of groups into two non-empty sides for one removal
// direction. Group g has a variable x_g (true: g is in the returned set). Every constraint c
// between groups a and b is a pair of two-literal clauses P(c) = {x_a, not x_b} and
// Q(c) = {not x_a, x_b} whose strength the caller sets per direction (desactivateConstraint).
// The clauses are columns of an exact cover over literals, searched with dancing links and
// branch-and-bound.
//
// Columns: 0 .. n-1 the group clauses {x_g, not x_g}; n + 2c and n + 2c + 1 the clauses of
// constraint c (moved by reorderColumns and splitSystem, tracked in constraintColumns); the last
// n - 1 columns hold the cluster chains written by each bake. K = 2n + 2m - 1 columns in all;
// n, 2n and K must stay below 2^20 (20-bit fields of koDLXNode).
//
// Cost value: the high 32 bits are the largest maximum-type weight charged, the low 32 bits the
// sum of additive weights, each shifted left by groupBits so that the bits below hold a count of
// groups. Costs compare as plain 64-bit numbers.
//
// Use: construct, addNewConstraint for every constraint, reorderColumns, then per sub-system
// bakeSystem and repeatedly (desactivateConstraint, solve); splitSystem when a split is chosen.
// One instance per thread. solve() allocates nothing (the cost stack has room for m charges,
// enough unless constraints join a group to itself).
class KOTOLVANE_API ko2SATSolver {
public:
  static constexpr uint64_t msNoSolution = 0xFFFFFFFFFFFFFFFFull;  // no assignment exists
  static constexpr uint64_t msOneSided = 0xFFFFFFFFFFFFFFFEull;    // only with an empty side
  static constexpr unsigned int msDeadEnd = 0xFFFFFFFFu;           // selectColumn: no way on
  static constexpr unsigned int msComplete = 0x7FFFFFFFu;          // selectColumn: all decided

  // Valid after solve(): the cheapest cost, msOneSided, or msNoSolution.
  uint64_t bestCost;
  // Valid after solve(): the groups in the set of the cheapest assignment (n bits); empty when
  // bestCost is msNoSolution.
  ko2SATState bestState;
  // K item records: scratch of splitSystem and reorderColumns.
  std::vector<koDLXNode> columnScratch;
  // 3K + 1 nodes: root, K items, K first-literal nodes, K second-literal nodes.
  std::vector<koDLXNode> nodes;
  // 2n entries, used while baking: the first node linked for each literal, null for none yet.
  std::vector<koDLXNode*> literalHeads;
  // 2n entries: the cost charged when the literal is chosen; all 0 between searches.
  std::vector<uint64_t> literalCosts;
  // K entries: the weight of each released constraint clause, 0 otherwise.
  std::vector<unsigned int> columnWeights;
  // K entries: scratch of splitSystem and reorderColumns.
  std::vector<unsigned int> weightScratch;
  // m entries: the column of P(c) (Q(c) is the next one); koDLXNode::msInvalid until added.
  std::vector<unsigned int> constraintColumns;
  // The high words replaced by maximum-type charges, restored in reverse; empty between
  // searches.
  std::vector<unsigned int> costStack;
  // m entries: the items of the clauses removed as redundant for the current search.
  std::vector<koDLXNode*> redundantItems;
  unsigned int noRedundantItems;
  // nodes.data().
  koDLXNode* nodeData;
  // The sub-system of the last bake.
  ko2SATSystemRoot systemRoot;
  // The groups that occur in the baked system.
  ko2SATState systemGroups;
  // The assignment under construction (also scratch for clusters while baking).
  ko2SATState currentState;
  unsigned int noGroups;       // n
  unsigned int noConstraints;  // m
  unsigned int noColumns;      // K
  // The number of binary digits of n: every count of groups is below 2^groupBits.
  unsigned int groupBits;
  // The live bound of the current solve(), or null.
  const std::atomic<uint64_t>* liveBound;
  // Work of the last solve(): links updated by covers (an item leaving the root's list, a node
  // leaving its column), as Algorithm X implementations count "updates".
  uint64_t noLinkUpdates;

  // Sizes the solver for n >= 1 groups and m constraints; only the group clauses are set.
  ko2SATSolver(unsigned int n, unsigned int m);
  ko2SATSolver(const ko2SATSolver&) = delete;
  ko2SATSolver& operator=(const ko2SATSolver&) = delete;

  // Records constraint c (< m) between groups a and b (< n): both clauses required when
  // `required`, released with weight 0 otherwise. Once per constraint, before the first bake.
  void addNewConstraint(unsigned int c, unsigned int a, unsigned int b, bool required);
  // Sets the strength of constraint c for the direction under test. "In/out" is a in the set and
  // b not; "out/in" the opposite. Neither released: a and b on the same side. One released: that
  // crossing costs its weight, the other is forbidden. Both: each crossing costs its weight. A
  // non-zero weight counts as a maximum-type cost when maximumCost is set, additive otherwise.
  // Needs no new bake.
  void desactivateConstraint(unsigned int c, bool releaseInOut, bool releaseOutIn,
                             unsigned int weightInOut, unsigned int weightOutIn,
                             bool maximumCost);
  // All group and constraint clauses: {0, n + 2m}.
  ko2SATSystemRoot getGlobalSystemRoot() const;
  // Puts the root's group clauses first (in their order), then the other columns by slot.
  void reorderColumns(const ko2SATSystemRoot& root);
  // Links the root's columns, plus one chain of equalities per cluster of `clustering` (may be
  // null) that lies inside the system, for solve().
  void bakeSystem(const ko2SATSystemRoot& root, koGroupsClustering* clustering,
                  bool useDisassemblableClusters);
  // Searches the baked system; the result is in bestCost and bestState. The baked structure is
  // unchanged afterwards. With a bound, only assignments cheaper than it are looked for, and
  // bestCost stays at the bound when there is none; any that is found is the one the unbounded
  // search returns, since the bound only cuts branches that cannot lead below it.
  // sharedBound (may be null) is read at every step, and the search then cuts as if its best cost
  // were no higher: other searches running at the same time may lower it. bestCost may end at
  // such a value; an assignment cheaper than every value the bounds took is still the one the
  // unbounded search returns.
  void solve(uint64_t bound = msNoSolution, const std::atomic<uint64_t>* sharedBound = nullptr);
  // Rearranges the root's columns as [crossing][outside][inside] with respect to `set`, each
  // part in its previous order, and returns the two sub-systems (out-parameters). Crossing
  // clauses belong to neither.
  void splitSystem(const ko2SATSystemRoot& root, const ko2SATState& set,
                   ko2SATSystemRoot& outside, ko2SATSystemRoot& inside);

  // Steps of the search, called by the solver itself.
  // The required column to branch on; msDeadEnd when one cannot be covered, msComplete when none
  // is left.
  unsigned int selectColumn(koDLXNode* root);
  void coverColumn(unsigned int column);
  void uncoverColumn(unsigned int column);
  // Returns bestCost after searching below the current partial assignment.
  unsigned long iterateSolve(koDLXNode* root, unsigned int depth, unsigned long cost,
                             unsigned int& noInSet, unsigned int& noOutOfSet);
  // Takes the second clause of every constraint with both clauses required out of the search,
  // and puts them back.
  void removeRedundantConstraints(koDLXNode* root);
  void pushBackRedundantConstraints(koDLXNode* root);

private:
  // Required columns left with at most one literal by the covers in effect, queued as the covers
  // happen so that selectColumn finds them without walking the column list. The slice
  // [forcedHead, forcedTail) is saved and restored around every search level. Along one path a
  // column's list only shrinks, so it enters the queue at most twice: 2K entries suffice.
  std::vector<unsigned int> forcedColumns;
  unsigned int forcedHead;
  unsigned int forcedTail;
  // The required columns of the root's list, in its order, as a second circular list through
  // index 0 (indexed by item node): selectColumn walks only these, since no other column can be
  // chosen. Built by solve(), kept in step by covers of required columns.
  std::vector<unsigned int> requiredLeft;
  std::vector<unsigned int> requiredRight;
  // Charges every completion must still pay: for each undecided group, the additive part of the
  // cheaper of its two literals (each charge stands for a distinct crossing with a decided
  // group). Kept in step by the charges of covers and by the groups decided along the path.
  uint64_t pendingCharges;
  std::vector<unsigned char> decidedGroups;
  unsigned int noSystemGroups;
  // Released clauses of weight 0 forbid nothing and charge nothing: solve() takes them out of
  // their literals' rows for the search, so that deciding a group does not walk them, and puts
  // them back in reverse order.
  std::vector<unsigned int> inertItems;
  unsigned int noInertItems;
  uint64_t cheaperAdditiveCharge(unsigned int group) const;
  void chargeLiteral(unsigned int literal, uint64_t newCost);
  bool cannotBeatBest(uint64_t cost, unsigned int noInSet, unsigned int noOutOfSet) const;
};
