#pragma once
// The few C runtime helpers whose exact behaviour the program relies on, written out so
// that they behave the same with every compiler and runtime.

#include <string>
#include <string_view>

namespace kelna {

// atol(): skips leading white space (space, \t, \n, \v, \f, \r), takes an optional '+' or
// '-', then as many decimal digits as follow. No digits gives 0. The result wraps like a
// 32-bit long on overflow instead of being undefined.
long AsciiToLong(std::string_view text);

// itoa(value, buffer, 10): decimal digits with a leading '-' for negative values.
std::string IntToDecimal(int value);

// fnsplit(): the parts of a path. `drive` keeps its colon ("C:"), `directory` keeps its
// leading and trailing separators ("\\ANIM\\"), `extension` keeps its dot (".ANM").
// Joining the four parts gives back the path.
struct PathParts {
  std::string drive;
  std::string directory;
  std::string name;
  std::string extension;
};

// Both '\\' and '/' separate directories. The path is Shift-JIS (code page 932) text: the
// second byte of a double-byte character is never taken for a separator or a dot.
PathParts SplitPath(std::string_view path);

}  // namespace kelna
