// Contact diagrams found from the meshes of generated assemblies, compared with fingerprints of
// the diagrams the analysis made before it was tuned for speed: faster sampling, matching and
// motion analysis must not move a single bit of a direction or contact point.

#include "koContactDiagram.h"
#include "koMeshAssemblies.h"
#include "support/koFingerprint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

// Every edge's meshes, directions, direction ids and contact point, and the direction set, all
// as raw bits.
uint64_t fingerprint(const koContactDiagram& diagram) {
  koFingerprint print;
  for (unsigned int e = 0; e < diagram.getNoContacts(); ++e) {
    print.mix(diagram.getEdgeData(e).mesh0);
    print.mix(diagram.getEdgeData(e).mesh1);
    for (const Wm4::Vector3<double>& d : diagram.getDisassemblyDirections(e))
      print.mix(d);
    for (unsigned int id : diagram.getDisassemblyDirectionIds(e))
      print.mix(id);
    print.mix(diagram.getContactPoint(e));
  }
  for (unsigned int k = 0; k < diagram.getNoDirections(); ++k)
    print.mix(diagram.getDirectionFromId(k));
  return print.hash;
}

} // namespace

// Flat faces, round bores and shafts, nested boxes and a grid of tiles and cylinders, on one and
// two threads.
TEST(koStoredDiagrams, AssembliesAnalysedAsBefore) {
  const struct {
    const char* name;
    std::function<koMeshAssembly()> make;
    uint64_t stored;
  } assemblies[] = {
      {"lid with screws", koMeshAssemblies::lidWithScrews, 16560835370947627254ull},
      {"shaft in bearings", koMeshAssemblies::shaftInBearings, 17972557398722490764ull},
      {"nested box with lid", koMeshAssemblies::nestedBoxWithLid, 2124071961456055361ull},
      {"peg in blind hole", koMeshAssemblies::pegInBlindHole, 4243759295713953442ull},
      {"tile grid", [] { return koMeshAssemblies::tileGrid(9); }, 9505989972173121790ull},
  };
  for (const auto& named : assemblies) {
    const koMeshAssembly assembly = named.make();
    const koMeshGroups groups = assembly.makeGroups();
    for (unsigned int threads : {1u, 2u}) {
      koContactDiagram diagram(groups, threads, nullptr);
      diagram.computeDirectionSet(5.0f);
      EXPECT_EQ(fingerprint(diagram), named.stored) << named.name << ", " << threads;
    }
  }
}
