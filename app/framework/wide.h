#pragma once
// The program keeps names as code page 932 text; the Windows interface is wide (UTF-16).

#include <string>
#include <string_view>

#include "platform/text.h"

namespace kelna {

inline std::wstring Wide(std::string_view cp932) {
  const std::u16string utf16 = Cp932ToUtf16(cp932);
  return std::wstring(utf16.begin(), utf16.end());
}

inline std::string Narrow(std::wstring_view wide) {
  return Utf16ToCp932(std::u16string(wide.begin(), wide.end()));
}

}  // namespace kelna
