#pragma once

#include "koBoxAssembly.h"

// Prints how a contact diagram found from the meshes of a box assembly compares with the
// diagram the assembly fills by hand: pairs found by one only (with how their boxes meet), and
// pairs whose directions differ. Directions are compared in the sense in which the mesh of the
// lower index moves away from the other, to a hundredth.
void printDiagramComparison(const koBoxAssembly& assembly, const koContactDiagram& fromMeshes);
