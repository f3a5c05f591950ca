#pragma once

#include <cstdint>
#include <cstring>

// FNV-1a over the raw bytes of values (numbers, vectors, arrays of them): a fingerprint of results
// that must stay bit for bit what they were when it was recorded.
class koFingerprint {
public:
  uint64_t hash = 14695981039346656037ull;

  template <typename T>
  void mix(const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (unsigned char byte : bytes) {
      hash ^= byte;
      hash *= 1099511628211ull;
    }
  }
};
