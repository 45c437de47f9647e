#pragma once
// The common open and save dialogs. A TOpenSaveDialog::TData record outlives each dialog,
// so the file chosen last, the filter and the folder carry over from one use to the next;
// after IDOK its FileName is the chosen name. Names stay code page 932 in the program; the
// dialogs themselves are the wide ones.

#include <windows.h>

#include <string>

namespace kelna {

class TWindow;

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

  enum class Kind { Open, Save };

  TOpenSaveDialog(TWindow* parent, TData& data, Kind kind) : parent_(parent), data_(data), kind_(kind) {}
  virtual ~TOpenSaveDialog() = default;

  // Shows the dialog (or asks the application's dialog answers, in tests). IDOK when a
  // name was chosen, which is then the record's FileName; IDCANCEL otherwise, and the
  // record keeps its name.
  int Execute();

  TData& GetData() const { return data_; }

 private:
  int RunCommonDialog();

  TWindow* parent_;
  TData& data_;
  Kind kind_;
};

class TFileOpenDialog : public TOpenSaveDialog {
 public:
  TFileOpenDialog(TWindow* parent, TData& data) : TOpenSaveDialog(parent, data, Kind::Open) {}
};

class TFileSaveDialog : public TOpenSaveDialog {
 public:
  TFileSaveDialog(TWindow* parent, TData& data) : TOpenSaveDialog(parent, data, Kind::Save) {}
};

// The filter as the common dialogs want it: '|' separators become NULs, and the list ends
// with two NULs.
std::wstring CommonDialogFilter(const std::string& cp932Filter);

}  // namespace kelna
