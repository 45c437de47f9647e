#include "app/framework/open_save_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/framework/application.h"
#include "app/framework/wide.h"
#include "app/framework/window.h"

namespace kelna {

std::wstring CommonDialogFilter(const std::string& cp932Filter) {
  // Converted first: in code page 932 the byte of '|' can be the second half of a character.
  std::wstring filter = Wide(cp932Filter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  return filter;
}

int TOpenSaveDialog::Execute() {
  TApplication* application = parent_ ? parent_->GetApplication() : nullptr;
  if (application && application->answers.fileDialog) return application->answers.fileDialog(*this);
  return RunCommonDialog();
}

int TOpenSaveDialog::RunCommonDialog() {
  const std::wstring filter = CommonDialogFilter(data_.Filter);
  const std::wstring initialDir = Wide(data_.InitialDir);
  const std::wstring defaultExtension = Wide(data_.DefExt);
  // Room for the longest name the record takes, as UTF-16 units.
  std::vector<wchar_t> name(static_cast<std::size_t>(std::max(data_.MaxPath, MAX_PATH)) + 1, L'\0');
  const std::wstring current = Wide(data_.FileName);
  std::copy_n(current.begin(), std::min(current.size(), name.size() - 1), name.begin());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = parent_ ? parent_->GetHandle() : nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  // As the record holds it: an empty folder lets the dialog start where it starts by itself.
  dialog.lpstrInitialDir = initialDir.c_str();
  dialog.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  // The record's flags alone: a folder chosen in the dialog becomes the current one, where
  // relative names such as untitled.anm are then saved.
  dialog.Flags = data_.Flags;
  const BOOL chosen = kind_ == Kind::Open ? ::GetOpenFileNameW(&dialog) : ::GetSaveFileNameW(&dialog);
  if (!chosen) return IDCANCEL;
  data_.FileName = Narrow(name.data());
  return IDOK;
}

}  // namespace kelna
