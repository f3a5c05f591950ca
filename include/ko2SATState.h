#pragma once

#include "koTolvaneLibExport.h"

#include <array>
#include <cstdint>

// A fixed-size set of group ids: bit g (bit g % 64 of word g / 64, lowest id in the lowest bit)
// stands for group g. Every set of one assembly has as many bits as the assembly has groups. Bits
// at and above noBits in the last word are always 0. Users also read and combine the words
// directly; that layout is part of the type.
class KOTOLVANE_API ko2SATState {
public:
  // 64-bit De Bruijn multiplier of the bit scan: for every k, entry (2^k * multiplier) >> 58 of
  // msDeBruijn64 is k.
  static constexpr uint64_t msDeBruijnMultiplier = 0x022FDD63CC95386DULL;
  static const std::array<uint8_t, 64> msDeBruijn64;

  unsigned int noBits;  // the number of groups, fixed at construction
  uint64_t* words;      // getNoWords() words, owned

  // An empty set of the given number of groups.
  explicit ko2SATState(unsigned int noBits);
  ko2SATState(const ko2SATState&) = delete;
  ~ko2SATState();

  // false: the empty set; true: the full set of groups 0..noBits-1.
  void clear(bool value);
  // Copies the words of a set of the same size; self-assignment changes nothing.
  ko2SATState& operator=(const ko2SATState& other);

  unsigned int getNoWords() const { return (noBits + 63u) >> 6; }
  bool test(unsigned int g) const { return ((words[g >> 6] >> (g & 63u)) & 1u) != 0; }
  void add(unsigned int g) { words[g >> 6] |= uint64_t(1) << (g & 63u); }
  void remove(unsigned int g) { words[g >> 6] &= ~(uint64_t(1) << (g & 63u)); }

  // The index of the single set bit of a word with exactly one bit set.
  static unsigned int bitIndex(uint64_t singleBit) {
    return msDeBruijn64[(singleBit * msDeBruijnMultiplier) >> 58];
  }

  // Calls visit(g) for every member g in strictly ascending order, word by word and lowest bit
  // first; callers that number the members while visiting rely on that order.
  template <typename Visitor>
  void forEachMember(Visitor&& visit) const {
    const unsigned int noWords = getNoWords();
    for (unsigned int w = 0; w < noWords; ++w) {
      for (uint64_t x = words[w]; x != 0;) {
        const uint64_t rest = x & (x - 1);
        visit(64u * w + bitIndex(x ^ rest));
        x = rest;
      }
    }
  }
};
