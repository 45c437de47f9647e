#pragma once
// The record behind a common open or save dialog. It outlives each dialog, so the file
// chosen last, the filter and the folder carry over from one use to the next. The dialogs
// themselves come with the settings window.

#include <windows.h>

#include <string>

namespace kelna {

class TOpenSaveDialog {
 public:
  struct TData {
    TData(DWORD flags, std::string filter, std::string customFilter, std::string initialDir,
          std::string defExt, int maxPath = MAX_PATH)
        : Flags(flags), Filter(std::move(filter)), CustomFilter(std::move(customFilter)),
          InitialDir(std::move(initialDir)), DefExt(std::move(defExt)), MaxPath(maxPath) {}

    // Texts are code page 932, as names are everywhere in the program. Filter holds pairs
    // of description and pattern separated by '|'.
    DWORD Flags;
    std::string Filter;
    std::string CustomFilter;
    std::string InitialDir;
    std::string DefExt;
    int MaxPath;
    std::string FileName;  // the file chosen last
  };
};

}  // namespace kelna
