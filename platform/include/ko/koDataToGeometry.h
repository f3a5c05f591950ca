#pragma once

namespace ko {
class koTriMesh;
class koVertexBuffer;
} // namespace ko

// Display geometry for raw vertex data, such as the point pairs of a contact analysis, so that it
// can be shown in the scene or written with koMeshManager::saveMesh.
namespace koDataToGeometry {

// A new mesh (no references taken yet; attach it or hold it in a koPointer) showing the vertices
// of buffer, named after the buffer ("points" when the buffer has no name); null for a null buffer.
//  - markers true: every vertex becomes a small equilateral triangle centred on it, facing along
//    its normal (along +z without normals or for a zero normal), counter-clockwise seen from the
//    normal's side; its circumradius is 1/200 of the diagonal of the positions' bounding box, or
//    0.005 when all positions coincide. The new buffer has the source's attributes, every corner
//    carrying its vertex's data (texture coordinates, point size) at the moved position, with
//    the marker's facing direction as its normal.
//    Vertex 3i + c is corner c of vertex i's marker; triangle i is vertex i's marker.
//  - markers false: the mesh shares buffer itself and has an empty triangle list, a bare point
//    set (written as vertices only).
// A buffer without positions gives a mesh with that buffer and no triangles in both cases.
ko::koTriMesh* VertexBufferToGeometry(ko::koVertexBuffer* buffer, bool markers);

} // namespace koDataToGeometry
