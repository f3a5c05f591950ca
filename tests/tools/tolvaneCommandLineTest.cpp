// The command-line host run as a user runs it: OBJ files in, exit code, messages and the output
// folder checked.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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
    // The process id keeps runs of other builds on this machine out of the folder.
    dir = fs::temp_directory_path() /
          ("tolvane-" + std::string(test->name()) + "-" + std::to_string(getpid()));
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
  for (const char* key : {"parts", "hierarchy", "directions", "timings", "version"})
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
