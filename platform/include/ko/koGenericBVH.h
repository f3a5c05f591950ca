#pragma once

#include <ko/koBBox.h>

#include <cstdint>
#include <vector>

// A binary hierarchy of boxes over primitives (triangles of a mesh, parts of an assembly). Its
// callers walk the nodes themselves, so the layout below is part of the interface: one 32-byte
// node per entry of `nodes`, node 0 the root, children stored after their parent.
class koGenericBVH {
public:
  // Top two bits of the first word, both set on a leaf.
  static constexpr std::uint32_t kLeafBits = 0xC0000000u;
  static constexpr std::uint32_t kIndexBits30 = 0x3FFFFFFFu;
  static constexpr std::uint32_t kIndexBits28 = 0x0FFFFFFFu;

  struct tNode {
    // Encloses every primitive box below the node.
    koBBox box;
    // Inner node: the left child's node index. Leaf: kLeafBits | first primitive position.
    std::uint32_t first;
    // Inner node: the right child's node index (low 28 bits). Leaf: the number of primitives.
    std::uint32_t second;

    bool isLeaf() const { return (first & kLeafBits) == kLeafBits; }
    std::uint32_t getLeftChild() const { return first & kIndexBits30; }
    std::uint32_t getRightChild() const { return second & kIndexBits28; }
    std::uint32_t getFirstPrimitive() const { return first & kIndexBits30; }
    std::uint32_t getNoPrimitives() const { return second; }
  };

  // Empty when the hierarchy was built over zero primitives.
  std::vector<tNode> nodes;
  // Entry k is the primitive (its order entry, for a mesh the triangle index) at position k; a
  // leaf owns positions [getFirstPrimitive(), getFirstPrimitive() + getNoPrimitives()).
  std::vector<unsigned int> primitivePositions;

  void clear() {
    nodes.clear();
    primitivePositions.clear();
  }
};

static_assert(sizeof(koGenericBVH::tNode) == 32, "the node layout is read by the hierarchy's users");
