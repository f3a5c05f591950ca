#pragma once

#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePlan.h"

#include <string>
#include <vector>

// Writes the assembly as a binary glTF 2.0 file (GLB): one root node per part, named after it
// (parts.partNames) and holding one mesh whose primitives are the part's mesh instances, in
// import order. Vertices are written as the import holds them, in world coordinates, with the
// vertex buffer's normals where it has usable ones and flat normals otherwise (each triangle
// then gets vertices of its own); part p gets material p of a small palette, cycled. Nodes carry
// no transformation, so a node's translation is its part's world offset from the assembled place.
//
// tracksPerPart is empty (a static assembly) or holds one track per part: a part with keys gets
// one LINEAR translation channel of the file's one animation, times in seconds. A key whose time
// does not exceed the previous key's replaces it, since glTF asks for strictly increasing times.
// Returns false when the tracks do not match the parts or the file cannot be written.
bool writeAnimatedGlb(const tolvaneImport& import, const tolvaneParts& parts,
                      const std::vector<tolvanePlan::tTrack>& tracksPerPart,
                      const std::string& path);
