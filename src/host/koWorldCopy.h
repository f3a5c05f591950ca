#pragma once

namespace ko {
class koTriMesh;
}

namespace koHost {

// A new mesh with the same vertices (every channel) and triangles as mesh, its positions mapped
// by the mesh's World transformation, so that meshes placed by their transformations can be
// analysed in one space. The copy has the identity transformation; the caller owns it.
ko::koTriMesh* makeWorldCopy(const ko::koTriMesh& mesh);

} // namespace koHost
