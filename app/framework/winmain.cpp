// The program's entry: hands the arguments, as code page 932 text, to OwlMain and reports
// anything that escapes it in a message box (the program's only global error handler).

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/framework/application.h"
#include "app/framework/owl_main.h"
#include "app/framework/wide.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<std::string> args = kelna::SplitCommandLine(::GetCommandLineW());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  try {
    return OwlMain(static_cast<int>(args.size()), argv.data());
  } catch (const std::exception& error) {
    ::MessageBoxW(nullptr, kelna::Wide(error.what()).c_str(), L"ケルナ", MB_OK | MB_ICONERROR);
  } catch (...) {
    ::MessageBoxW(nullptr, L"Unexpected error", L"ケルナ", MB_OK | MB_ICONERROR);
  }
  return 1;
}
