#pragma once

#include <map>
#include <string>

namespace ko {

class koProgressNotifierInterface;
class koSpatial;

namespace koMeshManager {

// Named options of a mesh file writer; saveMesh reads none at present and ignores every key, so
// callers pass an empty map.
typedef std::map<std::string, std::string> tOptions;

// Writes the meshes of a scene as a Wavefront OBJ file: object is either a koTriMesh or a koNode
// whose subtree is walked depth first, children in order. Every mesh becomes one "o" object named
// after the mesh ("mesh<k>" for an unnamed one, k counting the meshes written), with its vertex
// positions mapped by its World transformation (as of the host's last UpdateGS; nothing is
// updated here), its normals mapped by the inverse transpose and normalised when its vertex
// buffer has them, and one face per triangle with 1-based indices that run on across objects.
// Meshes without a vertex buffer or without positions are skipped; triangles with an index outside
// the vertex buffer are left out. The notifier (may be null) is opened with the number of meshes
// and advanced by one per mesh. Returns false when the file cannot be opened or written (the file
// may then be incomplete); an object without meshes gives an empty file and true.
bool saveMesh(const std::string& path, const koSpatial* object,
              koProgressNotifierInterface* notifier, const tOptions& options);

} // namespace koMeshManager

} // namespace ko
