#pragma once
// Test support: kelna-tool and the player run through the shell as users run them.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/support/bytes.h"

namespace kelna::test {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out;
  std::string errors;
};

// `text` with every "@" standing for `folder` and a slash.
inline std::string At(std::string text, const fs::path& folder) {
  const std::string path = folder.string() + "/";
  for (std::size_t i = text.find('@'); i != text.npos; i = text.find('@', i + path.size()))
    text.replace(i, 1, path);
  return text;
}

// Runs `program` with the words of `command` ("@" standing for `folder`, where the output and
// errors pass through files).
inline ToolRun RunProgram(const std::string& program, const std::string& command, const fs::path& folder) {
  const auto quoted = [](const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  };
  std::string line = quoted(program);
  std::istringstream words(At(command, folder));
  for (std::string word; words >> word;) line += " " + quoted(word);
  const int status = std::system((line + At(" >@tool.out 2>@tool.err", folder)).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(folder / "tool.out"),
          Contents(folder / "tool.err")};
}

inline ToolRun RunTool(const std::string& command, const fs::path& folder) {
  return RunProgram(KELNA_TOOL, command, folder);
}

}  // namespace kelna::test
