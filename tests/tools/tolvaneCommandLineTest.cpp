// The command-line host run as a user runs it: OBJ files in, exit code, messages and the output
// folder checked.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <filesystem>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct tRun {
  int code;
  std::string errors;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TolvaneCommandLine : public ::testing::Test {
protected:
  void SetUp() override {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / ("tolvane-" + std::string(test->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  tRun run(const std::string& arguments) const {
    const fs::path errors = dir / "stderr.txt";
    const std::string command = std::string(TOLVANE_PROGRAM) + " " + arguments + " --quiet > " +
                                (dir / "stdout.txt").string() + " 2> " + errors.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errors)};
  }

  // Boxes stacked along z, each an OBJ object named box<k>; each rests on the one below.
  fs::path writeStack(const std::string& file, int boxes, const char* firstX = "0") const {
    std::ofstream out(dir / file);
    for (int b = 0; b < boxes; ++b) {
      out << "o box" << b << "\n";
      for (int v = 0; v < 8; ++v)
        out << "v " << ((v & 1) ? std::to_string(6 - b) : (v + b == 0 ? firstX : std::to_string(b)))
            << " " << ((v & 2) ? 6 - b : b) << " " << b + ((v & 4) ? 1 : 0) << "\n";
      // Two counter-clockwise triangles per face, seen from outside.
      static const int kTriangles[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                         2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
      for (int t = 0; t < 36; t += 3)
        out << "f " << 8 * b + kTriangles[t] + 1 << " " << 8 * b + kTriangles[t + 1] + 1 << " "
            << 8 * b + kTriangles[t + 2] + 1 << "\n";
    }
    return dir / file;
  }

  fs::path dir;
};

TEST_F(TolvaneCommandLine, PlansAStackOfBoxesTheSameOnAnyThreadCount) {
  const fs::path input = writeStack("stack.obj", 3);
  ASSERT_EQ(run(input.string() + " -o " + (dir / "a").string() + " --threads 1").code, 0);
  ASSERT_EQ(run(input.string() + " -o " + (dir / "b").string() + " --threads 2").code, 0);

  nlohmann::json plan = nlohmann::json::parse(readFile(dir / "a" / "plan.json"));
  for (const char* key : {"parts", "hierarchy", "directions", "axes", "animation", "timings",
                          "version"})
    EXPECT_TRUE(plan.contains(key)) << key;
  ASSERT_EQ(plan["parts"].size(), 3u);
  // A full binary tree over three parts: two splits, the root's sides covering every part.
  ASSERT_EQ(plan["hierarchy"].size(), 2u);
  std::set<unsigned int> covered;
  for (const auto& side : {"first", "second"})
    for (unsigned int p : plan["hierarchy"][0][side])
      covered.insert(p);
  EXPECT_EQ(covered.size(), 3u);
  std::set<std::vector<float>> offsets;
  for (const auto& part : plan["parts"])
    offsets.insert(part["translation"].get<std::vector<float>>());
  EXPECT_EQ(offsets.size(), 3u) << "every part ends somewhere else";
  for (const auto& split : plan["hierarchy"])
    EXPECT_LT(split["direction"].get<size_t>(), plan["directions"].size());

  const std::string exploded = readFile(dir / "a" / "exploded.obj");
  EXPECT_NE(exploded.find("o box2"), std::string::npos);
  EXPECT_EQ(exploded, readFile(dir / "b" / "exploded.obj"));
  nlohmann::json other = nlohmann::json::parse(readFile(dir / "b" / "plan.json"));
  plan.erase("timings");
  other.erase("timings");
  EXPECT_EQ(plan, other);
}

TEST_F(TolvaneCommandLine, AnimatesWithoutCollisionsAndFreesOnePart) {
  const fs::path input = writeStack("stack.obj", 4);
  ASSERT_EQ(run(input.string() + " -o " + dir.string() + " --remove box1 --step-time 0.5").code, 0);
  const nlohmann::json plan = nlohmann::json::parse(readFile(dir / "plan.json"));
  const nlohmann::json& animation = plan["animation"];
  EXPECT_EQ(animation["requestedPolicy"], "auto");
  ASSERT_FALSE(animation["collisionChecks"].empty());
  const nlohmann::json& played = animation["collisionChecks"].back();
  EXPECT_EQ(played["policy"], animation["policy"]);
  EXPECT_TRUE(played["collision"].is_null()) << played;
  EXPECT_EQ(animation["steps"].size(), plan["hierarchy"].size());
  for (const auto& step : animation["steps"])
    EXPECT_FLOAT_EQ(step["end"].get<float>() - step["start"].get<float>(), 0.5f);

  // Every part leaves in exactly one step, box1 last and unmoved; each step's boxes travel just
  // far enough to be the gap clear of the boxes still stacked (box b spans [b, 6 - b] across and
  // [b, b + 1] in height).
  const nlohmann::json removal = nlohmann::json::parse(readFile(dir / "remove-box1.json"));
  EXPECT_EQ(removal["part"], "box1");
  const auto extentAlong = [](int box, const std::vector<double>& d) {
    double low = 1e30, high = -1e30;
    for (int corner = 0; corner < 8; ++corner) {
      const double p = d[0] * ((corner & 1) ? 6 - box : box) +
                       d[1] * ((corner & 2) ? 6 - box : box) + d[2] * (box + (corner & 4 ? 1 : 0));
      low = std::min(low, p);
      high = std::max(high, p);
    }
    return std::make_pair(low, high);
  };
  std::multiset<std::string> removed;
  const nlohmann::json& steps = removal["steps"];
  for (size_t s = 0; s < steps.size(); ++s) {
    const auto direction = steps[s]["direction"].get<std::vector<double>>();
    double moving = 1e30, staying = -1e30;
    for (const auto& part : steps[s]["parts"]) {
      removed.insert(part.get<std::string>());
      moving = std::min(moving, extentAlong(part.get<std::string>()[3] - '0', direction).first);
    }
    for (size_t later = s + 1; later < steps.size(); ++later)
      for (const auto& part : steps[later]["parts"])
        staying = std::max(staying, extentAlong(part.get<std::string>()[3] - '0', direction).second);
    if (s + 1 < steps.size()) {
      EXPECT_NEAR(std::hypot(direction[0], direction[1], direction[2]), 1.0, 1e-6);
      EXPECT_NEAR(steps[s]["distance"].get<double>(), staying - moving + plan["gap"].get<double>(),
                  1e-3);
    }
  }
  EXPECT_EQ(removed, (std::multiset<std::string>{"box0", "box1", "box2", "box3"}));
  EXPECT_EQ(steps.back()["parts"], nlohmann::json::array({"box1"}));
  EXPECT_EQ(steps.back()["distance"], 0.0);

  const tRun unknown = run(input.string() + " -o " + dir.string() + " --remove box9");
  EXPECT_EQ(unknown.code, 1);
  EXPECT_NE(unknown.errors.find("box9"), std::string::npos) << unknown.errors;
}

TEST_F(TolvaneCommandLine, OnePartGivesAPlanWithoutSplits) {
  ASSERT_EQ(run(writeStack("one.obj", 1).string() + " -o " + (dir / "out").string()).code, 0);
  const nlohmann::json plan = nlohmann::json::parse(readFile(dir / "out" / "plan.json"));
  EXPECT_EQ(plan["parts"].size(), 1u);
  EXPECT_TRUE(plan["hierarchy"].empty());
  EXPECT_TRUE(fs::exists(dir / "out" / "exploded.obj"));
}

TEST_F(TolvaneCommandLine, RefusesBadInputWithItsName) {
  const std::string out = " -o " + (dir / "out").string();
  const fs::path missing = dir / "missing.obj";
  tRun result = run(missing.string() + out);
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.errors.find(missing.string()), std::string::npos) << result.errors;

  std::ofstream(dir / "garbage.ply") << "ply\nnot really\n\x01\x02\x03";
  result = run((dir / "garbage.ply").string() + out);
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.errors.find("garbage.ply"), std::string::npos) << result.errors;

  result = run(writeStack("nan.obj", 2, "nan").string() + out);
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.errors.find("nan.obj"), std::string::npos) << result.errors;

  // A folder below a plain file cannot be made, even by root.
  const fs::path stack = writeStack("stack.obj", 2);
  result = run(stack.string() + " -o " + (stack / "out").string());
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.errors.find("output folder"), std::string::npos) << result.errors;

  EXPECT_EQ(run(stack.string() + out + " --no-such-option").code, 2);
  EXPECT_EQ(run(stack.string() + out + " --group-by everything").code, 2);
}

} // namespace
