#pragma once

// Small pieces shared by the steps of the explosion diagram.

#include "koDisassemblyHierarchy.h"
#include "koExplosionDiagram.h"

#include <utility>
#include <vector>

namespace koExplosionTools {

using Prism = koExplosionDiagram::tBoundingPlanesMinMax;
using DirectionSet = koExplosionDiagram::tOrthogonalDirectionSet;

// A sorted list of disjoint closed intervals, kept sorted while intervals are added: every stored
// interval that meets the new one (touching ends included) is merged into it.
template <typename T>
void insertInterval(std::vector<std::pair<T, T>>& list, T low, T high) {
  for (size_t i = 0; i < list.size();) {
    if (list[i].first > high) {
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), {low, high});
      return;
    }
    if (list[i].second >= low) {
      low = list[i].first < low ? list[i].first : low;
      high = list[i].second > high ? list[i].second : high;
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
  list.emplace_back(low, high);
}

// The node's slice of the group list as [begin, end) positions.
inline unsigned int rangeEnd(const koDisassemblyHierarchy::tTreeNode& node) {
  return node.first + node.noGroups;
}

// True for node slots that hold a node (unused slots are None in every field).
inline bool isInUse(const koDisassemblyHierarchy::tTreeNode& node) {
  constexpr unsigned int None = koDisassemblyHierarchy::None;
  return !(node.first == None && node.noGroups == None && node.firstChild == None &&
           node.secondChild == None && node.parent == None);
}

// The point closest, in the least-squares sense, to the middle planes of the intersection of two
// prisms along their five directions.
Wm4::Vector3<float> intersectionCentre(const DirectionSet& set, const Prism& p, const Prism& q);

} // namespace koExplosionTools
