#pragma once

#include "koMeshAssemblies.h"

#include <string>
#include <vector>

// A mesh assembly whose parts have names, as a CAD exporter hands them to a host.
struct koNamedMeshAssembly {
  koMeshAssembly assembly;
  std::vector<std::string> partNames;  // one per part id, unique, lower case with hyphens
};

// Products built from tessellated boxes, cylinders, tubes and holed blocks, in millimetres with
// z up. Parts touch face to face, and every pin, shaft or screw fits its bore exactly (shared
// segments, so facets coincide); no two parts overlap.
namespace koProductAssemblies {

// The gearbox of koSampleAssemblies::gearbox(), each box tessellated with normals, its twelve
// parts named after their boxes ("housing", "screw-1", "input-gear", ...).
koNamedMeshAssembly gearbox();

// A bench vise of thirteen parts along x: a base with a guide rail; the fixed jaw, bolted down
// through its foot; the sliding jaw straddling the rail; a jaw plate on each jaw held by two
// screws along x; the spindle, through both jaws' bores with a hub against the sliding jaw's
// front; and the handle through the hub's cross bore, a knob at its +y end.
koNamedMeshAssembly benchVise();

// A 60% keyboard of 134 parts: a case (floor, walls and six screw bosses), the circuit board
// screwed onto the bosses, the switch plate resting on the walls, 61 switches standing on the
// board through the plate's square holes with their pins in the board, 61 keycaps on the
// switches' stems, and four rubber feet under the case.
koNamedMeshAssembly keyboard();

} // namespace koProductAssemblies
