// The demo host: finds from its meshes alone how a twelve-part gearbox made of boxes comes
// apart (and compares the contacts found with the ones the example lists by hand; blocking
// without touching is found by casting rays), prints the
// plan and the steps that free its input gear, writes the assembled and the exploded gearbox as
// Wavefront OBJ files that any viewer opens, and animates the explosion.

#include "koDiagramComparison.h"
#include "koSampleAssemblies.h"

#include <koTolvaneLib.h>
#include <ko/koMeshManager.h>
#include <ko/koSystemUtils.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string describeDirection(const koContactDiagram& diagram, unsigned int k, bool opposite) {
  const Wm4::Vector3<double>& d = diagram.getDirectionFromId(k);
  const double s = opposite ? -1.0 : 1.0;
  // Rounded to the printed digits first, so that a component of -1e-17 prints as +0.00.
  const auto shown = [s](double x) { return std::round(100.0 * s * x) / 100.0 + 0.0; };
  char text[64];
  std::snprintf(text, sizeof(text), "(%+.2f %+.2f %+.2f)", shown(d.X()), shown(d.Y()),
                shown(d.Z()));
  return text;
}

std::string partsOfNode(const koBoxAssembly& assembly, const koDisassemblyHierarchy& hierarchy,
                        unsigned int node) {
  const auto& tree = hierarchy.getNode(node);
  std::string names;
  for (unsigned int p = tree.first; p < tree.first + tree.noGroups; ++p)
    names += (names.empty() ? "" : ", ") + assembly.partName(hierarchy.getGroupList()[p]);
  return names;
}

// One line per split: the smaller side, and the way it comes off the rest; then the same for
// both sides.
void printPlan(const koBoxAssembly& assembly, const koContactDiagram& diagram,
               const koDisassemblyHierarchy& hierarchy, unsigned int node, int depth) {
  const auto& tree = hierarchy.getNode(node);
  const std::string indent(2 * depth, ' ');
  if (tree.isLeaf()) {
    if (tree.noGroups > 1)
      std::printf("%s%s stay together\n", indent.c_str(),
                  partsOfNode(assembly, hierarchy, node).c_str());
    return;
  }
  // The second child moves along the split direction; seen from the other side, the first
  // child moves the opposite way.
  const bool firstIsSmaller =
      hierarchy.getNode(tree.firstChild).noGroups < hierarchy.getNode(tree.secondChild).noGroups;
  const unsigned int removed = firstIsSmaller ? tree.firstChild : tree.secondChild;
  std::printf("%s%s comes off along %s\n", indent.c_str(),
              partsOfNode(assembly, hierarchy, removed).c_str(),
              describeDirection(diagram, tree.splitDirection, firstIsSmaller).c_str());
  printPlan(assembly, diagram, hierarchy, tree.firstChild, depth + 1);
  printPlan(assembly, diagram, hierarchy, tree.secondChild, depth + 1);
}

// Whether one of the ways lies within a degree of d.
bool lists(const std::vector<Wm4::Vector3<double>>& ways, const Wm4::Vector3<double>& d,
           double sense) {
  for (const Wm4::Vector3<double>& way : ways)
    if ((sense * way).Dot(d) > 0.9998)
      return true;
  return false;
}

// Shows the root split at the first contact it cuts, from the side of its smaller half (the part
// that comes off): the axis through the contact point along the way it goes, the translation
// arrow, and the named arrows of the two meshes' ways apart.
bool saveFirstSplit(const koContactDiagram& diagram, const koDisassemblyHierarchy& hierarchy,
                    const koMeshGroups& groups, const std::string& path) {
  const auto& root = hierarchy.getNode(0);
  if (root.isLeaf())
    return true;
  // The second child moves along the split direction; the first along its opposite.
  const bool firstIsSmaller =
      hierarchy.getNode(root.firstChild).noGroups < hierarchy.getNode(root.secondChild).noGroups;
  const auto& removed = hierarchy.getNode(firstIsSmaller ? root.firstChild : root.secondChild);
  const Wm4::Vector3<double> d =
      diagram.getDirectionFromId(root.splitDirection) * (firstIsSmaller ? -1.0 : 1.0);
  const auto comesOff = [&](unsigned int group) {
    const unsigned int position = hierarchy.getGroupPositions()[group];
    return position >= removed.first && position < removed.first + removed.noGroups;
  };
  for (unsigned int e = 0; e < diagram.getNoContacts(); ++e) {
    const koContactDiagram::tContactEdge& edge = diagram.getEdgeData(e);
    if (comesOff(edge.group0) == comesOff(edge.group1))
      continue;
    // A comes off B; the edge's ways are those of mesh0.
    const bool firstComesOff = comesOff(edge.group0);
    ko::koTriMesh* meshA = groups.meshes[firstComesOff ? edge.mesh0 : edge.mesh1];
    ko::koTriMesh* meshB = groups.meshes[firstComesOff ? edge.mesh1 : edge.mesh0];
    const double sense = firstComesOff ? 1.0 : -1.0;
    const Wm4::Vector3<float>& at = diagram.getContactPoint(e);
    const Wm4::Vector3<double> point(at.X(), at.Y(), at.Z());
    const std::string pair = meshA->GetName() + "_" + meshB->GetName();

    koMotionDetect motion;
    ko::koPointer<ko::koNode> shown = new ko::koNode;
    ko::koTriMesh* axis = koMotionDetect::ComputeAxisMesh(d, point, meshA, meshB);
    axis->SetName("Axis_" + pair);
    ko::koTriMesh* arrow = motion.computeTranslationMesh(d, meshA, meshB);
    arrow->SetName("Translation_" + pair);
    shown->attachChild(axis);
    shown->attachChild(arrow);
    shown->attachChild(motion.computeDisassemblyDirectionMesh(
        d, lists(diagram.getDisassemblyDirections(e), -d, sense), meshA, meshB));
    shown->UpdateGS();
    if (!ko::koMeshManager::saveMesh(path, shown, nullptr, {})) {
      std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
      return false;
    }
    std::printf("wrote %s (the %s coming off the %s)\n", path.c_str(),
                meshA->GetName().c_str(), meshB->GetName().c_str());
    return true;
  }
  return true;
}

bool save(koBoxAssembly& assembly, const std::string& path) {
  assembly.scene().UpdateGS();
  if (!ko::koMeshManager::saveMesh(path, &assembly.scene(), nullptr, {})) {
    std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s\n", path.c_str());
  return true;
}

} // namespace

int main() {
  std::printf("koTolvaneLib %s\n",
              koTolvaneLib::Version::GetDescStringMajorMinorReleaseRevisionDate());
  auto gearbox = koSampleAssemblies::gearbox();
  // The contacts and the ways apart, from the meshes alone, on 2 worker threads.
  const double start = ko::koSystemUtils::GetTimeBaseMs();
  koContactDiagram diagram(gearbox->meshGroups(), 2, nullptr);
  diagram.computeDirectionSet(5.0f);
  std::printf("gearbox: %u parts; from its meshes %u contacts, %u directions in %.0f ms\n",
              gearbox->meshGroups().getNoGroups(), diagram.getNoContacts(),
              diagram.getNoDirections(), ko::koSystemUtils::GetTimeBaseMs() - start);
  std::printf("compared with the %u contacts listed by hand:\n",
              gearbox->diagram().getNoContacts());
  printDiagramComparison(*gearbox, diagram);

  koDisassemblyHierarchy hierarchy(gearbox->meshGroups());
  koDisassemblyHierarchyBuilder builder(hierarchy, diagram, 2);
  // Parts that block each other without touching, found by casting rays along the directions.
  koDistantContacts(builder).computeDistantContacts(2, nullptr);
  builder.initSolver();
  builder.computeGroupsHierarchy(0, nullptr);
  std::printf("\ndisassembly plan:\n");
  printPlan(*gearbox, diagram, hierarchy, 0, 1);

  const unsigned int wanted = gearbox->partOf("input gear body");
  koSinglePartDisassemblyProcedure procedure(builder);
  procedure.buildProcedure(hierarchy.getGroupLeaves()[wanted]);
  std::printf("\nto take out the %s:\n", gearbox->partName(wanted).c_str());
  for (unsigned int i = 0; i < procedure.getNoSteps(); ++i) {
    const auto& step = procedure.getStep(i);
    std::string parts;
    for (unsigned int k = step.first; k < step.first + step.count; ++k)
      parts += (parts.empty() ? "" : ", ") +
               partsOfNode(*gearbox, hierarchy, procedure.getOrdering()[k]);
    if (step.code == koSinglePartDisassemblyProcedure::msFinalCode)
      std::printf("  %u. take the %s\n", i + 1, parts.c_str());
    else
      std::printf("  %u. remove %s along %s\n", i + 1, parts.c_str(),
                  describeDirection(diagram, step.code >> 1, (step.code & 1u) != 0).c_str());
  }

  // The exploded view with a gap of 2 between parts that face each other along a split.
  koExplosionDiagram explosion(builder);
  explosion.computeTranslationHierarchy(2.0f);
  std::printf("\n");
  if (!save(*gearbox, "gearbox-assembled.obj"))
    return 1;
  explosion.bakeTranslations();
  const bool saved = save(*gearbox, "gearbox-exploded.obj");
  explosion.unbakeTranslations();
  if (!saved || !saveFirstSplit(diagram, hierarchy, gearbox->meshGroups(), "gearbox-first-split.obj"))
    return 1;

  // Its animation: keyframe controllers on the meshes, played by the scene's update.
  koExplodedViewAnimation animation(explosion);
  animation.createKeyFrameControllers();
  double end = 0.0;
  for (const auto& controller : animation.getControllers())
    end = std::max(end, controller->MaxTime);
  const koBBox& box = animation.getGlobalBBox();
  std::printf("animation: %u keyframe controllers over %g time units, within [%.1f %.1f %.1f] - "
              "[%.1f %.1f %.1f]\n",
              static_cast<unsigned>(animation.getControllers().size()), end, box.min.X(),
              box.min.Y(), box.min.Z(), box.max.X(), box.max.Y(), box.max.Z());
  return 0;
}
