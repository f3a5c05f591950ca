#pragma once

// Internals of koDistantContacts shared by its source files.

#include "koMeshGroups.h"

#include <Wm4Foundation.h>

#include <cmath>

class koDistantContacts;

// The worker-pool functor: job g finds the relations of group g; jobData is the koDistantContacts.
struct koDistantContactsJob {
  void operator()(unsigned int job, unsigned int thread, void* jobData) const;
};

// Two unit axes across a unit direction d: u = d x (the x or the y axis, whichever is further
// from d), v = u x d. u is zero when d is.
inline void crossAxes(const Wm4::Vector3<float>& d, Wm4::Vector3<float>& u,
                      Wm4::Vector3<float>& v) {
  const Wm4::Vector3<float> axis = std::fabs(d.X()) <= std::fabs(d.Y())
                                       ? Wm4::Vector3<float>(1.0f, 0.0f, 0.0f)
                                       : Wm4::Vector3<float>(0.0f, 1.0f, 0.0f);
  u = d.Cross(axis);
  // Not Normalize(): a zero product must stay zero.
  const float length = std::sqrt(u.SquaredLength());
  if (length > 0.0f)
    u /= length;
  v = u.Cross(d);
}

// The mesh index of the a-th mesh of a group.
inline unsigned int meshOfGroup(const koMeshGroups& groups, unsigned int group, unsigned int a) {
  return groups.groupMeshIndices[groups.groupOffsets[group] + a];
}
