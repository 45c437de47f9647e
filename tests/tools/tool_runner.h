#pragma once
// Test support: kelna-tool (and other programs) run through the shell as users run them,
// with what they printed.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace kelna::test {

struct ToolRun {
  int status;
  std::string out;
  std::string errors;
};

// Runs a program with `arguments`; its output and errors pass through files in `scratch`.
inline ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& scratch) {
  const auto quoted = [](const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  };
  std::string command = quoted(program);
  for (const std::string& argument : arguments) command += " " + quoted(argument);
  const std::filesystem::path out = scratch / "tool.out", errors = scratch / "tool.err";
  command += " >" + quoted(out.string()) + " 2>" + quoted(errors.string());
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(out), Contents(errors)};
}

inline ToolRun RunTool(const std::vector<std::string>& arguments, const std::filesystem::path& scratch) {
  return RunProgram(KELNA_TOOL, arguments, scratch);
}

}  // namespace kelna::test
