// The expansion of every contact edge's own directions into the direction set and the per-group
// direction lists, on seeded random diagrams, against a direct reading of the expansion rules.

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "support/koHandDiagram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using Vec = Wm4::Vector3<double>;
using Entries = std::vector<unsigned int>;
constexpr unsigned int Flip = koDisassemblyHierarchyBuilder::msOppositeFlag;

// The entries of contact edge e: its own ones, then every other set entry near the span of its
// bases, in each sense that no one-sided basis points against. The bases are the own directions,
// in order, that lie farther than the tolerance from the line of every earlier basis, three at
// most; an own direction along a basis line but against it (dot below -0.99) makes that basis
// two-sided. Near the span means, with one or two bases, a sum of squared dot products with them
// of at least 1 - sin^2(tolerance); with three, anywhere.
Entries expectedEntries(const koContactDiagram& diagram, unsigned int e) {
  const double t = std::sin(diagram.getAngleTolerance() * 3.141592653589793 / 180.0);
  Entries entries;
  std::set<unsigned int> own;
  for (unsigned int id : diagram.getDisassemblyDirectionIds(e)) {
    entries.push_back(id / 2 | (id % 2) * Flip);
    own.insert(id / 2);
  }
  std::vector<Vec> bases;
  std::vector<bool> twoSided;
  for (const Vec& d : diagram.getDisassemblyDirections(e)) {
    bool alongABasis = false;
    for (size_t b = 0; b < bases.size(); ++b) {
      const double p = d.Dot(bases[b]);
      alongABasis = alongABasis || p * p >= 1.0 - t * t;
      twoSided[b] = twoSided[b] || (p * p >= 1.0 - t * t && p < -0.99);
    }
    if (!alongABasis && bases.size() < 3) {
      bases.push_back(d);
      twoSided.push_back(false);
    }
  }
  for (unsigned int k = 0; !bases.empty() && k < diagram.getNoDirections(); ++k) {
    double near = 0.0;
    bool forward = true, backward = true;
    for (size_t b = 0; b < bases.size(); ++b) {
      const double a = diagram.getDirectionFromId(k).Dot(bases[b]);
      near += a * a;
      forward = forward && (twoSided[b] || a >= -t);
      backward = backward && (twoSided[b] || a <= t);
    }
    if (own.count(k) != 0 || (bases.size() < 3 && near < 1.0 - t * t))
      continue;
    if (forward)
      entries.push_back(k);
    if (backward)
      entries.push_back(k | Flip);
  }
  return entries;
}

// Own directions scattered around a few shared lines in either sense, up to 1.5 times the
// tolerance away, so that set entries near a basis line or plane, bases pointing against each
// other and directions just inside or outside the tolerance all occur.
TEST(koDisassemblyHierarchyBuilder, ExpandsOwnDirectionsByTheToleranceRules) {
  for (unsigned int seed = 0; seed < 100; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const auto randomDirection = [&] {
      Vec v(unit(rng), unit(rng), unit(rng));
      return v / v.Length();
    };
    const float tolerance = 5.0f * (1 + rng() % 8);
    const double spread = 1.5 * std::sin(tolerance * 3.141592653589793 / 180.0);
    std::vector<Vec> lines(1 + rng() % 4);
    for (Vec& line : lines)
      line = randomDirection();
    koHandDiagram hand(5);
    for (unsigned int c = 0; c < 10; ++c) {
      std::vector<Vec> own(rng() % 5);
      for (Vec& d : own) {
        d = lines[rng() % lines.size()] * (rng() % 2 == 0 ? 1.0 : -1.0) +
            randomDirection() * (spread * (unit(rng) + 1.0) / 2.0);
        d /= d.Length();
      }
      const unsigned int a = rng() % 5, b = (a + 1 + rng() % 4) % 5;
      hand.diagram.pushContactEdge(a, b, own.data(), static_cast<unsigned int>(own.size()),
                                   Wm4::Vector3<float>(0.0f, 0.0f, 0.0f));
    }
    hand.diagram.computeDirectionSet(tolerance);
    koDisassemblyHierarchy hierarchy(hand.groups);
    const koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 1);
    std::vector<std::set<unsigned int>> groupDirections(5);
    for (unsigned int e = 0; e < builder.getNoEdges(); ++e) {
      const koDisassemblyHierarchyBuilder::tDynamicEdgeData& edge = builder.getEdgeData(e);
      const Entries expected = expectedEntries(hand.diagram, e);
      EXPECT_EQ(edge.entries, expected) << "edge " << e;
      EXPECT_EQ(edge.perDirectionValues,
                Entries(expected.begin(), expected.begin() + edge.directions.size()));
      for (unsigned int entry : expected)
        for (unsigned int g : {edge.group0, edge.group1})
          groupDirections[g].insert(entry & ~Flip);
    }
    for (unsigned int g = 0; g < 5; ++g)
      EXPECT_EQ(builder.getGroupDirections(g),
                Entries(groupDirections[g].begin(), groupDirections[g].end()));
  }
}

} // namespace
