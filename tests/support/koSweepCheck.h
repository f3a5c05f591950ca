#pragma once

#include "koDisassemblyHierarchy.h"

#include <Wm4Foundation.h>
#include <gtest/gtest.h>

#include <functional>

// Geometric check of a finished hierarchy on the meshes of its groups, independent of any contact
// diagram. At every split the moving side (second child) travels along the split direction until
// its world bounding box has passed the staying side's (first child); neither where it starts nor
// on the way may it overlap the staying side deeper than contactTolerance. Parts that touch
// therefore pass: flush faces sliding along each other, a peg leaving a bore it fits exactly.
//
// The travel is checked continuously, not in steps: every moving triangle not parallel to the
// direction sweeps a prism, and a collision is a staying triangle that meets such a prism shrunk
// by the tolerance on every side (clipped by its planes). For a closed mesh the prisms of the faces
// that look backward alone cover the solid and its whole path, so the winding does not matter.
// Meshes are read through each one's World transformation. Contacts of round parts count as
// touching only when their facets coincide (a coarser bore around a finer peg overlaps by the
// sagitta). A staying triangle that enters the sweep only along the tolerance-wide seam between
// two prisms goes unseen; a solid that really penetrates crosses whole prisms elsewhere.
//
// directionOf maps a split direction index to its direction (any length but zero), e.g. through
// koContactDiagram::getDirectionFromId.
testing::AssertionResult splitsAreSweepFree(
    const koDisassemblyHierarchy& hierarchy,
    const std::function<Wm4::Vector3<double>(unsigned int)>& directionOf, float contactTolerance);
