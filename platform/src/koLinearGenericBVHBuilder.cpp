#include <ko/koLinearGenericBVHBuilder.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <limits>

namespace {

// Codes of 3 * 21 bits are the longest that fit a 64-bit word.
constexpr unsigned int kMaxBitsPerAxis = 21;
constexpr unsigned int kRadixBits = 11; // six passes over the longest codes
constexpr unsigned int kRadixBuckets = 1u << kRadixBits;
constexpr std::uint32_t kNoParent = std::numeric_limits<std::uint32_t>::max();

// Moves bit k of the low 21 bits of v to bit 3k, so that three spread axes interleave.
std::uint64_t spreadBits(std::uint64_t v) {
  v &= 0x1FFFFFull;
  v = (v | (v << 32)) & 0x1F00000000FFFFull;
  v = (v | (v << 16)) & 0x1F0000FF0000FFull;
  v = (v | (v << 8)) & 0x100F00F00F00F00Full;
  v = (v | (v << 4)) & 0x10C30C30C30C30C3ull;
  v = (v | (v << 2)) & 0x1249249249249249ull;
  return v;
}

// The grid cell of a coordinate, in [0, maxCell]. A flat axis (scale 0) and a NaN land in cell
// 0; the comparisons come first because converting an out-of-range float is undefined.
std::uint64_t quantise(float offset, float scale, float maxCell) {
  const float t = offset * scale;
  if (!(t > 0.0f))
    return 0;
  if (t >= maxCell)
    return static_cast<std::uint64_t>(maxCell);
  return static_cast<std::uint64_t>(t);
}

// Grows `box` to hold `other`. Inline min/max: the union of primitive boxes is the builder's
// innermost loop. The empty box needs no test, its infinities leave the other bounds unchanged.
void enclose(koBBox& box, const koBBox& other) {
  for (int k = 0; k < 3; ++k) {
    box.min[k] = std::min(box.min[k], other.min[k]);
    box.max[k] = std::max(box.max[k], other.max[k]);
  }
}

// Sorts the codes (and the primitive indices along with them) by LSD radix sort over their low
// `bits` bits. Each pass is stable, so equal codes keep their input order. Passes over a digit
// that every code shares are skipped.
void radixSort(std::vector<std::uint64_t>& codes, std::vector<std::uint32_t>& indices,
               unsigned int bits) {
  const size_t n = codes.size();
  const unsigned int noPasses = (bits + kRadixBits - 1) / kRadixBits;
  std::vector<std::array<std::uint32_t, kRadixBuckets>> counts(noPasses); // zeroed
  for (std::uint64_t code : codes)
    for (unsigned int pass = 0; pass < noPasses; ++pass)
      ++counts[pass][(code >> (pass * kRadixBits)) & (kRadixBuckets - 1)];

  std::vector<std::uint64_t> codesOut(n);
  std::vector<std::uint32_t> indicesOut(n);
  for (unsigned int pass = 0; pass < noPasses; ++pass) {
    auto& histogram = counts[pass];
    const unsigned int shift = pass * kRadixBits;
    if (std::find(histogram.begin(), histogram.end(), n) != histogram.end())
      continue;
    std::uint32_t offset = 0;
    for (auto& count : histogram) {
      const std::uint32_t c = count;
      count = offset;
      offset += c;
    }
    for (size_t k = 0; k < n; ++k) {
      const std::uint32_t to = histogram[(codes[k] >> shift) & (kRadixBuckets - 1)]++;
      codesOut[to] = codes[k];
      indicesOut[to] = indices[k];
    }
    codes.swap(codesOut);
    indices.swap(indicesOut);
  }
}

// Where a sorted range of more than one code is cut: before the first code with the highest
// differing bit of its end codes set, or at the middle when all its codes are equal.
std::uint32_t findCut(const std::vector<std::uint64_t>& codes, std::uint32_t begin,
                      std::uint32_t end) {
  const std::uint64_t differing = codes[begin] ^ codes[end - 1];
  if (differing == 0)
    return begin + (end - begin) / 2;
  // Smearing the highest set bit down, then dropping the rest, leaves that bit alone.
  std::uint64_t below = differing;
  for (unsigned int shift = 1; shift < 64; shift *= 2)
    below |= below >> shift;
  const std::uint64_t highestBit = below ^ (below >> 1);
  // The codes share every bit above highestBit, so that bit goes 0...0 1...1 along the range.
  const auto first = codes.begin() + begin;
  const auto cut = std::partition_point(first, codes.begin() + end,
                                        [highestBit](std::uint64_t code) {
                                          return (code & highestBit) == 0;
                                        });
  return begin + static_cast<std::uint32_t>(cut - first);
}

} // namespace

koLinearGenericBVHBuilder::koLinearGenericBVHBuilder() : noPrimitives(0), maxLeafSize(4) {}

void koLinearGenericBVHBuilder::setup(unsigned int n) {
  primitiveBoxes.resize(n);
  primitiveCentroids.resize(n);
  primitiveOrder.resize(n);
  noPrimitives = n;
  maxLeafSize = 4;
  unionBox.makeEmpty();
}

void koLinearGenericBVHBuilder::build(koGenericBVH& bvh, const std::vector<unsigned char>* mask,
                                      unsigned int size) {
  bvh.clear();
  assert(mask == nullptr || mask->size() >= noPrimitives);
  const unsigned int bitsPerAxis = std::min(std::max(size, 1u), kMaxBitsPerAxis);

  // The grid over the union box; an axis the box is flat along maps to cell 0.
  const float maxCell = static_cast<float>((1u << bitsPerAxis) - 1);
  float scale[3];
  for (int axis = 0; axis < 3; ++axis) {
    const float extent = unionBox.max[axis] - unionBox.min[axis];
    scale[axis] = extent > 0.0f ? static_cast<float>(1u << bitsPerAxis) / extent : 0.0f;
  }

  std::vector<std::uint64_t> codes;
  std::vector<std::uint32_t> sorted; // primitive indices, in Morton order once sorted
  codes.reserve(noPrimitives);
  sorted.reserve(noPrimitives);
  for (std::uint32_t i = 0; i < noPrimitives; ++i) {
    if (mask != nullptr && (*mask)[i] == 0)
      continue;
    const Wm4::Vector3<float>& c = primitiveCentroids[i];
    const std::uint64_t x = quantise(c[0] - unionBox.min[0], scale[0], maxCell);
    const std::uint64_t y = quantise(c[1] - unionBox.min[1], scale[1], maxCell);
    const std::uint64_t z = quantise(c[2] - unionBox.min[2], scale[2], maxCell);
    codes.push_back((spreadBits(x) << 2) | (spreadBits(y) << 1) | spreadBits(z));
    sorted.push_back(i);
  }
  const std::uint32_t n = static_cast<std::uint32_t>(sorted.size());
  if (n == 0)
    return;
  assert(n <= koGenericBVH::kIndexBits28 / 2 && "node indices must fit the right-child field");
  radixSort(codes, sorted, 3 * bitsPerAxis);

  // Nodes in depth-first pre-order: the left child is always the next node, so only the right
  // child's index waits to be written into its parent, when the right range is taken up.
  struct tRange {
    std::uint32_t begin, end, parent;
  };
  const std::uint32_t leafSize = std::max(maxLeafSize, 1u);
  bvh.nodes.reserve(2 * size_t(n) - 1);
  // At most one waiting right range per level; a path has at most one cut per code bit, then
  // at most 32 middle cuts.
  std::vector<tRange> pending;
  pending.reserve(3 * kMaxBitsPerAxis + 33);
  pending.push_back({0, n, kNoParent});
  while (!pending.empty()) {
    const tRange range = pending.back();
    pending.pop_back();
    const std::uint32_t index = static_cast<std::uint32_t>(bvh.nodes.size());
    if (range.parent != kNoParent)
      bvh.nodes[range.parent].second = index;
    bvh.nodes.emplace_back();
    koGenericBVH::tNode& node = bvh.nodes.back();
    if (range.end - range.begin <= leafSize) {
      node.first = koGenericBVH::kLeafBits | range.begin;
      node.second = range.end - range.begin;
      continue;
    }
    const std::uint32_t cut = findCut(codes, range.begin, range.end);
    node.first = index + 1;
    pending.push_back({cut, range.end, index});
    pending.push_back({range.begin, cut, kNoParent});
  }

  // Children come after their parent, so one backward sweep has every child's box ready.
  for (size_t k = bvh.nodes.size(); k-- > 0;) {
    koGenericBVH::tNode& node = bvh.nodes[k];
    if (node.isLeaf()) {
      const std::uint32_t first = node.getFirstPrimitive();
      for (std::uint32_t p = first; p < first + node.getNoPrimitives(); ++p)
        enclose(node.box, primitiveBoxes[sorted[p]]);
    } else {
      node.box = bvh.nodes[node.getLeftChild()].box;
      enclose(node.box, bvh.nodes[node.getRightChild()].box);
    }
  }

  bvh.primitivePositions.resize(n);
  for (std::uint32_t k = 0; k < n; ++k)
    bvh.primitivePositions[k] = primitiveOrder[sorted[k]];
}

void koLinearGenericBVHBuilder::releasePrimitives() {
  primitiveBoxes = {};
  primitiveCentroids = {};
  primitiveOrder = {};
  noPrimitives = 0;
}
