#pragma once

#include "koBoxAssembly.h"

#include <memory>

// Box assemblies with hand-filled contact diagrams, for examples, tests and benchmarks. Each
// builder returns a finished assembly (meshes, groups, diagram with its direction set at 5
// degrees).
namespace koSampleAssemblies {

using Assembly = std::unique_ptr<koBoxAssembly>;

// A box resting on a plate: two parts, one contact.
Assembly boxOnPlate();
// `count` boxes stacked along +z on a plate, the plate first.
Assembly stack(unsigned int count);
// A square peg in a block with a blind hole; the block is five boxes forming one part.
Assembly pegInBlock();
// A base and a lid, held by four screws through the lid into the base; every screw is a shaft
// and a head, one part; lid and base are five boxes each around the screw holes.
Assembly lidWithScrews();
// A gearbox of twelve parts: a housing (floor, four walls, four corner posts), a lid held by four
// screws in the housing's corners, and inside, from wall to wall, a bearing, a gear, a gear and a
// bearing block, with two shafts lying in slots along their tops under the lid. Every part that
// blocks another touches it.
Assembly gearbox();
// A running-bond brick wall on a ground slab: `rows` rows of `bricksPerRow` bricks, every
// other row offset by half a brick (with a half brick at each end).
Assembly brickWall(unsigned int rows, unsigned int bricksPerRow, bool withDiagonals = false);
// A box cut `noParts - 1` times by random axis-aligned planes (each cut splits one piece in
// two), so every piece touches its neighbours face to face.
// With diagonals, contacts also list diagonal directions (13 directions instead of 3).
Assembly randomPacking(unsigned int noParts, unsigned int seed, bool withDiagonals = false);

} // namespace koSampleAssemblies
