#include "tolvanePlan.h"

#include <koTolvaneLibVersion.h>

#include <nlohmann/json.hpp>

#include <fstream>

bool writePlanJson(const tolvanePlan& plan, const std::string& path) {
  // ordered_json keeps the keys in the order written, which reads better than sorted ones.
  nlohmann::ordered_json json;
  json["version"] = koTolvaneLib::Version::GetDescStringMajorMinorRelease(false);
  json["gap"] = plan.gap;
  json["parts"] = nlohmann::ordered_json::array();
  for (const tolvanePlan::tPart& part : plan.parts)
    json["parts"].push_back(
        {{"name", part.name}, {"meshes", part.meshes}, {"translation", part.translation}});
  json["hierarchy"] = nlohmann::ordered_json::array();
  for (const tolvanePlan::tSplit& split : plan.hierarchy)
    json["hierarchy"].push_back({{"node", split.node},
                                 {"first", split.first},
                                 {"second", split.second},
                                 {"direction", split.direction}});
  json["directions"] = plan.directions;
  json["timings"] = nlohmann::ordered_json::object();
  for (const auto& [stage, ms] : plan.timingsMs)
    json["timings"][stage] = ms;

  std::ofstream out(path);
  out << json.dump(2) << '\n';
  return static_cast<bool>(out.flush());
}
