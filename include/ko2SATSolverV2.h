#pragma once

#include "ko2SATState.h"
#include "koTolvaneLibExport.h"

#include <cstdint>
#include <vector>

// One entry of ko2SATSolverV2's heap of required columns: the column's selection key
// (computeColumnCost) and the column index. Entries compare as the 128-bit number (key, column),
// so the order is total and the top never depends on how the heap was sifted.
struct koDLXColumn {
  uint64_t key = 0xFFFFFFFFFFFFFFFFull;
  uint64_t column = 0x3FFFFFFFull;  // none
};

// A second split solver: the problem, the clause states and the cost value of ko2SATSolver, and
// the same cheapest cost on every system, searched without dancing links. Choosing a literal
// masks the rows of the literals it excludes in a bit set and records each change on a stack,
// undone in reverse. The required clauses wait in a binary min-heap on (computeColumnCost,
// column); a clause left with one literal waits on a queue of forced clauses instead, as in
// ko2SATSolver: taking forced choices in another order reaches the same assignment at the same
// cost before the next branch. No clusters, no redundant-clause removal, no column reordering.
//
// The heap is kept lazily: a clause that loses a literal keeps its entry and key until it
// reaches the top, where it is popped, to be pushed back when the search returns to where it
// was popped; only a charge re-keys the clauses that still have both literals. A stale key is
// the clause's true key again by the time the clause has both literals back, since every change
// made in between has been undone.
//
// Columns: 0 .. n-1 the group clauses {x_g, not x_g}; n + 2c and n + 2c + 1 the clauses
// P(c) = {x_a, not x_b} and Q(c) = {not x_a, x_b} of constraint c (moved by splitSystem, tracked
// in constraintColumns). K = n + 2m columns; n and m below 2^20.
//
// Which cheapest assignment: both solvers branch first on the system's first column, a group
// clause, and try its group in the set first, so both put the system's first group in bestState
// whenever some cheapest assignment has it there; a one-sided result is therefore the whole
// system. Beyond that, among equally cheap assignments each returns the first its own search
// meets, and the two choose where to branch differently (ko2SATSolver: its cheaper literal's
// cost / 8, then the dearer literal, then the list order, over the clauses left after removing
// redundant ones; here: the cheaper literal's cost / 4, then the column index, over all), so
// their bestState may differ. When one assignment alone is the cheapest, both return it.
//
// Use: construct, createConstraint for every constraint, then per sub-system bakeSystem and
// repeatedly (setConstraintParameters, solve); splitSystem when a split is chosen. One instance
// per thread. solve() allocates nothing.
class KOTOLVANE_API ko2SATSolverV2 {
public:
  static constexpr uint64_t msNoSolution = 0xFFFFFFFFFFFFFFFFull;  // no assignment exists
  static constexpr uint64_t msOneSided = 0xFFFFFFFFFFFFFFFEull;    // only with an empty side
  static constexpr unsigned int msDeadEnd = 0xFFFFFFFFu;           // selectColumn: no way on
  static constexpr unsigned int msComplete = 0x7FFFFFFFu;          // selectColumn: all decided
  static constexpr unsigned int msNone = 0xFFFFFFFFu;              // no column, no position
  static constexpr unsigned int msActive = 1u << 31;               // tColumn::flags
  static constexpr unsigned int msPrimary = 1u << 30;
  static constexpr unsigned int msSlotMask = 0xFFFFFu;  // tColumn::flags: constraint slot

  // A sub-system: the contiguous columns firstColumn .. firstColumn + noColumns - 1.
  struct tSystemRoot {
    unsigned int firstColumn;
    unsigned int noColumns;
  };

  // The state of one search along its current path.
  struct tSystemState {
    const tSystemRoot* root;
    uint64_t cost;            // cost value of the literals chosen so far
    unsigned int noInSet;     // groups put in the set
    unsigned int noOutOfSet;  // groups kept out
    explicit tSystemState(const tSystemRoot* systemRoot)
        : root(systemRoot), cost(0), noInSet(0), noOutOfSet(0) {}
  };

  // A clause. flags: msActive and msPrimary as in ko2SATSolver (required both, optional active
  // only, released additive neither, released maximum primary only), and the constraint slot in
  // the low 20 bits (2c for P(c), 2c + 1 for Q(c), msSlotMask for group clauses). weight: the
  // weight of a released clause, 0 otherwise.
  struct tColumn {
    unsigned int literal0;
    unsigned int literal1;
    unsigned int flags;
    unsigned int weight;
  };

  // The columns of the baked system that hold one literal: rowColumns[first .. first + count).
  struct tRowIndex {
    unsigned int first;
    unsigned int count;
  };

  // One change of maskRow.
  static constexpr unsigned int msChangeMask = 0, msChangeCharge = 1;
  struct tChange {
    uint64_t oldCost;    // msChangeCharge: the literal's cost before the charge
    unsigned int kind;   // msChangeMask or msChangeCharge
    unsigned int index;  // the masked or the charged literal
  };

  // Valid after solve(): the cheapest cost, msOneSided, or msNoSolution.
  uint64_t bestCost;
  // Valid after solve(): the groups in the set of the cheapest assignment (n bits); empty when
  // bestCost is msNoSolution.
  ko2SATState bestState;
  // K clauses in their current order.
  std::vector<tColumn> columns;
  // m entries: the column of P(c) (Q(c) is the next one).
  std::vector<unsigned int> constraintColumns;
  // 2n entries, set by bakeSystem: the row of each literal (empty for literals outside it).
  std::vector<tRowIndex> rowIndex;
  // The rows of the baked system, literal by literal, each in ascending column index.
  std::vector<unsigned int> rowColumns;
  // 2n entries: the cost charged when the literal is chosen; all 0 between searches.
  std::vector<uint64_t> literalCosts;
  // 2n bits: literals chosen or excluded on the current path; all clear between searches.
  std::vector<uint64_t> maskedLiterals;
  // 2n bits: literals chosen on the current path (a clause holding one is covered); all clear
  // between searches.
  std::vector<uint64_t> chosenLiterals;
  // The assignment under construction (bit g set while x_g is chosen).
  ko2SATState currentState;
  // heap[0 .. noHeapEntries) is a binary min-heap on (key, column) of the required columns not
  // popped; an entry whose column has lost a literal is stale (see above). After a search, the
  // root's required columns under the keys they have with nothing chosen.
  std::vector<koDLXColumn> heap;
  unsigned int noHeapEntries;
  // K entries: each column's index in heap, msNone when it is not there.
  std::vector<unsigned int> heapPositions;
  // Entries popped from the heap on the current path, pushed back in reverse on the way back.
  std::vector<koDLXColumn> poppedEntries;
  // Required columns that lost a literal, queued when they did: forcedColumns[forcedHead ..
  // forcedTail) waits to be checked. A column loses each literal at most once along a path, so
  // 2K entries suffice.
  std::vector<unsigned int> forcedColumns;
  unsigned int forcedHead;
  unsigned int forcedTail;
  // The changes of maskRow on the current path, undone in reverse by unmaskRow; empty between
  // searches.
  std::vector<tChange> changes;
  // Work of the last solve(): rows masked, counting the chosen literals' own.
  uint64_t noMaskedRows;
  unsigned int noGroups;       // n
  unsigned int noConstraints;  // m
  // The number of binary digits of n: every count of groups is below 2^groupBits.
  unsigned int groupBits;

  // Sizes the solver for n >= 1 groups and m constraints; only the group clauses are set.
  ko2SATSolverV2(unsigned int n, unsigned int m);
  ko2SATSolverV2(const ko2SATSolverV2&) = delete;
  ko2SATSolverV2& operator=(const ko2SATSolverV2&) = delete;

  // Records constraint c (< m) between groups a and b (< n), both clauses required (the flag is
  // not used). Once per constraint, before the first bake.
  void createConstraint(unsigned int c, unsigned int a, unsigned int b, bool);
  // Sets the strength of constraint c, as ko2SATSolver::desactivateConstraint. Needs no new bake.
  void setConstraintParameters(unsigned int c, bool releaseInOut, bool releaseOutIn,
                               unsigned int weightInOut, unsigned int weightOutIn,
                               bool maximumCost);
  // All group and constraint clauses: {0, n + 2m}.
  tSystemRoot getGlobalSystemRoot() const;
  // Builds the rows of the root's columns for solve(root).
  void bakeSystem(const tSystemRoot& root);
  // Rearranges the root's columns as [crossing][outside][inside] with respect to `set`, each
  // part in its previous order, and returns the two sub-systems (out-parameters). Crossing
  // clauses belong to neither. A sub-system needs a bake before its search.
  void splitSystem(const tSystemRoot& root, const ko2SATState& set, tSystemRoot& outside,
                   tSystemRoot& inside);
  // Searches the last baked root (passed again); the result is in bestCost and bestState.
  void solve(const tSystemRoot& root);

  // Steps of the search, called by the solver itself.
  // The column to branch on: a queued required column with one literal left, else the top of
  // the heap once stale entries are popped; msDeadEnd when a required column has no literal
  // left, msComplete when none is left to cover. The caller undoes the pops (see iterateSolve).
  unsigned int selectColumn();
  // The heap key of a required column: 0 with both literals masked; 2^62 | (~cost >> 2) with
  // one literal of that cost left; 2^63 | (~cheaper cost >> 2) with both. Smaller is more
  // urgent: dead ends, then forced clauses (both taken from the queue before the heap is
  // consulted), then the clause whose cheaper choice costs most.
  unsigned long computeColumnCost(unsigned int column) const;
  // Chooses a literal: masks it and every literal an active clause holding it excludes, queues
  // the required clauses those lose, charges released clauses to their other literal; returns
  // the number of changes it pushed, which unmaskRow(literal, changes) undoes.
  unsigned int maskRow(unsigned int literal);
  void unmaskRow(unsigned int literal, unsigned int changes);
  // Searches below the state's partial assignment; returns bestCost, or msNoSolution at a dead
  // end.
  unsigned long iterateSolve(tSystemState& state, unsigned int depth);

private:
  // The final cost of the complete assignment; kept when cheaper than the best so far.
  void recordAssignment(const tSystemState& state);
  // Tries the column's literals that are left, the cheaper estimate first.
  void branch(tSystemState& state, unsigned int column, unsigned int depth);
  void maskLiteral(unsigned int literal);
  void rekeyOpenColumns(unsigned int literal);  // the heap columns of its row with both literals
  void siftUp(unsigned int position);
  void siftDown(unsigned int position);
  void popTop();
  void pushEntry(const koDLXColumn& entry);
  static bool testBit(const std::vector<uint64_t>& bits, unsigned int i) {
    return ((bits[i >> 6] >> (i & 63u)) & 1u) != 0;
  }
  bool isMasked(unsigned int literal) const { return testBit(maskedLiterals, literal); }
  bool isCovered(const tColumn& column) const {
    return testBit(chosenLiterals, column.literal0) || testBit(chosenLiterals, column.literal1);
  }
};
