#pragma once
// Test support: programs started beside the test as users start them. The one runner of the
// tests: kelna-tool, the native player and the X tools natively; kelna.scr and kelna-tool.exe
// under Wine. A program gets its words, variables of its own besides the test's, a working
// folder, and files for its output and its errors, and one to read (nothing, unless given).

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#endif

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bytes.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace kelna::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using NativeText = fs::path::string_type;  // what the system's calls take: wide under Windows

struct ProgramSetup {
  // "NAME=value" sets a variable, "NAME" alone removes it; the program has the test's others.
  std::vector<NativeText> environment = {};
  fs::path folder = {};  // the working folder; empty: the test's
  fs::path out = {};     // where its output goes; empty: nowhere
  fs::path errors = {};  // where its errors go; empty: with its output
  fs::path in = {};      // what it reads (a named pipe, say); empty: nothing
};

// The variables `variables` ("NAME=value") with `changes` made as ProgramSetup says.
inline std::vector<NativeText> ChangedEnvironment(std::vector<NativeText> variables,
                                                  const std::vector<NativeText>& changes) {
  for (const NativeText& change : changes) {
    const NativeText prefix = change.substr(0, change.find('=')) + NativeText(1, '=');
    std::erase_if(variables, [&](const NativeText& variable) { return variable.starts_with(prefix); });
    if (change.size() >= prefix.size()) variables.push_back(change);
  }
  return variables;
}

// Whether `holds` becomes true within `timeout`.
template <typename Test>
bool Within(std::chrono::milliseconds timeout, Test holds) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (; !holds(); std::this_thread::sleep_for(10ms))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

// A started program (its name or path first among `words`). Ended if it still runs when the
// object goes.
class Program {
 public:
  Program(const std::vector<NativeText>& words, ProgramSetup setup = {}) : setup_(std::move(setup)) {
    if (words.empty()) throw std::invalid_argument("a program needs its name");
    Start(words);
  }
  ~Program() {
    if (!Terminate()) Kill();
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The exit status (minus the signal for one that a signal ended) once the program has
  // ended within `timeout`; nothing while it runs. `meanwhile` runs between looks.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout, const std::function<void()>& meanwhile = {}) {
    Within(timeout, [&] {
      if (status_ || Ended()) return true;
      if (meanwhile) meanwhile();
      return false;
    });
    return status_;
  }

  // Asks the program to end, as XScreenSaver ends its hacks (under Windows: ends it with
  // status 99); its exit status once it has.
  std::optional<int> Terminate() {
    if (!status_ && !Ended()) Stop();
    return WaitForExit(10s);
  }

  // Its output (and errors, when they go with it) so far.
  std::string Log() const { return Contents(setup_.out); }

  // Whether the output holds `text` within `timeout`.
  bool Says(const std::string& text, std::chrono::milliseconds timeout = 20s) const {
    return Within(timeout, [&] { return Log().find(text) != std::string::npos; });
  }

#ifdef _WIN32
  DWORD Id() const { return process_.dwProcessId; }

 private:
  // A file for the child to inherit: `path` read or written, or the null device.
  static HANDLE Open(const fs::path& path, bool write) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    return ::CreateFileW(path.empty() ? L"NUL" : path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, write ? CREATE_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  // The words as Windows splits a command line again (CommandLineToArgvW); the program's
  // name quoted, as shells start programs.
  static std::wstring CommandLine(const std::vector<std::wstring>& words) {
    std::wstring line;
    for (const std::wstring& word : words) {
      if (!line.empty()) line += L' ';
      if (&word != &words.front() && !word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) {
        line += word;
        continue;
      }
      line += L'"';
      std::size_t backslashes = 0;
      for (wchar_t c : word) {
        if (c == L'"') line.append(backslashes + 1, L'\\');
        backslashes = c == L'\\' ? backslashes + 1 : 0;
        line += c;
      }
      line.append(backslashes, L'\\');
      line += L'"';
    }
    return line;
  }

  void Start(const std::vector<std::wstring>& words) {
    std::vector<std::wstring> variables;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* at = block; *at; at += variables.back().size() + 1) variables.emplace_back(at);
    ::FreeEnvironmentStringsW(block);
    std::wstring environment;
    for (const std::wstring& variable : ChangedEnvironment(variables, setup_.environment))
      environment += variable + L'\0';
    environment += L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Open(setup_.in, false);
    startup.hStdOutput = Open(setup_.out, true);
    startup.hStdError = setup_.errors.empty() ? startup.hStdOutput : Open(setup_.errors, true);
    std::wstring line = CommandLine(words);
    const bool started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                          environment.data(), setup_.folder.empty() ? nullptr : setup_.folder.c_str(),
                                          &startup, &process_);
    const DWORD error = ::GetLastError();
    ::CloseHandle(startup.hStdInput);
    ::CloseHandle(startup.hStdOutput);
    if (!setup_.errors.empty()) ::CloseHandle(startup.hStdError);
    if (!started) throw std::runtime_error("cannot start " + fs::path(words[0]).string() + ": error " + std::to_string(error));
  }
  bool Ended() {
    DWORD code = 0;
    if (::WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process_.hProcess, &code))
      return false;
    status_ = static_cast<int>(code);
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
    return true;
  }
  void Stop() { ::TerminateProcess(process_.hProcess, 99); }
  void Kill() {
    ::TerminateProcess(process_.hProcess, 99);
    ::WaitForSingleObject(process_.hProcess, INFINITE);
    Ended();
  }

  PROCESS_INFORMATION process_{};
#else
 private:
  void Start(std::vector<std::string> words) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const auto file = [](const fs::path& path) { return path.empty() ? "/dev/null" : path.c_str(); };
    posix_spawn_file_actions_addopen(&actions, 0, file(setup_.in), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, file(setup_.out), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (setup_.errors.empty())
      posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
      posix_spawn_file_actions_addopen(&actions, 2, setup_.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!setup_.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, setup_.folder.c_str());
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
    variables = ChangedEnvironment(variables, setup_.environment);
    const auto pointers = [](std::vector<std::string>& texts) {
      std::vector<char*> list;
      for (std::string& text : texts) list.push_back(text.data());
      list.push_back(nullptr);
      return list;
    };
    const int failed = posix_spawnp(&pid_, words[0].c_str(), &actions, nullptr, pointers(words).data(),
                                    pointers(variables).data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + words[0]);
  }
  bool Ended() {
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) != pid_) return false;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
    return true;
  }
  void Stop() { kill(pid_, SIGTERM); }
  void Kill() {
    kill(pid_, SIGKILL);
    int raw = 0;
    waitpid(pid_, &raw, 0);
    status_ = -SIGKILL;
  }

  pid_t pid_ = -1;
#endif

  ProgramSetup setup_;
  std::optional<int> status_;
};

// How a program that ran to its end did: the exit status (-1: it did not end in time, and
// the test ended it), its output and its errors.
struct ToolRun {
  int status;
  std::string out;
  std::string errors;
};

// Runs `words` in `folder`, where the output and errors pass through files, and waits for its
// end. One that still runs after `timeout` (a generous time: tests run beside builds on
// machines with two cores) is ended, and its errors say so.
inline ToolRun RunProgram(const std::vector<NativeText>& words, const fs::path& folder,
                          std::vector<NativeText> environment = {}, std::chrono::seconds timeout = 100s) {
  const fs::path out = folder / "tool.out", errors = folder / "tool.err";
  std::optional<int> status;
  {
    Program program(words, {std::move(environment), folder, out, errors});
    status = program.WaitForExit(timeout);
  }
  std::string said = Contents(errors);
  if (!status)
    said += "[the test ended " + fs::path(words[0]).filename().string() + ": still running after " +
            std::to_string(timeout.count()) + " s]\n";
  return {status.value_or(-1), Contents(out), said};
}

// `text` with every "@" standing for `folder` and a slash.
inline std::string At(std::string text, const fs::path& folder) {
  const std::string path = folder.string() + "/";
  for (std::size_t i = text.find('@'); i != text.npos; i = text.find('@', i + path.size()))
    text.replace(i, 1, path);
  return text;
}

// The words of `text`, split at spaces.
inline std::vector<NativeText> Words(const NativeText& text) {
  std::basic_istringstream<NativeText::value_type> split(text);
  std::vector<NativeText> words;
  for (NativeText word; split >> word;) words.push_back(word);
  return words;
}

#ifndef _WIN32
// Runs `program` with the words of `command` ("@" standing for `folder`) in `folder`.
inline ToolRun RunProgram(const std::string& program, const std::string& command, const fs::path& folder,
                          std::vector<std::string> environment = {}) {
  std::vector<std::string> words = Words(At(command, folder));
  words.insert(words.begin(), program);
  return RunProgram(words, folder, std::move(environment));
}

inline ToolRun RunTool(const std::string& command, const fs::path& folder) {
  return RunProgram(KELNA_TOOL, command, folder);
}
#endif

}  // namespace kelna::test
