// The command-line host run as a user runs it: OBJ files in, exit code, messages and the output
// folder checked.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

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
    // The process id keeps builds that run their tests side by side out of each other's way.
    dir = fs::temp_directory_path() /
          ("tolvane-" + std::string(test->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  tRun run(const std::string& arguments, bool quiet = true) const {
    const fs::path errors = dir / "stderr.txt";
    const std::string command = std::string(TOLVANE_PROGRAM) + " " + arguments +
                                (quiet ? " --quiet > " : " > ") +
                                (dir / "stdout.txt").string() + " 2> " + errors.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errors)};
  }

  // Boxes stacked along z, each an OBJ object named box<k>, k from firstBox; each rests on the one
  // below.
  fs::path writeStack(const std::string& file, int boxes, const char* firstX = "0",
                      int firstBox = 0) const {
    std::ofstream out(dir / file);
    for (int b = firstBox; b < firstBox + boxes; ++b) {
      out << "o box" << b << "\n";
      for (int v = 0; v < 8; ++v)
        out << "v " << ((v & 1) ? std::to_string(6 - b) : (v + b == 0 ? firstX : std::to_string(b)))
            << " " << ((v & 2) ? 6 - b : b) << " " << b + ((v & 4) ? 1 : 0) << "\n";
      // Two counter-clockwise triangles per face, seen from outside.
      static const int kTriangles[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                         2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
      for (int t = 0; t < 36; t += 3)
        out << "f " << 8 * (b - firstBox) + kTriangles[t] + 1 << " "
            << 8 * (b - firstBox) + kTriangles[t + 1] + 1 << " "
            << 8 * (b - firstBox) + kTriangles[t + 2] + 1 << "\n";
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
  EXPECT_EQ(readFile(dir / "a" / "preview.png"), readFile(dir / "b" / "preview.png"));
  nlohmann::json other = nlohmann::json::parse(readFile(dir / "b" / "plan.json"));
  plan.erase("timings");
  other.erase("timings");
  EXPECT_EQ(plan, other);
}

TEST_F(TolvaneCommandLine, AnimatesWithoutCollisionsAndFreesOnePart) {
  const fs::path input = writeStack("stack.obj", 3);
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
  EXPECT_EQ(removed, (std::multiset<std::string>{"box0", "box1", "box2"}));
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

// Each bad input: exit code 1 and one line on standard error that names the file, then the problem.
TEST_F(TolvaneCommandLine, RefusesBadInputWithOneLineNamingTheFileAndTheProblem) {
  const auto written = [&](const char* name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  };
  const std::string out = " -o " + (dir / "out").string();
  const std::string stack = writeStack("stack.obj", 2).string();
  const std::string nan = writeStack("nan.obj", 2, "nan").string();
  const std::string missing = (dir / "missing.obj").string();
  const std::string garbage = written("garbage.ply", "ply\nnot really\nend_header\n\x01\x02\x03");
  // Assimp's PLY reader loops forever on a header that never ends.
  const std::string endless = written("endless.ply", "ply\nformat ascii 1.0\nelement vertex 3\n");
  const std::string index = written("index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n");
  const std::string flat = written("flat.obj", "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\nf 1 1 2\n");
  const std::string point = written("point.obj", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n");
  const std::string huge = written("huge.obj", "v 0 0 0\nv 2e9 0 0\nv 0 1 0\nf 1 2 3\n");
  // One unit seen from 1e7 away, where floats step by 1.
  const std::string far = written("far.obj", "v 1e7 0 0\nv 10000001 0 0\nv 1e7 1 0\nf 1 2 3\n");
  const std::string twice = written("twice.json", R"({"box0": "a", "box1": "b", "box0": "c"})");
  const std::string unknown = written("unknown.json", R"({"box7": "a"})");
  const std::string blocked = stack + "/out";  // below a plain file: not even root can make it

  const struct {
    std::string file, commandLine;
    const char* problem;
  } cases[] = {
      {missing, missing + out, "no such file"},
      {garbage, garbage + out, "not an assembly assimp reads"},
      {endless, endless + out, "without an end_header line"},
      {nan, nan + out, "not a finite number"},
      {index, index + out, "out of range"},
      {flat, flat + out, "no triangle with an area"},
      {point, point + out, "in one point"},
      {huge, huge + out, "beyond 1e9"},
      {far, far + out, "too small for single precision"},
      {twice, stack + " --groups " + twice + out, "mesh 'box0' is given twice"},
      {unknown, stack + " --groups " + unknown + out, "no mesh is named 'box7'"},
      {blocked, stack + " -o " + blocked, "cannot create the output folder"},
  };
  for (const auto& bad : cases) {
    const tRun result = run(bad.commandLine);
    EXPECT_EQ(result.code, 1) << bad.file;
    const std::string start = "tolvane: error: " + bad.file + ": ";
    EXPECT_EQ(result.errors.rfind(start, 0), 0u) << result.errors;
    EXPECT_NE(result.errors.find(bad.problem), std::string::npos) << result.errors;
    EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1) << result.errors;
  }

  EXPECT_EQ(run(stack + out + " --no-such-option").code, 2);
  EXPECT_EQ(run(stack + out + " --group-by everything").code, 2);
}

// Triangles without an area are dropped with a warning naming the file and mesh, unless quiet.
TEST_F(TolvaneCommandLine, DropsTrianglesWithoutAreaWithAWarning) {
  const fs::path input = writeStack("slivers.obj", 2);
  std::ofstream(input, std::ios::app) << "f 9 10 9\nf 9 10 9\n";
  const tRun talking = run(input.string() + " -o " + (dir / "a").string(), false);
  EXPECT_EQ(talking.code, 0);
  EXPECT_EQ(talking.errors, "tolvane: warning: " + input.string() +
                                ": mesh 'box1': dropped 2 of 14 triangles without an area\n");
  const tRun quiet = run(input.string() + " -o " + (dir / "b").string());
  EXPECT_EQ(quiet.code, 0);
  EXPECT_EQ(quiet.errors, "");
}

// Files of one stem in two folders are two parts, the second named with "#2".
TEST_F(TolvaneCommandLine, KeepsFilesOfOneNameApart) {
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  const fs::path lower = writeStack("a/box.obj", 1);
  const fs::path upper = writeStack("b/box.obj", 1, "0", 1);
  ASSERT_EQ(run(lower.string() + " " + upper.string() + " --group-by file -o " +
                (dir / "out").string()).code, 0);
  const nlohmann::json plan = nlohmann::json::parse(readFile(dir / "out" / "plan.json"));
  ASSERT_EQ(plan["parts"].size(), 2u);
  EXPECT_EQ(plan["parts"][0]["name"], "box");
  EXPECT_EQ(plan["parts"][1]["name"], "box#2");
}

} // namespace
