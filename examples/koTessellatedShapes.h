#pragma once

#include <Wm4Foundation.h>
#include <ko/koTriMesh.h>

#include <string>
#include <vector>

// Finely tessellated closed solids, as a CAD exporter writes them: positions and normals, every
// face (or the curved side) with vertices of its own, outward-facing counter-clockwise triangles,
// identity transformation. Contacts between such shapes span many triangles. The caller owns the
// new mesh (wrap it in a koPointer).

// An axis-aligned box whose faces are grids of divisions x divisions squares (two triangles each).
ko::koTriMesh* makeTessellatedBox(const std::string& name, const Wm4::Vector3<float>& minCorner,
                                  const Wm4::Vector3<float>& maxCorner, int divisions);

// A cylinder along +z from baseCentre, its side cut into segments around and rings along the
// height (with smooth radial normals), closed by two flat caps.
ko::koTriMesh* makeCylinder(const std::string& name, const Wm4::Vector3<float>& baseCentre,
                            float radius, float height, int segments, int rings);

// A tube along +z from baseCentre: outer and inner sides (the inner one facing the axis) and two
// flat annular ends. A peg of the inner radius fits it exactly.
ko::koTriMesh* makeTube(const std::string& name, const Wm4::Vector3<float>& baseCentre,
                        float innerRadius, float outerRadius, float height, int segments,
                        int rings);

// A hole along z through a block, in the middle of a rectangular cell of the block's top face
// (the cells of one block must not overlap): round of the given radius, cut into as many
// segments as makeCylinder's (so that a cylinder of that radius fits it facet to facet), or
// square with half side `radius` when square is set.
struct koBlockHole {
  float x, y;           // the hole's axis
  float halfX, halfY;   // the cell's half sides, larger than the radius
  float radius;
  bool square = false;
};

// An axis-aligned block with holes along z from its bottom to its top face. The faces are flat
// and the hole walls' normals point at the axis; top and bottom are cut along the cells' sides.
ko::koTriMesh* makeHoledBlock(const std::string& name, const Wm4::Vector3<float>& minCorner,
                              const Wm4::Vector3<float>& maxCorner,
                              const std::vector<koBlockHole>& holes, int segments);
