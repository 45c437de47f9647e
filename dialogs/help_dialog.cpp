#include "dialogs/help_dialog.h"

#include "resources/resource_ids.h"

namespace kelna {

bool HelpFileFound() {
  const std::wstring name(kHelpFileName, kHelpFileName + sizeof kHelpFileName - 1);  // ASCII
  wchar_t found[MAX_PATH] = {};
  return ::SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, found, nullptr) > 0;
}

// Without the file the viewer (where there still is one) would only report it missing.
bool ShowHelpFile(HWND owner, const TDialogAnswers* answers) {
  if (!HelpFileFound()) return false;
  if (answers && answers->helpViewer) return answers->helpViewer(owner, kHelpFileName, HELP_CONTENTS);
  return ::WinHelpA(owner, kHelpFileName, HELP_CONTENTS, 0) != FALSE;
}

std::wstring OwnHelpText() {
  std::wstring text;
  for (int id = KELNA_HELP_FIRST_STRING;; ++id) {
    const wchar_t* paragraph = nullptr;
    // A length of 0 asks for a pointer to the resource's own text (not NUL-terminated).
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(id),
                                     reinterpret_cast<wchar_t*>(&paragraph), 0);
    if (length <= 0 || !paragraph) break;
    if (!text.empty()) text += L"\r\n\r\n";
    text.append(paragraph, static_cast<std::size_t>(length));
  }
  return text;
}

HelpDialog::HelpDialog(TWindow* parent) : TDialog(parent, KELNA_HELP_DIALOG_ID), text(this, KELNA_HELP_TEXT_ID, 0) {
  text.DisableTransfer();
  text.SetReadOnly(true);
}

void HelpDialog::SetupWindow() {
  TDialog::SetupWindow();
  text.SetCaption(OwnHelpText());
}

}  // namespace kelna
