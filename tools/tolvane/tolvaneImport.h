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
  std::string nodeKey;   // the input's place and the node's path of child indices, for grouping
                         // by node: nodes of equal names stay apart
  std::string nodeName;  // the holding node's name (the file's stem when the node has none)
  std::string fileKey;   // the input's place in reading order, for grouping by file: files of
                         // equal stems stay apart
  std::string fileName;  // the file's stem
};

struct tolvaneImport {
  // Holds every mesh, so that the meshes live as long as the import.
  ko::koPointer<ko::koNode> scene = new ko::koNode;
  std::vector<tolvaneMeshInstance> instances;
  // One line per mesh that lost triangles without an area, "<file>: <what was dropped>", for the
  // host to print unless it is quiet.
  std::vector<std::string> warnings;
};

// Reads every input with assimp: a file, or a folder whose files of a format assimp knows are read
// in name order. Each mesh instance of each scene node becomes a koTriMesh whose vertices are
// baked to world coordinates (its Local stays the identity), so that non-uniform scales and
// shears of the input survive and the explosion's offsets are plain world offsets. Throws
// tolvaneInputError for a missing or unreadable file, a format assimp rejects, a file without
// triangles with an area, a non-finite coordinate, one beyond kLargestCoordinate, an index out of
// range, and an assembly too small for single precision to resolve at its distance from the
// origin. Triangles without an area are dropped with a warning, and so are meshes left empty.
tolvaneImport importAssembly(const std::vector<std::string>& inputs);

// Reads one assembly from `size` bytes at `data`, in the format whose file extension is
// formatHint ("obj", "stl", "glb", ...), checked and converted as importAssembly does; `name`
// stands for the file in messages and names. Files the data refers to (materials, buffers) are
// looked up on disk.
tolvaneImport importAssemblyFromMemory(const void* data, size_t size, const std::string& formatHint,
                                       const std::string& name);
