#include "tolvanePlan.h"

#include <koTolvaneLibVersion.h>

#include <nlohmann/json.hpp>

#include <fstream>

namespace {

nlohmann::ordered_json collisionJson(const tolvanePlan& plan,
                                     const std::optional<tolvanePlan::tCollision>& collision) {
  if (!collision)
    return nullptr;
  return {{"time", collision->time},
          {"parts", {plan.parts[collision->partA].name, plan.parts[collision->partB].name}}};
}

nlohmann::ordered_json animationJson(const tolvanePlan& plan) {
  const tolvanePlan::tAnimation& animation = plan.animation;
  nlohmann::ordered_json json;
  json["policy"] = animation.policy;
  json["requestedPolicy"] = animation.requestedPolicy;
  json["playStyle"] = animation.playStyle;
  json["secondsPerStep"] = animation.secondsPerStep;
  json["duration"] = animation.duration;
  json["steps"] = nlohmann::ordered_json::array();
  for (const tolvanePlan::tAnimationStep& step : animation.steps)
    json["steps"].push_back(
        {{"node", step.node}, {"step", step.step}, {"start", step.start}, {"end", step.end}});
  json["collisionChecks"] = nlohmann::ordered_json::array();
  for (const tolvanePlan::tPolicyCheck& check : animation.checks)
    json["collisionChecks"].push_back({{"policy", check.policy},
                                       {"duration", check.duration},
                                       {"frames", check.frames},
                                       {"collision", collisionJson(plan, check.collision)}});
  return json;
}

} // namespace

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
  json["axes"] = nlohmann::ordered_json::array();
  for (const tolvanePlan::tAxis& axis : plan.axes)
    json["axes"].push_back({{"start", axis.start}, {"end", axis.end}});
  json["animation"] = animationJson(plan);
  json["timings"] = nlohmann::ordered_json::object();
  for (const auto& [stage, ms] : plan.timingsMs)
    json["timings"][stage] = ms;

  std::ofstream out(path);
  out << json.dump(2) << '\n';
  return static_cast<bool>(out.flush());
}
