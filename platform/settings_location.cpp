// Where the user's settings live. Environment values are read as wide text on Windows, so
// that a folder under a user name outside the ANSI code page is found as it is.

#include <cstdlib>
#include <filesystem>

#include "platform/profile.h"

namespace kelna {
namespace {

#ifdef _WIN32
// The variable's value, or an empty path when it is unset or empty.
std::filesystem::path EnvironmentPath(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}
#else
std::filesystem::path EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}
#endif

}  // namespace

std::filesystem::path SettingsDirectory() {
#ifdef _WIN32
  if (std::filesystem::path chosen = EnvironmentPath(L"KELNA_CONFIG_DIR"); !chosen.empty()) {
    return chosen;
  }
  if (const std::filesystem::path appData = EnvironmentPath(L"APPDATA"); !appData.empty()) {
    return appData / L"Kelna";
  }
#else
  if (std::filesystem::path chosen = EnvironmentPath("KELNA_CONFIG_DIR"); !chosen.empty()) {
    return chosen;
  }
  // The XDG base directory rules say a relative XDG_CONFIG_HOME is to be ignored.
  if (const std::filesystem::path config = EnvironmentPath("XDG_CONFIG_HOME");
      config.is_absolute()) {
    return config / "kelna";
  }
  if (const std::filesystem::path home = EnvironmentPath("HOME"); !home.empty()) {
    return home / ".config" / "kelna";
  }
#endif
  return ".";  // the current directory, when the environment names no better place
}

std::filesystem::path ControlIniPath() { return SettingsDirectory() / "CONTROL.INI"; }

}  // namespace kelna
