#include "koContactDiagram.h"
#include "koMeshGroups.h"
#include "koSampleAssemblies.h"
#include "koTessellatedShapes.h"
#include "support/koCountingNotifier.h"

#include <ko/koPointer.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

typedef Wm4::Vector3<float> Vec3;

// Every edge, its directions and contact point, exactly.
bool sameDiagram(const koContactDiagram& a, const koContactDiagram& b) {
  if (a.getNoContacts() != b.getNoContacts())
    return false;
  for (unsigned int e = 0; e < a.getNoContacts(); ++e)
    if (a.getEdgeData(e).mesh0 != b.getEdgeData(e).mesh0 ||
        a.getEdgeData(e).mesh1 != b.getEdgeData(e).mesh1 ||
        a.getDisassemblyDirections(e) != b.getDisassemblyDirections(e) ||
        !(a.getContactPoint(e) == b.getContactPoint(e)))
      return false;
  return true;
}

bool listsDirection(const std::vector<Wm4::Vector3<double>>& directions,
                    const Wm4::Vector3<double>& wanted) {
  for (const Wm4::Vector3<double>& d : directions)
    if ((d - wanted).Length() < 1e-6)
      return true;
  return false;
}

} // namespace

// A box on a plate, found from the meshes: one edge, the plate pulled down from the box or slid
// either way along the contact, the contact point in the middle of the common face. Placing the
// box by a rotation, scale and translation of its own local mesh changes nothing in the result.
TEST(koAutomaticContactDiagram, BoxOnPlateFromMeshesInWorldCoordinates) {
  ko::koPointer<ko::koTriMesh> plate = makeTessellatedBox("plate", Vec3(0, 0, 0), Vec3(2, 2, 1), 6);
  ko::koPointer<ko::koTriMesh> placed = makeTessellatedBox("box", Vec3(0.5f, 0.5f, 1), Vec3(1.5f, 1.5f, 2), 6);
  // Half the size around the origin, turned a quarter about z, doubled and moved onto the plate.
  ko::koPointer<ko::koTriMesh> local =
      makeTessellatedBox("box", Vec3(-0.25f, -0.25f, 0), Vec3(0.25f, 0.25f, 0.5f), 6);
  Wm4::Matrix3<float> quarter;
  quarter.MakeRotation(Vec3(0, 0, 1), float(0.5 * M_PI));
  local->Local.SetRotate(quarter);
  local->Local.SetUniformScale(2.0f);
  local->Local.SetTranslate(Vec3(1, 1, 1));
  local->UpdateGS();

  for (ko::koTriMesh* box : {placed.operator ko::koTriMesh*(), local.operator ko::koTriMesh*()}) {
    const koMeshGroups groups({plate, box}, nullptr);
    const koContactDiagram diagram(groups, 2, nullptr);
    ASSERT_EQ(diagram.getNoContacts(), 1u);
    EXPECT_EQ(diagram.getEdgeData(0).mesh0, 0u);
    EXPECT_EQ(diagram.getEdgeData(0).mesh1, 1u);
    const std::vector<Wm4::Vector3<double>>& directions = diagram.getDisassemblyDirections(0);
    EXPECT_EQ(directions.size(), 5u);
    for (const Wm4::Vector3<double>& way :
         {Wm4::Vector3<double>(0, 0, -1), Wm4::Vector3<double>(1, 0, 0),
          Wm4::Vector3<double>(-1, 0, 0), Wm4::Vector3<double>(0, 1, 0),
          Wm4::Vector3<double>(0, -1, 0)})
      EXPECT_TRUE(listsDirection(directions, way));
    EXPECT_LT((diagram.getContactPoint(0) - Vec3(1, 1, 1)).Length(), 0.02f);
  }
}

// Meshes apart give no job at all; touching meshes of one group are analysed but give no edge.
TEST(koAutomaticContactDiagram, NoEdgeWithoutContactOrWithinAGroup) {
  ko::koPointer<ko::koTriMesh> lower = makeTessellatedBox("lower", Vec3(0, 0, 0), Vec3(1, 1, 1), 2);
  ko::koPointer<ko::koTriMesh> apart = makeTessellatedBox("apart", Vec3(0, 0, 3), Vec3(1, 1, 4), 2);
  ko::koPointer<ko::koTriMesh> upper = makeTessellatedBox("upper", Vec3(0, 0, 1), Vec3(1, 1, 2), 2);

  koCountingNotifier silent;
  const koMeshGroups separate({lower, apart}, nullptr);
  EXPECT_EQ(koContactDiagram(separate, 2, &silent).getNoContacts(), 0u);
  EXPECT_EQ(silent.noOpenRangeCalls, 0);

  koCountingNotifier counting;
  const std::vector<unsigned int> oneGroup{0, 0};
  const koMeshGroups joined({lower, upper}, &oneGroup);
  EXPECT_EQ(koContactDiagram(joined, 2, &counting).getNoContacts(), 0u);
  EXPECT_EQ(counting.lastRange, 1.0);
  EXPECT_EQ(counting.advancedSteps.load(), 1.0);
}

// Results are written by pair and pushed in pair order: any thread count, the same diagram.
TEST(koAutomaticContactDiagram, ThreadCountsGiveTheSameDiagram) {
  const auto assembly = koSampleAssemblies::stack(7);
  const koContactDiagram reference(assembly->meshGroups(), 1, nullptr);
  EXPECT_EQ(reference.getNoContacts(), 7u);
  for (unsigned int threads : {0u, 2u, 8u})
    EXPECT_TRUE(sameDiagram(koContactDiagram(assembly->meshGroups(), threads, nullptr), reference))
        << threads << " threads";
}
