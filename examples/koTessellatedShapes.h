#pragma once

#include <Wm4Foundation.h>
#include <ko/koTriMesh.h>

#include <string>

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
