// kelna-tool pack MANIFEST.json OUT.foe: builds an object file from a JSON manifest that
// names each object's fields, its frames' BMP files (or one PNG with alpha per frame), its
// positions and its wave file; or, for an output named .anm, an animation file from an
// animation manifest. Every failure names the manifest entry at fault.

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "tools/animation_manifest.h"
#include "tools/commands.h"
#include "tools/manifest_values.h"
#include "tools/object_manifest.h"
#include "tools/tool_files.h"

namespace kelna::tool {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "pack MANIFEST.json OUT.foe [--alpha-threshold N] [--palette] [--reuse-previous] | "
    "pack ANIMATION.json OUT.anm";

void PackObjects(const Json& manifest, const fs::path& manifestFile, const fs::path& output,
                 const PackOptions& options) {
  ZoSpriteAnimation::ObjectList objects;
  try {
    objects = ObjectsFromManifest(manifest, manifestFile.parent_path(), options);
  } catch (const ToolError& failure) {
    throw ToolError(PathText(manifestFile) + ": " + failure.what());
  }
  if (const Status written = ReplaceFileContent(output, ObjectFileBytes(objects)); !written)
    throw ToolError(PathText(output) + ": " + written.message());
}

void PackAnimation(const Json& manifest, const fs::path& manifestFile, const fs::path& output) {
  std::unique_ptr<ZoSpriteAnimation> scene;
  try {
    scene = SceneFromManifest(manifest);
  } catch (const ToolError& failure) {
    throw ToolError(PathText(manifestFile) + ": " + failure.what());
  }
  WriteAnimation(*scene, output);
}

// The two file names in order, the options anywhere before "--"; a problem is a line for stderr.
struct PackCommand {
  std::vector<std::string_view> files;
  PackOptions options;
  bool anyOption = false;
  std::string problem;
};

PackCommand ParsePackCommand(std::span<const std::string_view> args) {
  PackCommand command;
  bool filesOnly = false;  // after "--"
  for (std::size_t i = 0; i < args.size() && command.problem.empty(); ++i) {
    const std::string_view arg = args[i];
    if (filesOnly || !arg.starts_with("--")) {
      command.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      filesOnly = true;
      continue;
    }
    command.anyOption = true;
    if (arg == "--palette") {
      command.options.frameForm.palette = true;
    } else if (arg == "--reuse-previous") {
      command.options.reusePrevious = true;
    } else if (arg == "--alpha-threshold") {
      const std::string_view text = i + 1 < args.size() ? args[++i] : std::string_view();
      int& threshold = command.options.frameForm.alphaThreshold;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), threshold);
      if (text.empty() || error != std::errc() || end != text.data() + text.size() || threshold < 1 || threshold > 255)
        command.problem = "--alpha-threshold: \"" + std::string(text) + "\" is not a number from 1 to 255";
    } else {
      command.problem = "unknown option " + std::string(arg);
    }
  }
  return command;
}

}  // namespace

int Pack(std::span<const std::string_view> args) {
  const PackCommand command = ParsePackCommand(args);
  if (!command.problem.empty()) {
    std::fprintf(stderr, "kelna-tool: %s\n", command.problem.c_str());
    return UsageError(kUsage);
  }
  if (command.files.size() != 2) return UsageError(kUsage);
  const fs::path manifestFile(std::string{command.files[0]});
  const fs::path output(std::string{command.files[1]});
  const bool animation = LowerExtension(output) == ".anm";
  if (animation && command.anyOption) {
    std::fputs("kelna-tool: the options are for object files (.foe) only\n", stderr);
    return UsageError(kUsage);
  }
  try {
    const Json manifest = ParseManifest(manifestFile);
    if (animation)
      PackAnimation(manifest, manifestFile, output);
    else
      PackObjects(manifest, manifestFile, output, command.options);
  } catch (const ToolError& failure) {
    return Report(failure.what());
  }
  return 0;
}

}  // namespace kelna::tool
