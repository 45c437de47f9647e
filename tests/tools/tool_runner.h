#pragma once
// Test support: kelna-tool (and other programs) run through the shell as users run them,
// with what they printed.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace kelna::test {


struct ToolRun {
  int status;
  std::string out;
  std::string errors;
};

inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a program with `arguments`; its output and errors pass through files in `scratch`.
inline ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& scratch) {
  std::string command = ShellQuoted(program);
  for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
  const std::filesystem::path out = scratch / "tool.out", errors = scratch / "tool.err";
  command += " >" + ShellQuoted(out.string()) + " 2>" + ShellQuoted(errors.string());
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(out), Contents(errors)};
}

// Runs kelna-tool.
inline ToolRun RunToolWith(const std::vector<std::string>& arguments, const std::filesystem::path& scratch) {
  return RunProgram(KELNA_TOOL, arguments, scratch);
}

inline ToolRun RunTool(std::initializer_list<std::string> arguments, const std::filesystem::path& scratch) {
  return RunToolWith(std::vector<std::string>(arguments), scratch);
}

}  // namespace kelna::test
