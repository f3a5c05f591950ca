#include "ko2SATState.h"

#include <array>

namespace {

constexpr std::array<uint8_t, 64> makeDeBruijnTable() {
  std::array<uint8_t, 64> table{};
  for (unsigned k = 0; k < 64; ++k)
    table[((uint64_t(1) << k) * ko2SATState::msDeBruijnMultiplier) >> 58] = uint8_t(k);
  return table;
}

} // namespace

const std::array<uint8_t, 64> ko2SATState::msDeBruijn64 = makeDeBruijnTable();

ko2SATState::ko2SATState(unsigned int noBits)
    : noBits(noBits), words(noBits == 0 ? nullptr : new uint64_t[(noBits + 63u) >> 6]) {
  clear(false);
}

ko2SATState::~ko2SATState() { delete[] words; }

void ko2SATState::clear(bool value) {
  const unsigned int noWords = getNoWords();
  for (unsigned int w = 0; w < noWords; ++w)
    words[w] = value ? ~uint64_t(0) : uint64_t(0);
  if (value && noWords > 0)
    words[noWords - 1] &= ~uint64_t(0) >> ((64u - (noBits & 63u)) & 63u);
}

ko2SATState& ko2SATState::operator=(const ko2SATState& other) {
  if (&other == this)
    return *this;
  const unsigned int noWords = getNoWords();
  for (unsigned int w = 0; w < noWords; ++w)
    words[w] = other.words[w];
  return *this;
}
