#pragma once

#include <vector>

namespace ko {
class koTriMesh;
}

// Mesh clean-up operations the contact analysis runs on working copies of a host's meshes. They
// change the mesh's buffers in place (its vertex and index buffers, which other meshes sharing
// them see as well).
namespace koMeshProcessing {

// Merges vertices into the first earlier vertex kept whose position lies within tolerance of
// theirs on every axis (tolerance 0: equal positions), and renumbers the triangles. positionsOnly true: positions alone decide and the merged vertex keeps
// the attributes of the lowest-index vertex of its cluster; false: vertices merge only when every
// channel they carry is equal as well. Vertices keep their relative order; vertices no triangle
// uses are kept. Returns the new vertex count.
int WeldSimilarVertices(ko::koTriMesh* mesh, float tolerance, bool positionsOnly);

// Recomputes vertex normals from the faces, splitting vertices along creases: at a vertex, two
// faces share a normal when the angle between their face normals is at most angleRadians, and
// the normal is the area-weighted mean of the face normals so joined. Vertices are duplicated
// where a vertex's faces fall into several such groups. The vertex buffer gains normals if it
// had none. Degenerate faces take part without weight.
void SmoothenNormals(ko::koTriMesh* mesh, float angleRadians);

// Labels every triangle with its connected component: triangles are connected when they share an
// edge (the same two vertex indices, in either order), so a component can be walked from any of
// its triangles across edges; triangles that meet only at a vertex fall into different
// components. Components are numbered 0, 1, ... in the order of their lowest triangle index.
// Returns the number of components.
unsigned int ClusterizeConnectedComponents(ko::koTriMesh* mesh,
                                           std::vector<unsigned int>& componentPerTriangle);

} // namespace koMeshProcessing
