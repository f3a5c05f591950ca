#pragma once

#include "koBoxAssembly.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koExplosionDiagram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

// The direction set index of the line along coordinate axis a (0 for x, 1 for y, 2 for z).
inline unsigned int axisDirection(const koContactDiagram& diagram, int a) {
  unsigned int k = 0;
  while (k + 1 < diagram.getNoDirections() && std::fabs(diagram.getDirectionFromId(k)[a]) < 0.5)
    ++k;
  return k;
}

// The bounding prisms of every group along every direction, with the direction sets.
struct koPrisms {
  explicit koPrisms(const koExplosionDiagram& explosion) {
    explosion.computeBoundingPrisms(sets, planes);
  }
  std::vector<koExplosionDiagram::tOrthogonalDirectionSet> sets;
  std::vector<koExplosionDiagram::tBoundingPlanesMinMax> planes;  // group-major
};

// A box assembly planned (its timing lines kept off the test output) and exploded with a gap.
struct koExplodedAssembly {
  explicit koExplodedAssembly(koBoxAssembly& assembly, float gap)
      : hierarchy(assembly.meshGroups()), builder(hierarchy, assembly.diagram(), 1),
        explosion(builder) {
    builder.initSolver();
    testing::internal::CaptureStdout();
    builder.computeGroupsHierarchy(0, nullptr);
    testing::internal::GetCapturedStdout();
    explosion.computeTranslationHierarchy(gap);
  }
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
  koExplosionDiagram explosion;
};

// A hierarchy split by hand (no search), with its builder and an explosion diagram on it.
struct koHandExplosion {
  koHandExplosion(const koMeshGroups& groups, const koContactDiagram& diagram)
      : hierarchy(groups), diagram(diagram) {}
  // Splits node v into its first `front` groups and the rest, along direction index d.
  void split(unsigned int v, unsigned int front, unsigned int d) {
    constexpr unsigned int None = koDisassemblyHierarchy::None;
    const koDisassemblyHierarchy::tTreeNode node = hierarchy.getNode(v);
    const unsigned int c1 = hierarchy.requestNewNode({node.first, front, None, None, v, None});
    const unsigned int c2 =
        hierarchy.requestNewNode({node.first + front, node.noGroups - front, None, None, v, None});
    hierarchy.editNodes()[v] = {node.first, node.noGroups, c1, c2, node.parent, d};
  }
  koExplosionDiagram& finish() {
    hierarchy.computeHierarchyIndexing(0);
    builder.reset(new koDisassemblyHierarchyBuilder(hierarchy, diagram, 1));
    explosion.reset(new koExplosionDiagram(*builder));
    return *explosion;
  }
  koDisassemblyHierarchy hierarchy;
  const koContactDiagram& diagram;
  std::unique_ptr<koDisassemblyHierarchyBuilder> builder;
  std::unique_ptr<koExplosionDiagram> explosion;
};
