#pragma once

#include <ko/koTriMesh.h>

#include <assimp/matrix4x4.h>
#include <assimp/mesh.h>

#include <string>

// Coordinates, after the world transformation, may not exceed this magnitude. The library works in
// single precision and squares cross products of edges (fourth powers of coordinate differences)
// for areas and normals: differences of at most 2e9 keep those (1.6e37) below float's 3.4e38.
constexpr float kLargestCoordinate = 1e9f;

// One assimp mesh as a koTriMesh, with what was left out of it.
struct tolvaneConvertedMesh {
  ko::koTriMesh* mesh = nullptr;  // new, unowned; null when no triangle with an area is left
  unsigned int noTriangles = 0;   // the source's triangles (its points and lines not counted)
  unsigned int noDegenerate = 0;  // triangles dropped for having no area
  bool pointLike = false;         // every vertex of its triangles lies in one point
};

// Copies the triangles of one mesh, positions mapped by the node's world matrix and normals by its
// inverse transpose, vertices of equal position and normal joined; points and lines are dropped, and so are triangles without an area (a repeated
// index, or a zero cross product of the stored positions). Throws tolvaneInputError, prefixed with
// `where`, for an index out of range and for a coordinate that is not finite or too large.
tolvaneConvertedMesh convertMesh(const aiMesh& source, const aiMatrix4x4& world,
                                 const std::string& where);
