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

// Sets (or, given nullopt, removes) a variable, and restores it when it goes.
class ScopedVariable {
 public:
  ScopedVariable(EnvironmentText name, std::optional<EnvironmentText> value) : name_(std::move(name)) {
#ifdef _WIN32
    const wchar_t* previous = _wgetenv(name_.c_str());
#else
    const char* previous = std::getenv(name_.c_str());
#endif
    if (previous != nullptr) previous_ = previous;
    Set(value);
  }
  ~ScopedVariable() { Set(previous_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  void Set(const std::optional<EnvironmentText>& value) const {
#ifdef _WIN32
    ASSERT_EQ(_wputenv((name_ + L"=" + value.value_or(L"")).c_str()), 0);  // "NAME=" removes it
#else
    ASSERT_EQ(value ? setenv(name_.c_str(), value->c_str(), 1) : unsetenv(name_.c_str()), 0);
#endif
  }

  EnvironmentText name_;
  std::optional<EnvironmentText> previous_;
};

}  // namespace kelna::test
