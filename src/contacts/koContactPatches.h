#pragma once

#include <ko/koPointer.h>
#include <ko/koTriMesh.h>

#include <vector>

namespace koContactPatches {

// Appends one new mesh per edge-connected component of the listed faces of mesh, components in
// the order of their lowest position in the list. A patch holds the vertices its triangles use,
// in ascending order of their index in mesh, with all of mesh's channels plus texture channel 0
// of 2 components (room for the plane coordinates of the unfolding), and its triangles in list
// order.
void extractPatches(const ko::koTriMesh& mesh, const std::vector<unsigned int>& faces,
                    std::vector<ko::koPointer<ko::koTriMesh>>& patches);

} // namespace koContactPatches
