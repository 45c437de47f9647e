#pragma once
// TApplication: the program object. Run() calls InitInstance(), which calls InitMainWindow();
// the window given to SetMainWindow() is then created and shown, and the message loop runs
// until that window is destroyed.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/framework/frame_window.h"
#include "app/framework/response_table.h"

namespace kelna {

class TDialog;
class TOpenSaveDialog;

// Answers for what the program would ask a person. Tests fill them; left empty, the real
// message boxes and dialogs appear.
struct TDialogAnswers {
  // Instead of a message box: the button "pressed".
  std::function<int(HWND owner, std::wstring_view text, std::wstring_view caption, UINT style)> messageBox;
  // Instead of a common open or save dialog: set the record's FileName and answer IDOK, or
  // answer IDCANCEL.
  std::function<int(TOpenSaveDialog& dialog)> fileDialog;
  // Called once a modal dialog of ours is shown, inside its message loop: drive it with
  // messages, and end it (OK or Cancel) before returning to the loop for good.
  std::function<void(TDialog& dialog)> modalDialogShown;
  // Instead of the WinHelp viewer: whether it took the file (code page 932 name) and command.
  std::function<bool(HWND owner, std::string_view file, UINT command)> helpViewer;
};

// The arguments of a command line as Windows splits them, as code page 932 text.
std::vector<std::string> SplitCommandLine(std::wstring_view commandLine);

class TApplication : public TEventHandler {
 public:
  TApplication();
  ~TApplication() override;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  // Runs the application and returns its exit status.
  int Run();

  void SetMainWindow(std::unique_ptr<TFrameWindow> window);
  TFrameWindow* GetMainWindow() const { return mainWindow_.get(); }

  // Shows a message box (or asks answers.messageBox) and returns the button pressed (IDOK,
  // IDCANCEL, ...). Without a caption the box carries the program's name.
  int MessageBox(HWND owner, std::wstring_view text, std::wstring_view caption = {},
                 UINT style = MB_OK) const;

  TDialogAnswers answers;

  // The command line after the program's name, as code page 932 text.
  const std::string& GetCmdLine() const { return cmdLine_; }
  // The program's arguments, the program itself first, as code page 932 text.
  const std::vector<std::string>& GetArgs() const { return args_; }

  // Replaces the command line the program was started with (tests, embedding).
  void SetCommandLine(std::wstring_view commandLine);

 protected:
  virtual void InitInstance();
  virtual void InitMainWindow() {}
  virtual int TermInstance(int status) { return status; }

 private:
  int MessageLoop();
  // Gives a modeless dialog that the message is meant for its dialog keys.
  static bool IsModelessDialogMessage(MSG& message);

  int cmdShow_;
  std::string cmdLine_;
  std::vector<std::string> args_;
  std::unique_ptr<TFrameWindow> mainWindow_;
};

}  // namespace kelna
