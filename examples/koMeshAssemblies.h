#pragma once

#include <koMeshGroups.h>
#include <ko/koNode.h>
#include <ko/koPointer.h>
#include <ko/koTriMesh.h>

#include <vector>

// An assembly known only by its tessellated meshes, as a host exports it from CAD: no contact
// diagram, parts touching exactly face to face or fitting exactly in round holes (zero
// clearance). Every contact spans many triangles.
struct koMeshAssembly {
  // The named meshes in mesh-index order, all attached to the scene.
  std::vector<ko::koPointer<ko::koTriMesh>> meshes;
  // One entry per mesh: its part (group) id; several meshes may form one part.
  std::vector<unsigned int> partOfMesh;
  // The root of the meshes, updated so that every mesh's World is valid.
  ko::koPointer<ko::koNode> scene;

  // Groups over the meshes by part; the meshes must outlive them.
  koMeshGroups makeGroups() const;
  unsigned int noParts() const;
};

// Builders. Part ids are numbered so that removing the parts from the highest id down, each
// straight along +z, takes every assembly apart, except where a builder says otherwise.
namespace koMeshAssemblies {

// A box resting on a wider plate: two parts.
koMeshAssembly boxOnPlate();
// `count` boxes, each resting on the one below and smaller than it; the bottom box first.
koMeshAssembly stack(unsigned int count);
// A round peg in a blind hole: the block is a tube whose bore a plate closes at the bottom (one
// part); the peg fits the bore exactly and stands on the plate.
koMeshAssembly pegInBlindHole();
// A base and a lid held by four screws (six parts). The base is a plate with a block and four
// bosses, the lid a plate with four eyes; every screw is a shaft and a wider head, its shaft
// fitting the bores of an eye and of the boss below it.
koMeshAssembly lidWithScrews();
// An open box of five plates (one part), a smaller box inside standing on its floor and a lid
// resting on the walls and on the inner box: three parts.
koMeshAssembly nestedBoxWithLid();
// A base, two bearings (each a pedestal and a tube along x) and a shaft through both bores: four
// parts. The shaft leaves along +x first, then the bearings along +z.
koMeshAssembly shaftInBearings();
// A shaft with two collars (one part) and a ring on it between the collars, touching both: the
// ring cannot leave by any straight pull.
koMeshAssembly ringBetweenCollars();
// A box on a plate where the box's mesh holds local positions around the origin and is placed by
// its transformation: a quarter turn about z, the given per-axis scale (uniform when all equal)
// and a translation. The box covers [0.25 - sy/2, 0.25 + sy/2] x [-0.25 - sx/2, -0.25 + sx/2] x
// [0, sz] on the plate, which spans [-3, 3] in x and y.
koMeshAssembly placedBoxOnPlate(const Wm4::Vector3<float>& scale);
// `count` touching parts for benchmarks: square tiles side by side in a grid and, on every other
// tile, a standing cylinder (a third of the parts). Tiles come first.
koMeshAssembly tileGrid(unsigned int count);

} // namespace koMeshAssemblies
