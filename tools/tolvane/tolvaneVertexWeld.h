#pragma once

#include <cstdint>
#include <vector>

// Joins vertices whose position and normal are the same numbers, in one pass over a hash table
// (open addressing, linear probing). It does for the attributes the host keeps what assimp's
// JoinIdenticalVertices does, at a fraction of the cost: assimp's pass sorts by position and
// compares every attribute with a tolerance, which took seconds for a million triangles.
class tolvaneVertexWeld {
public:
  // noVertices: how many add() calls follow at most, for the table's size.
  explicit tolvaneVertexWeld(uint32_t noVertices);

  // The index of the welded vertex equal to (position, normal), a new one if none is yet.
  uint32_t add(const float position[3], const float normal[3]);

  // Six floats per welded vertex, position then normal, in the order they were first added.
  const std::vector<float>& vertices() const { return mVertices; }
  uint32_t size() const { return static_cast<uint32_t>(mVertices.size() / 6); }

private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;

  std::vector<uint32_t> mTable;  // welded indices or kEmpty; a power of two long
  std::vector<float> mVertices;
};
