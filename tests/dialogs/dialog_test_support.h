#pragma once
// The settings window in a test: an application that holds the settings and the scene the
// dialogs edit and answers FileSave, the real settings frame with its OptionDialog, and
// helpers that drive controls with the messages a user's actions send.

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/framework/application.h"
#include "app/framework/dialog.h"
#include "app/framework/frame_window.h"
#include "dialogs/option_dialog.h"
#include "engine/sprite_animation.h"
#include "platform/text.h"

namespace kelna::test {

inline std::string Sjis(const char* utf8) { return Utf8ToCp932(utf8); }

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  UINT style;
};

class SettingsApp : public TApplication, public SettingsHost {
 public:
  SettingsApp() {
    data = OptTransData{&interval, &bgImage, &bgMusic, &bgMode, &repeat, &waveSound, &scene};
    answers.messageBox = [this](HWND, std::wstring_view text, std::wstring_view caption, UINT style) {
      messages.push_back({std::wstring(text), std::wstring(caption), style});
      return IDOK;
    };
    answers.modalDialogShown = [this](TDialog& dialog) {
      ++dialogsShown;
      shownTemplates.push_back(dialog.GetTemplateId());
      if (scripts.empty()) {
        dialog.CmCancel();  // nothing planned: never leave a dialog open
        return;
      }
      auto script = std::move(scripts.front());
      scripts.pop_front();
      script(dialog);
    };
  }

  // Saving is the application's; the end-to-end tests check what reaches the disk.
  int FileSave() override { return 1; }
  ZoSpriteAnimation& Scene() override { return scene; }

  // Adds a sprite object with the given defaults and `frames` image pairs.
  ZoSpriteData& AddObject(const char* utf8Name, int behaviour, int frames = 1) {
    auto object = std::make_unique<ZoSpriteData>();
    object->name = Sjis(utf8Name);
    object->behaviour = behaviour;
    object->ExpandImageArray(frames);
    scene.objects.push_back(std::move(object));
    return *scene.objects.back();
  }
  // Adds a sprite in depth order.
  ZoAnimatedSprite& AddSprite(const char* utf8Name, int depth, const char* object = "cat") {
    auto sprite = std::make_unique<ZoAnimatedSprite>();
    sprite->SetName(Sjis(utf8Name));
    sprite->SetObjectName(Sjis(object));
    sprite->depth = static_cast<std::int16_t>(depth);
    return *scene.AddSprite(std::move(sprite));
  }
  std::vector<std::string> SpriteNames() const {
    std::vector<std::string> names;
    for (const auto& sprite : scene.sprites) names.push_back(Cp932ToUtf8(sprite->Name()));
    return names;
  }

  ZoSpriteAnimation scene;
  int interval = 100;
  std::string bgImage;
  std::string bgMusic;
  int bgMode = 0;
  int repeat = 0;
  int waveSound = 1;
  OptTransData data;

  std::vector<ShownMessage> messages;
  // Run in turn for each modal dialog shown; each must end its dialog.
  std::deque<std::function<void(TDialog&)>> scripts;
  int dialogsShown = 0;
  std::vector<int> shownTemplates;
};

// Handles every message waiting for this thread.
inline void PumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

inline HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

inline std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline void SetTextOf(HWND window, const std::wstring& text) {
  ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline void Click(HWND dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }

inline bool Checked(HWND dialog, int id) {
  return ::SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(Item(dialog, id)) != FALSE; }

// Selects a combo box entry as the user would: the selection, then the notification.
inline void ChooseEntry(HWND dialog, int id, int index) {
  HWND combo = Item(dialog, id);
  ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

inline int Selection(HWND dialog, int id) {
  return static_cast<int>(::SendMessageW(Item(dialog, id), CB_GETCURSEL, 0, 0));
}

inline std::vector<std::wstring> Entries(HWND dialog, int id) {
  HWND combo = Item(dialog, id);
  std::vector<std::wstring> entries;
  const auto count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(static_cast<std::size_t>(::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    entries.push_back(text);
  }
  return entries;
}

// --- The sheet (a report-view list) ---------------------------------------------------------

inline std::wstring CellText(HWND list, int item, int column) {
  wchar_t buffer[256] = {};
  LVITEMW cell{};
  cell.iSubItem = column;
  cell.pszText = buffer;
  cell.cchTextMax = 256;
  ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
  return buffer;
}

inline int ColumnCount(HWND list) {
  auto header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  return static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

// Every row: the row number (list column 0), then the data columns.
inline std::vector<std::vector<std::wstring>> SheetRows(HWND list) {
  std::vector<std::vector<std::wstring>> rows;
  const auto count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  const int columns = ColumnCount(list);
  for (int item = 0; item < count; ++item) {
    std::vector<std::wstring> row;
    for (int column = 0; column < columns; ++column) row.push_back(CellText(list, item, column));
    rows.push_back(row);
  }
  return rows;
}

// The data column of each row (1: the sprite's name).
inline std::vector<std::wstring> SheetColumn(HWND list, int column) {
  std::vector<std::wstring> cells;
  for (const auto& row : SheetRows(list)) cells.push_back(row.at(static_cast<std::size_t>(column)));
  return cells;
}

inline std::wstring Heading(HWND list, int column) {
  wchar_t buffer[64] = {};
  LVCOLUMNW info{};
  info.mask = LVCF_TEXT;
  info.pszText = buffer;
  info.cchTextMax = 64;
  ::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
  return buffer;
}

// Selects a row (from 1) as a click would.
inline void SelectSheetRow(HWND list, int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&state));
}

inline int SelectedSheetRow(HWND list) {
  return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) + 1;
}

// --- The sprite edit dialog -------------------------------------------------------------

// What the sprite edit dialog's controls show.
struct EditFields {
  std::wstring name;
  std::vector<std::wstring> objects;
  int object = -1;
  std::vector<std::wstring> behaviours;
  int behaviour = -1;
  std::wstring depth;
  bool autoRepeat = false, randomStart = false, randomEnabled = false;
  std::wstring startX, startY, speedX, speedY, startFrame, skipCount;
  bool soundOn = false;
};

inline EditFields ReadEditDialog(HWND d) {
  EditFields f;
  f.name = TextOf(Item(d, 114));
  f.objects = Entries(d, 113);
  f.object = Selection(d, 113);
  f.behaviours = Entries(d, 101);
  f.behaviour = Selection(d, 101);
  f.depth = TextOf(Item(d, 125));
  f.autoRepeat = Checked(d, 124);
  f.randomStart = Checked(d, 105);
  f.randomEnabled = Enabled(d, 105);
  f.startX = TextOf(Item(d, 106));
  f.startY = TextOf(Item(d, 107));
  f.speedX = TextOf(Item(d, 109));
  f.speedY = TextOf(Item(d, 110));
  f.startFrame = TextOf(Item(d, 118));
  f.skipCount = TextOf(Item(d, 116));
  f.soundOn = Checked(d, 108);
  return f;
}

// Sets edit fields by id.
inline void Type(HWND d, std::initializer_list<std::pair<int, const wchar_t*>> fields) {
  for (const auto& [id, text] : fields) SetTextOf(Item(d, id), text);
}

// The settings window: a frame whose client is the settings dialog, as the application
// makes it.
class SettingsWindow {
 public:
  explicit SettingsWindow(SettingsApp& app) {
    auto client = std::make_unique<OptionDialog>(nullptr, app.data);
    dialog = client.get();
    frame = std::make_unique<TFrameWindow>(nullptr, L"settings", std::move(client), true);
    frame->SetApplication(&app);
    frame->Create();
    ::ShowWindow(frame->GetHandle(), SW_SHOWNOACTIVATE);
  }

  HWND Dialog() const { return dialog->GetHandle(); }
  HWND Sheet() const { return Item(Dialog(), 107); }
  std::wstring Text(int id) const { return TextOf(Item(Dialog(), id)); }
  // A menu command, as the frame's menu sends it.
  void Menu(int id) const { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  std::unique_ptr<TFrameWindow> frame;
  OptionDialog* dialog = nullptr;
};

}  // namespace kelna::test
