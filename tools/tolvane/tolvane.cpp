// tolvane: plans how an assembly read from files comes apart, and writes the plan and the
// exploded pose into a folder. Exit codes: 0 done, 1 bad input, 2 bad command line.

#include "tolvaneImport.h"
#include "tolvaneInputError.h"
#include "tolvaneParts.h"
#include "tolvanePipeline.h"

#include <koTolvaneLibVersion.h>
#include <ko/koSystemUtils.h>

#include <CLI/CLI.hpp>

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
  tolvaneSettings settings;
};

void prepareOutputDir(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error || !std::filesystem::is_directory(dir))
    throw tolvaneInputError(dir + ": cannot create the output folder" +
                            (error ? ": " + error.message() : std::string()));
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

  tolvanePipeline pipeline(import, parts);
  pipeline.run(line.settings, importMs);
  const std::filesystem::path dir(line.outputDir);
  const std::string planPath = (dir / "plan.json").string();
  if (!writePlanJson(pipeline.plan(), planPath))
    throw tolvaneInputError(planPath + ": cannot write the file");
  const std::string explodedPath = (dir / "exploded.obj").string();
  if (!pipeline.saveExploded(explodedPath))
    throw tolvaneInputError(explodedPath + ": cannot write the file");
  if (talk)
    std::printf("%zu parts, %zu splits: wrote plan.json and exploded.obj into %s\n",
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
  app.add_option("-o,--output", line.outputDir, "Folder for plan.json and exploded.obj")
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
  try {
    run(line);
  } catch (const tolvaneInputError& e) {
    std::fprintf(stderr, "tolvane: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
