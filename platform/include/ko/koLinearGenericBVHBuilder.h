#pragma once

#include <ko/koBBox.h>
#include <ko/koGenericBVH.h>

#include <Wm4Foundation.h>

#include <vector>

// Builds a koGenericBVH in linear time from primitive boxes: the centroids are quantised on a
// grid over the union box, ordered along a Morton curve by a radix sort, and the sorted range is
// cut recursively at the highest bit in which the codes of its ends differ.
//
// Use: setup(n), fill the three per-primitive arrays, unionBox (and noPrimitives, which setup
// sets), then build(). The result depends only on these inputs: the sort is stable, so
// primitives with equal codes keep their input order and a build is deterministic.
class koLinearGenericBVHBuilder {
public:
  std::vector<koBBox> primitiveBoxes;
  std::vector<Wm4::Vector3<float>> primitiveCentroids;
  // The value stored in koGenericBVH::primitivePositions for each primitive (a triangle index).
  std::vector<unsigned int> primitiveOrder;
  // Holds every primitive box; the Morton grid spans it.
  koBBox unionBox;
  unsigned int noPrimitives;
  // The most primitives a leaf holds (4 after setup). A range of more primitives whose codes
  // are all equal is cut at its middle.
  unsigned int maxLeafSize;

  koLinearGenericBVHBuilder();

  // Sizes the three per-primitive arrays to n, sets noPrimitives = n, maxLeafSize = 4 and
  // empties the union box.
  void setup(unsigned int n);

  // Fills primitive i: its box, its centroid (the box's centre) and its order entry, and grows
  // the union box by the box.
  void setPrimitive(unsigned int i, const koBBox& box, unsigned int order) {
    primitiveBoxes[i] = box;
    primitiveCentroids[i] = (box.min + box.max) * 0.5f;
    primitiveOrder[i] = order;
    unionBox.grow(box);
  }

  // Replaces the contents of bvh by a hierarchy over the primitives. mask (may be null) has one
  // entry per primitive; a zero entry leaves that primitive out. size is the number of grid bits
  // per axis of the Morton codes, 1 to 21 (20 for a mesh's triangles, 10 for the parts of an
  // assembly). Zero primitives give an empty hierarchy (no node).
  void build(koGenericBVH& bvh, const std::vector<unsigned char>* mask, unsigned int size);

  // Frees the per-primitive arrays.
  void releasePrimitives();
};
