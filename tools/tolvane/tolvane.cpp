// tolvane: plans how an assembly read from files comes apart, and writes the plan and the
// exploded pose into a folder. Exit codes: 0 done, 1 bad input, 2 bad command line.

#include "tolvaneAnimation.h"
#include "tolvaneGlb.h"
#include "tolvaneImport.h"
#include "tolvaneInputError.h"
#include "tolvaneParts.h"
#include "tolvanePipeline.h"
#include "tolvanePreview.h"

#include <koTolvaneLibVersion.h>
#include <ko/koSystemUtils.h>

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

#include <unistd.h>

namespace {

struct tCommandLine {
  std::vector<std::string> inputs;
  std::string outputDir;
  std::string groupsFile;
  tolvaneGroupBy groupBy = tolvaneGroupBy::Mesh;
  std::string removePart;  // empty: none
  tolvaneSettings settings;
};

void prepareOutputDir(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error || !std::filesystem::is_directory(dir))
    throw tolvaneInputError(dir + ": cannot create the output folder" +
                            (error ? ": " + error.message() : std::string()));
}

// A part name as it may stand in a file name: path separators and other awkward characters
// become '_'.
std::string fileNameOf(const std::string& part) {
  std::string name = part;
  for (char& c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
          c == '#'))
      c = '_';
  return name;
}

unsigned int findPart(const tolvaneParts& parts, const std::string& name) {
  for (unsigned int p = 0; p < parts.partNames.size(); ++p)
    if (parts.partNames[p] == name)
      return p;
  throw tolvaneInputError("--remove " + name + ": no part of that name (plan.json lists them)");
}

// Says what the animation check found: the collision that made a policy fail, or the one that
// every policy has.
void reportAnimation(const tolvanePlan& plan, bool talk) {
  const tolvanePlan::tAnimation& animation = plan.animation;
  for (const tolvanePlan::tPolicyCheck& check : animation.checks) {
    if (!check.collision)
      continue;
    const tolvanePlan::tCollision& c = *check.collision;
    const bool played = check.policy == animation.policy;
    if (!talk && !played)
      continue;
    std::fprintf(stderr, "tolvane: %s: the %s policy moves '%s' through '%s' at %.2f s%s\n",
                 played ? "warning" : "note", check.policy.c_str(),
                 plan.parts[c.partA].name.c_str(), plan.parts[c.partB].name.c_str(), c.time,
                 played ? (animation.requestedPolicy == "auto"
                               ? "; no policy is free of collisions, so it plays sequential"
                               : "")
                        : "");
  }
  if (talk && !animation.steps.empty())
    std::printf("animation: %s policy, %.1f s\n", animation.policy.c_str(), animation.duration);
}

void run(const tCommandLine& line) {
  prepareOutputDir(line.outputDir);
  const double start = ko::koSystemUtils::GetTimeBaseMs();
  tolvaneImport import = importAssembly(line.inputs);
  if (!line.settings.quiet)
    for (const std::string& warning : import.warnings)
      std::fprintf(stderr, "tolvane: warning: %s\n", warning.c_str());
  const tolvaneParts parts = line.groupsFile.empty()
                                 ? groupParts(import, line.groupBy)
                                 : groupPartsByMap(import, line.groupsFile);
  const double importMs = ko::koSystemUtils::GetTimeBaseMs() - start;
  const bool talk = !line.settings.quiet;
  if (talk && parts.partNames.size() == 1)
    std::printf("one part (%s): nothing to take apart\n", parts.partNames[0].c_str());

  const unsigned int removed =
      line.removePart.empty() ? 0 : findPart(parts, line.removePart);
  tolvanePipeline pipeline(import, parts);
  pipeline.run(line.settings, importMs);
  reportAnimation(pipeline.plan(), talk);
  const std::filesystem::path dir(line.outputDir);
  const std::string planPath = (dir / "plan.json").string();
  if (!writePlanJson(pipeline.plan(), planPath))
    throw tolvaneInputError(planPath + ": cannot write the file");
  const std::string previewPath = (dir / "preview.png").string();
  if (!writePreview(import, parts, pipeline.plan(), previewPath))
    throw tolvaneInputError(previewPath + ": cannot write the file");
  const std::string explodedPath = (dir / "exploded.obj").string();
  if (!pipeline.saveExploded(explodedPath))
    throw tolvaneInputError(explodedPath + ": cannot write the file");
  const std::string glbPath = (dir / "exploded.glb").string();
  if (!writeAnimatedGlb(import, parts, pipeline.plan().tracks, glbPath))
    throw tolvaneInputError(glbPath + ": cannot write the file");
  if (!line.removePart.empty()) {
    const tolvaneRemoval removal = pipeline.removal(removed);
    const std::filesystem::path stem = dir / ("remove-" + fileNameOf(line.removePart));
    const std::string jsonPath = stem.string() + ".json", glbPath = stem.string() + ".glb";
    if (!writeRemovalJson(removal, parts, jsonPath))
      throw tolvaneInputError(jsonPath + ": cannot write the file");
    if (!writeAnimatedGlb(import, parts, removal.tracks, glbPath))
      throw tolvaneInputError(glbPath + ": cannot write the file");
  }
  if (talk)
    std::printf("%zu parts, %zu splits: wrote plan.json, exploded.obj, exploded.glb and "
                "preview.png into %s\n",
                parts.partNames.size(), pipeline.plan().hierarchy.size(),
                line.outputDir.c_str());
}

} // namespace

int main(int argc, char** argv) {
  CLI::App app("Plans how an assembly comes apart and writes the plan and its exploded view.",
               "tolvane");
  app.footer("Example:\n  tolvane gearbox.glb -o gearbox-out --threads 4 --angle 3\n"
             "Exit codes: 0 done, 1 bad input, 2 bad command line.");
  const char* version = koTolvaneLib::Version::GetDescStringMajorMinorRelease(false);
  app.set_version_flag("--version", std::string("tolvane, koTolvaneLib ") + version);
  tCommandLine line;
  app.add_option("inputs", line.inputs,
                 "Assembly files of any format assimp reads, or folders of part files")
      ->required();
  app.add_option("-o,--output", line.outputDir, "Output folder")
      ->required();
  app.add_option("--threads", line.settings.threads, "Worker threads")
      ->capture_default_str()->check(CLI::Range(1u, 256u));
  app.add_option("--angle", line.settings.angleDegrees,
                 "Directions within this many degrees merge")
      ->capture_default_str()->check(CLI::Range(0.0f, 90.0f));
  app.add_option("--gap", line.settings.gap,
                 "Clearance between exploded parts (default: a tenth of the largest extent)")
      ->check(CLI::NonNegativeNumber);
  const std::map<std::string, tolvaneGroupBy> groupings{{"mesh", tolvaneGroupBy::Mesh},
                                                        {"node", tolvaneGroupBy::Node},
                                                        {"file", tolvaneGroupBy::File}};
  auto* groupBy = app.add_option("--group-by", line.groupBy,
                                 "One part per mesh (default), per scene node or per file")
                      ->transform(CLI::CheckedTransformer(groupings, CLI::ignore_case));
  app.add_option("--groups", line.groupsFile,
                 "JSON object mapping mesh names to part names; other meshes are their own parts")
      ->excludes(groupBy);
  std::map<std::string, int> policies{{"auto", -1}};
  for (const auto& [name, named] : kPolicyNames)
    policies.emplace(name, named);
  int policy = -1;
  app.add_option("--policy", policy,
                 "Animation timing: auto (default: the fastest whose frames are free of "
                 "collisions), sequential, by-level or optimal")
      ->transform(CLI::CheckedTransformer(policies, CLI::ignore_case));
  app.add_option("--play", line.settings.animation.playStyle,
                 "What the animation plays: explode (default), implode, explode-implode or "
                 "implode-explode")
      ->transform(CLI::CheckedTransformer(kPlayStyleNames, CLI::ignore_case));
  app.add_option("--step-time", line.settings.animation.secondsPerStep,
                 "Seconds each step of the animations takes")
      ->capture_default_str()->check(CLI::Range(0.01f, 3600.0f));
  app.add_option("--remove", line.removePart,
                 "Also plan the steps that free this part: remove-PART.json");
  bool noDistant = false;
  app.add_flag("--no-distant", noDistant, "Skip the blocking of parts that do not touch");
  app.add_flag("--quiet", line.settings.quiet,
               "Print nothing on standard output, and no warnings or progress bars");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  line.settings.distantContacts = !noDistant;
  line.settings.progress = !line.settings.quiet && isatty(STDERR_FILENO);
  line.settings.autoPolicy = policy < 0;
  if (policy >= 0)
    line.settings.animation.policy = static_cast<koExplodedViewAnimation::tAnimationPolicy>(policy);
  try {
    run(line);
  } catch (const tolvaneInputError& e) {
    std::fprintf(stderr, "tolvane: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
