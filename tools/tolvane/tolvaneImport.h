#pragma once

#include <ko/koNode.h>
#include <ko/koPointer.h>
#include <ko/koTriMesh.h>

#include <string>
#include <vector>

// One mesh instance of the input: a mesh of a scene node, with its vertices already in world
// coordinates, and the names a part can take after it.
struct tolvaneMeshInstance {
  ko::koTriMesh* mesh;   // owned by the import's scene root
  std::string meshName;  // unique over the import: the node's, mesh's or file's name, "#k" added
  std::string nodeKey;   // the file and node path of the holding node, for grouping by node
  std::string nodeName;  // the holding node's name (the file's stem when the node has none)
  std::string fileName;  // the file's stem, for grouping by file
};

struct tolvaneImport {
  // Holds every mesh, so that the meshes live as long as the import.
  ko::koPointer<ko::koNode> scene = new ko::koNode;
  std::vector<tolvaneMeshInstance> instances;
};

// Reads every input with assimp: a file, or a folder whose files of a format assimp knows are read
// in name order. Each mesh instance of each scene node becomes a koTriMesh whose vertices are
// baked to world coordinates (its Local stays the identity), so that non-uniform scales and
// shears of the input survive and the explosion's offsets are plain world offsets. Throws
// tolvaneInputError for a missing or unreadable file, a format assimp rejects, a file without
// triangles, a non-finite coordinate or an index out of range.
tolvaneImport importAssembly(const std::vector<std::string>& inputs);
