#include "app/framework/application.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/framework/dialog.h"
#include "app/framework/wide.h"

namespace kelna {

namespace {

// What follows the program's name, as WinMain's lpCmdLine has it: the name is quoted or
// ends at the first blank, and the blanks after it are skipped.
std::wstring_view ArgumentsAfterProgram(std::wstring_view line) {
  size_t end = 0;
  if (!line.empty() && line.front() == L'"') {
    end = line.find(L'"', 1);
    end = end == std::wstring_view::npos ? line.size() : end + 1;
  } else {
    end = line.find_first_of(L" \t");
    if (end == std::wstring_view::npos) end = line.size();
  }
  line.remove_prefix(end);
  while (!line.empty() && (line.front() == L' ' || line.front() == L'\t')) line.remove_prefix(1);
  return line;
}

int StartupShowCommand() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::wstring_view commandLine) {
  std::vector<std::string> args;
  const std::wstring line(commandLine);
  int count = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &count)) {
    for (int i = 0; i < count; ++i) args.push_back(Narrow(argv[i]));
    ::LocalFree(argv);
  }
  return args;
}

TApplication::TApplication() : cmdShow_(StartupShowCommand()) {
  SetCommandLine(::GetCommandLineW());
  // The dialog templates use the track bar, the up-down and the list view.
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                     ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES |
                                         ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&classes);
}

TApplication::~TApplication() = default;

const TResponseTable& TApplication::Table() {
  static const TResponseTable table{{}, &TEventHandler::Table()};
  return table;
}

void TApplication::SetCommandLine(std::wstring_view commandLine) {
  cmdLine_ = Narrow(ArgumentsAfterProgram(commandLine));
  args_ = SplitCommandLine(commandLine);
}

void TApplication::SetMainWindow(std::unique_ptr<TFrameWindow> window) {
  mainWindow_ = std::move(window);
  if (mainWindow_) mainWindow_->SetApplication(this);
}

void TApplication::InitInstance() {
  InitMainWindow();
  if (!mainWindow_) return;
  mainWindow_->Create();
  ::ShowWindow(mainWindow_->GetHandle(), cmdShow_);
  ::UpdateWindow(mainWindow_->GetHandle());
}

int TApplication::Run() {
  InitInstance();
  const int status = mainWindow_ ? MessageLoop() : 0;
  return TermInstance(status);
}

int TApplication::MessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    if (IsModelessDialogMessage(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

bool TApplication::IsModelessDialogMessage(MSG& message) {
  for (HWND window = message.hwnd; window; window = ::GetParent(window)) {
    // Only a window of the system's dialog class can be a dialog of ours. The class is
    // known in-process; the object's property is a round trip to the server under Wine,
    // which every message (the saver's timer among them) would otherwise pay.
    if (::GetClassLongPtrW(window, GCW_ATOM) != reinterpret_cast<ULONG_PTR>(WC_DIALOG)) continue;
    const auto* dialog = dynamic_cast<const TDialog*>(TWindow::FromHandle(window));
    if (dialog && !dialog->IsModal()) return ::IsDialogMessageW(window, &message) != FALSE;
  }
  return false;
}

int TApplication::MessageBox(HWND owner, std::wstring_view text, std::wstring_view caption, UINT style) const {
  const std::wstring title = caption.empty() ? std::wstring(L"ケルナ") : std::wstring(caption);
  if (answers.messageBox) return answers.messageBox(owner, text, title, style);
  const std::wstring body(text);
  return ::MessageBoxW(owner, body.c_str(), title.c_str(), style);
}

}  // namespace kelna
