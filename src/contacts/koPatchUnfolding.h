#pragma once

namespace ko {
class koTriMesh;
}

namespace koPatchUnfolding {

// A new mesh laying the patch flat, triangle by triangle across shared edges, breadth first from
// triangle 0: each triangle keeps its 3D edge lengths and is placed counter-clockwise in its own
// winding, beside the triangle it was reached from. A vertex reached again gets a new copy, so
// every triangle after the first adds one vertex (t + 2 vertices for t triangles). Every vertex
// carries the patch vertex's channels, and texture channel 0 holds its plane point scaled into
// the unit square with the longer side of the points' box at length 1. The patch's vertex buffer
// needs texture channel 0 with 2 components.
ko::koTriMesh* unfoldPatch(const ko::koTriMesh& patch);

} // namespace koPatchUnfolding
