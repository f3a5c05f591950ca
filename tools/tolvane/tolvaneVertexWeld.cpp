#include "tolvaneVertexWeld.h"

#include <algorithm>
#include <cstring>

namespace {

// Bits of a coordinate; +0 and -0 compare equal, so both hash as +0.
uint32_t bitsOf(float value) {
  value += 0.0f;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

} // namespace

tolvaneVertexWeld::tolvaneVertexWeld(uint32_t noVertices) {
  size_t tableSize = 16;
  while (tableSize < 2 * size_t(noVertices))  // at most half full: short probes
    tableSize *= 2;
  mTable.assign(tableSize, kEmpty);
  mVertices.reserve(6 * size_t(noVertices));
}

uint32_t tolvaneVertexWeld::add(const float position[3], const float normal[3]) {
  float key[6];
  std::copy(position, position + 3, key);
  std::copy(normal, normal + 3, key + 3);
  uint64_t hash = 0;
  for (float c : key)
    hash = (hash ^ bitsOf(c)) * 0x9E3779B97F4A7C15ull;  // Fibonacci hashing
  const size_t mask = mTable.size() - 1;
  for (size_t slot = (hash >> 32) & mask;; slot = (slot + 1) & mask) {
    const uint32_t index = mTable[slot];
    if (index == kEmpty) {
      mTable[slot] = size();
      mVertices.insert(mVertices.end(), key, key + 6);
      return mTable[slot];
    }
    if (std::equal(key, key + 6, mVertices.begin() + 6 * size_t(index)))
      return index;
  }
}
