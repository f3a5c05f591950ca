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
// theirs on every axis, and renumbers the triangles. A tolerance of 0 (or less) merges equal
// positions only, in O(n) expected time by hashing; a positive one hashes into a grid of cells
// of about the tolerance. positionsOnly true: positions alone decide and the merged vertex keeps
// the attributes of the lowest-index vertex of its cluster; false: vertices merge only when every
// channel they carry is equal as well. Vertices keep their relative order; vertices no triangle
// uses are kept. Indices must lie in [0, vertex count). Returns the new vertex count.
int WeldSimilarVertices(ko::koTriMesh* mesh, float tolerance, bool positionsOnly);

// Recomputes vertex normals from the faces, splitting vertices along creases. At each vertex, its
// faces are grouped: two faces join when the angle between their normals is at most
// angleRadians, and groups are closed under that (a chain of small steps joins faces further
// apart). Each group's normal is the area-weighted mean of its faces' unit normals. The group
// holding the vertex's lowest triangle keeps the vertex; every other group gets a copy of it (all
// channels) appended to the buffer, in the order of the vertices and then of their groups' lowest
// triangles. Degenerate faces (collinear corners) take part without weight: one joins the group
// of the first proper face around the vertex sharing an edge with it, failing that of the
// vertex's first proper face; a vertex with degenerate faces only keeps its normal (zero in a
// buffer that had none). A buffer without normals is replaced by one with them and the same
// other channels.
void SmoothenNormals(ko::koTriMesh* mesh, float angleRadians);

// Labels every triangle with its connected component: triangles are connected when they share an
// edge (the same two vertex indices, in either order), so a component can be walked from any of
// its triangles across edges; triangles that meet only at a vertex fall into different
// components. Components are numbered 0, 1, ... in the order of their lowest triangle index.
// Returns the number of components.
unsigned int ClusterizeConnectedComponents(ko::koTriMesh* mesh,
                                           std::vector<unsigned int>& componentPerTriangle);

} // namespace koMeshProcessing
