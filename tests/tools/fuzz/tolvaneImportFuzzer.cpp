// The fuzzer's entry point over tolvane's import: the first byte picks the format assimp is told,
// the rest is the file. Bad input must end in tolvaneInputError; anything else (a crash, a
// sanitizer report, another exception) is a finding.

#include "tolvaneImport.h"
#include "tolvaneInputError.h"
#include "tolvaneParts.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const char* const kFormats[] = {"obj", "stl", "ply", "off", "gltf", "glb"};
constexpr size_t kNoFormats = sizeof kFormats / sizeof kFormats[0];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string format = kFormats[data[0] % kNoFormats];
  try {
    const tolvaneImport import =
        importAssemblyFromMemory(data + 1, size - 1, format, "fuzz." + format);
    for (tolvaneGroupBy by : {tolvaneGroupBy::Mesh, tolvaneGroupBy::Node, tolvaneGroupBy::File})
      groupParts(import, by);
  } catch (const tolvaneInputError&) {
  }
  return 0;
}
