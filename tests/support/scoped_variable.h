#pragma once
// Test support: an environment variable set or removed for one test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kelna::test {

#ifdef _WIN32
using EnvironmentText = std::wstring;  // read with _wgetenv, as the program does
#else
using EnvironmentText = std::string;
#endif

inline EnvironmentText Text(std::string_view ascii) { return EnvironmentText(ascii.begin(), ascii.end()); }

// Sets or removes an environment variable for one test, and restores it afterwards.
class ScopedVariable {
 public:
  ScopedVariable(EnvironmentText name, std::optional<EnvironmentText> value)
      : name_(std::move(name)), previous_(Get(name_)) {
    Set(value);
  }
  ~ScopedVariable() { Set(previous_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  static std::optional<EnvironmentText> Get(const EnvironmentText& name) {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(name.c_str());
#else
    const char* value = std::getenv(name.c_str());
#endif
    if (value == nullptr) return std::nullopt;
    return EnvironmentText(value);
  }
  void Set(const std::optional<EnvironmentText>& value) const {
#ifdef _WIN32
    // "NAME=" removes the variable.
    const EnvironmentText assignment = name_ + L"=" + value.value_or(L"");
    ASSERT_EQ(_wputenv(assignment.c_str()), 0);
#else
    ASSERT_EQ(value ? setenv(name_.c_str(), value->c_str(), 1) : unsetenv(name_.c_str()), 0);
#endif
  }

  EnvironmentText name_;
  std::optional<EnvironmentText> previous_;
};

}  // namespace kelna::test
