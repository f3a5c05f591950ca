// The sample products of examples/data through the command-line host: its exploded.glb, read
// back with tinygltf, names the input's parts and animates each part that plan.json moves to
// where plan.json puts it.

#include "tolvaneGltfRead.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

class TolvaneSamples : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    // The process id keeps runs of other builds on the machine apart.
    dir = fs::temp_directory_path() /
          ("tolvane-sample-" + std::string(GetParam()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path dir;
};

TEST_P(TolvaneSamples, ExplodedGlbAnimatesThePlan) {
  const fs::path input = fs::path(KO_SAMPLE_DATA_DIR) / (std::string(GetParam()) + ".glb");
  // One policy, so that the host checks one animation for collisions rather than up to three.
  const std::string command = std::string(TOLVANE_PROGRAM) + " " + input.string() + " -o " +
                              dir.string() + " --policy optimal --quiet";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;

  const nlohmann::json plan = nlohmann::json::parse(std::ifstream(dir / "plan.json"));
  tinygltf::Model sample, exploded;
  ASSERT_EQ(tolvaneGltfRead::load(input.string(), sample), "");
  ASSERT_EQ(tolvaneGltfRead::load((dir / "exploded.glb").string(), exploded), "");

  // One node per part, named and ordered as the input's nodes, each with the part's meshes.
  const nlohmann::json& parts = plan["parts"];
  ASSERT_EQ(exploded.nodes.size(), parts.size());
  ASSERT_EQ(sample.nodes.size(), parts.size());
  std::map<int, std::array<float, 3>> moves;
  for (size_t p = 0; p < parts.size(); ++p) {
    const tinygltf::Node& node = exploded.nodes[p];
    EXPECT_EQ(node.name, parts[p]["name"].get<std::string>());
    EXPECT_EQ(node.name, sample.nodes[p].name);
    EXPECT_EQ(exploded.meshes.at(node.mesh).primitives.size(), parts[p]["meshes"].size());
    const auto translation = parts[p]["translation"].get<std::array<float, 3>>();
    if (translation != std::array<float, 3>{0.0f, 0.0f, 0.0f})
      moves[int(p)] = translation;
  }
  ASSERT_GT(moves.size(), 0u);

  // One translation channel per moving part, ending at the part's exploded offset.
  ASSERT_EQ(exploded.animations.size(), 1u) << "no animation: has the pipeline no tracks yet?";
  const tinygltf::Animation& animation = exploded.animations[0];
  std::set<int> animated;
  for (const tinygltf::AnimationChannel& channel : animation.channels) {
    EXPECT_TRUE(animated.insert(channel.target_node).second);
    EXPECT_EQ(channel.target_path, "translation");
    const auto moved = moves.find(channel.target_node);
    if (moved == moves.end())
      continue;
    const tinygltf::AnimationSampler& sampler = animation.samplers.at(channel.sampler);
    const std::vector<float> offsets = tolvaneGltfRead::values<float>(exploded, sampler.output);
    ASSERT_GE(offsets.size(), 3u);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(offsets[offsets.size() - 3 + c], moved->second[c],
                  1e-5f * (1.0f + std::fabs(moved->second[c])))
          << exploded.nodes[channel.target_node].name;
  }
  std::set<int> moving;
  for (const auto& [part, translation] : moves)
    moving.insert(part);
  EXPECT_EQ(animated, moving);
}

// The 135-part keyboard takes minutes in the sanitizer's build; it runs in the plain one.
#ifdef TOLVANE_TEST_LARGE_SAMPLES
INSTANTIATE_TEST_SUITE_P(Products, TolvaneSamples,
                         ::testing::Values("gearbox", "vise", "keyboard"));
#else
INSTANTIATE_TEST_SUITE_P(Products, TolvaneSamples, ::testing::Values("gearbox", "vise"));
#endif

} // namespace
