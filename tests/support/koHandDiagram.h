#pragma once

#include "koContactDiagram.h"
#include "koMeshGroups.h"

#include <initializer_list>
#include <vector>

// A contact diagram filled by hand over n groups of one (absent) mesh each: group g is mesh g.
struct koHandDiagram {
  explicit koHandDiagram(unsigned int noGroups)
      : groups(std::vector<ko::koTriMesh*>(noGroups, nullptr), nullptr),
        diagram(0, 16, groups) {}
  koHandDiagram(const koHandDiagram&) = delete;

  // A contact whose directions say how group0 moves away from group1.
  void contact(unsigned int group0, unsigned int group1,
               std::initializer_list<Wm4::Vector3<double>> directions) {
    const std::vector<Wm4::Vector3<double>> list(directions);
    diagram.pushContactEdge(group0, group1, list.data(), static_cast<unsigned int>(list.size()),
                            Wm4::Vector3<float>(0.0f, 0.0f, 0.0f));
  }

  // The direction set index of the entry closest to d.
  unsigned int directionIndex(const Wm4::Vector3<double>& d) const {
    unsigned int best = 0;
    for (unsigned int k = 1; k < diagram.getNoDirections(); ++k)
      if (diagram.getDirectionFromId(k).Dot(d) > diagram.getDirectionFromId(best).Dot(d))
        best = k;
    return best;
  }

  koMeshGroups groups;
  koContactDiagram diagram;
};
