#pragma once

#include "tolvaneImport.h"

#include <string>
#include <vector>

// How mesh instances join into rigid parts.
enum class tolvaneGroupBy { Mesh, Node, File };

// The rigid parts: partOfMesh[i] is the part of instances[i]; part p is named partNames[p] and
// parts are numbered in the order their first mesh comes in the import.
struct tolvaneParts {
  std::vector<unsigned int> partOfMesh;
  std::vector<std::string> partNames;
};

// Groups by mesh, node or file.
tolvaneParts groupParts(const tolvaneImport& import, tolvaneGroupBy by);

// Groups by a JSON object that maps mesh names to part names; a mesh it does not name is a part
// of its own, named after the mesh. Throws tolvaneInputError (naming groupsFile) for a file that
// is not such an object, a mesh name given twice or matching no mesh, and a part name that is also
// the name of an unmapped mesh.
tolvaneParts groupPartsByMap(const tolvaneImport& import, const std::string& groupsFile);
