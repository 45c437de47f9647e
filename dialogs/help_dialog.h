#pragma once
// Help for the settings window. The help file pelmary.hlp opens in the WinHelp viewer when
// both are there; current Windows has no such viewer and we ship no such file, so the
// settings window otherwise shows its own short help, kept in the program's resources.

#include <windows.h>

#include <string>

#include "app/framework/application.h"
#include "app/framework/controls.h"
#include "app/framework/dialog.h"

namespace kelna {

// The help file's name, as the viewer is asked for it.
inline constexpr char kHelpFileName[] = "pelmary.hlp";

// Whether the help file is found beside the program or on the search path.
bool HelpFileFound();
// Opens the help file's contents in the viewer (or asks the answers' helpViewer, in tests):
// true when the file is there and the viewer took it. Never shows an error of its own.
[[nodiscard]] bool ShowHelpFile(HWND owner, const TDialogAnswers* answers);

// The program's own help text: its paragraphs from the string table, one empty line
// between them.
std::wstring OwnHelpText();

// The modal dialog that shows OwnHelpText.
class HelpDialog : public TDialog {
 public:
  explicit HelpDialog(TWindow* parent);

 protected:
  void SetupWindow() override;

 private:
  TEdit text;
};

}  // namespace kelna
