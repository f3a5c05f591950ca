#include "tolvaneRemoval.h"

#include <koContactDiagram.h>
#include <koDisassemblyHierarchy.h>
#include <koDisassemblyHierarchyBuilder.h>
#include <koSinglePartDisassemblyProcedure.h>
#include <koTolvaneLibVersion.h>

#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <limits>

namespace {

using tProcedure = koSinglePartDisassemblyProcedure;

// The smallest and largest projection of a part's vertices onto a direction.
struct tExtent {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
};

tExtent projectPart(const tolvaneImport& import, const tolvaneParts& parts, unsigned int part,
                    const std::array<double, 3>& direction) {
  tExtent extent;
  for (size_t i = 0; i < import.instances.size(); ++i) {
    if (parts.partOfMesh[i] != part)
      continue;
    const ko::koVertexBuffer& vertices = *import.instances[i].mesh->VBuffer;
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v) {
      const Wm4::Vector3<float>& p = vertices.Position3(v);
      const double s = p.X() * direction[0] + p.Y() * direction[1] + p.Z() * direction[2];
      extent.low = std::min(extent.low, s);
      extent.high = std::max(extent.high, s);
    }
  }
  return extent;
}

// The groups (parts) of the nodes of one step, ascending.
std::vector<unsigned int> partsOfStep(const tProcedure& procedure,
                                      const tProcedure::tNodeCluster& step,
                                      const koDisassemblyHierarchy& hierarchy) {
  std::vector<unsigned int> result;
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  for (unsigned int i = step.first; i < step.first + step.count; ++i) {
    const koDisassemblyHierarchy::tTreeNode& node = hierarchy.getNode(procedure.getOrdering()[i]);
    result.insert(result.end(), groupList.begin() + node.first,
                  groupList.begin() + node.first + node.noGroups);
  }
  std::sort(result.begin(), result.end());
  return result;
}

} // namespace

tolvaneRemoval planRemoval(const koDisassemblyHierarchyBuilder& builder,
                           const tolvaneImport& import, const tolvaneParts& parts,
                           unsigned int part, float gap, float secondsPerStep) {
  const koDisassemblyHierarchy& hierarchy = builder.getHierarchy();
  const koContactDiagram& diagram = builder.getContactDiagram();
  tProcedure procedure(builder);
  procedure.buildProcedure(hierarchy.getGroupLeaves()[part]);

  tolvaneRemoval removal;
  removal.part = part;
  for (const tProcedure::tNodeCluster& cluster : procedure.getSteps()) {
    tolvaneRemoval::tStep step{partsOfStep(procedure, cluster, hierarchy), {0.0, 0.0, 0.0},
                               0.0f, 0.0f, 0.0f};
    const unsigned int k = cluster.code >> 1;
    if (cluster.code != tProcedure::msFinalCode && k < diagram.getNoDirections()) {
      Wm4::Vector3<double> d = diagram.getDirectionFromId(k);
      d.Normalize();
      const double sign = (cluster.code & 1) ? -1.0 : 1.0;
      step.direction = {sign * d.X(), sign * d.Y(), sign * d.Z()};
    }
    removal.steps.push_back(step);
  }

  // Each step travels until its lowest point along its direction is the gap beyond the highest
  // point of every part that stays for later steps.
  removal.tracks.resize(parts.partNames.size());
  for (size_t s = 0; s < removal.steps.size(); ++s) {
    tolvaneRemoval::tStep& step = removal.steps[s];
    step.start = static_cast<float>(s) * secondsPerStep;
    step.end = step.start + secondsPerStep;
    if (step.direction == std::array<double, 3>{0.0, 0.0, 0.0})
      continue;
    double moving = std::numeric_limits<double>::infinity();
    for (unsigned int p : step.parts)
      moving = std::min(moving, projectPart(import, parts, p, step.direction).low);
    double staying = moving;
    for (size_t later = s + 1; later < removal.steps.size(); ++later)
      for (unsigned int p : removal.steps[later].parts)
        staying = std::max(staying, projectPart(import, parts, p, step.direction).high);
    step.distance = static_cast<float>(staying - moving) + gap;
    std::array<float, 3> away;
    for (int c = 0; c < 3; ++c)
      away[c] = static_cast<float>(step.direction[c]) * step.distance;
    // At rest until the step starts (the first step starts at once), then out in one stroke.
    tolvanePlan::tTrack track{{step.start, step.end}, {{}, away}};
    if (step.start > 0.0f) {
      track.times.insert(track.times.begin(), 0.0f);
      track.offsets.insert(track.offsets.begin(), std::array<float, 3>{});
    }
    for (unsigned int p : step.parts)
      removal.tracks[p] = track;
  }
  return removal;
}

bool writeRemovalJson(const tolvaneRemoval& removal, const tolvaneParts& parts,
                      const std::string& path) {
  nlohmann::ordered_json json;
  json["version"] = koTolvaneLib::Version::GetDescStringMajorMinorRelease(false);
  json["part"] = parts.partNames[removal.part];
  json["steps"] = nlohmann::ordered_json::array();
  for (const tolvaneRemoval::tStep& step : removal.steps) {
    std::vector<std::string> names;
    for (unsigned int p : step.parts)
      names.push_back(parts.partNames[p]);
    json["steps"].push_back({{"parts", names},
                             {"direction", step.direction},
                             {"distance", step.distance},
                             {"start", step.start},
                             {"end", step.end}});
  }
  std::ofstream out(path);
  out << json.dump(2) << '\n';
  return static_cast<bool>(out.flush());
}
