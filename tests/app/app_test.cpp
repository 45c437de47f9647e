// The application object: mode choice, caption, the preview's icon, the settings read from
// CONTROL.INI, and the settings window's File commands run in-process on the real windows,
// with message boxes and file dialogs answered through the application's answers.

#include "app/app.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <tuple>

#include "app/app_texts.h"
#include "app/framework/dialog.h"
#include "app/framework/wide.h"
#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "resources/resource_ids.h"
#include "saver/preview_window.h"
#include "tests/support/bytes.h"
#include "tests/support/scene_file_builder.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;
using namespace test;

std::string Sjis(const char8_t* utf8) { return Utf8ToCp932(reinterpret_cast<const char*>(utf8)); }

// The command lines that the end-to-end runs do not try.
TEST(AppMode, OnlyTheFirstTwoCharactersCount) {
  using Mode = TApp::Mode;
  const std::pair<const char*, Mode> cases[] = {
      {"-S", Mode::Saver},   {"/save", Mode::Saver}, {"/c:1234", Mode::Settings}, {"/C", Mode::Settings},
      {"-P", Mode::Preview}, {"/", Mode::None},      {" /s", Mode::None},
  };
  for (const auto& [commandLine, mode] : cases) EXPECT_EQ(TApp::ModeOf(commandLine), mode) << commandLine;
}

TEST(AppCaption, NamesTheFileWholeAndFitsItsBufferWithoutCuttingACharacter) {
  // A folder whose name ends in a byte that looks like a backslash (ソ is 83 5C).
  EXPECT_EQ(TApp::MakeCaption("C:\\" + Sjis(u8"ソフト") + "\\" + Sjis(u8"魚ソ.anm")),
            Sjis(u8"ケルナの設定 - 魚ソ.anm -"));
  EXPECT_EQ(TApp::MakeCaption("C:\\" + std::string(250, 'a')).size(), 259u);
  // After the 15 bytes of title and " - ", 122 characters of 2 bytes end at byte 259.
  std::string kana;
  for (int i = 0; i < 130; ++i) kana += Sjis(u8"ア");
  EXPECT_EQ(TApp::MakeCaption(kana), Sjis(u8"ケルナの設定 - ") + kana.substr(0, 2 * 122));
}

TEST(PreviewWindow, DrawsTheIconInTheMiddleRoundedTowardsZero) {
  EXPECT_EQ(TSmallWindow::IconPosition(31, 31).x, 0);  // (31 - 32) / 2
  EXPECT_EQ(TSmallWindow::IconPosition(30, 29).y, -1);
  HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 152, 112,
                                nullptr, nullptr, nullptr, nullptr);
  {
    TWindow foreign(host);
    TSmallWindow preview(&foreign);
    preview.Create();  // 153 x 113: the icon at (60, 40)
    ::UpdateWindow(preview.GetHandle());
    HDC dc = ::GetDC(preview.GetHandle());
    EXPECT_EQ(::GetPixel(dc, 59, 56), ::GetSysColor(COLOR_WINDOW));
    EXPECT_NE(::GetPixel(dc, 60 + 16, 40 + 16), ::GetSysColor(COLOR_WINDOW));
    ::ReleaseDC(preview.GetHandle(), dc);
  }
  ::DestroyWindow(host);
}

// An animation file whose 115-byte sprite records are spelled out here (name, object, depth,
// x, y; the other fields as a new sprite has them).
struct SpriteLine {
  std::string name, object;
  int depth, x, y;
};

std::string Field(std::string text, std::size_t size) {
  text.resize(size, '\0');
  return text;
}

std::string AnimationBytes(const std::string& objectFile, const std::vector<SpriteLine>& sprites) {
  std::string out = AnimationFileBytes(objectFile, std::int16_t(sprites.size()));
  for (const SpriteLine& s : sprites) {
    out += Field("AS", 3) + Le(0, 2) + Field(s.name, 32) + Field(s.object, 32) + Le(std::uint64_t(s.depth), 2);
    // Flow, auto repeat, no random start, reserved, 8 x 8, start frame 0, one frame, no skip.
    out += Le(0, 4) + Le(1, 4) + Le(0, 8) + Le(8, 2) + Le(8, 2) + Le(0, 2) + Le(1, 2) + Le(0, 2);
    out += Le(std::uint64_t(s.x), 4) + Le(std::uint64_t(s.y), 4) + Le(0, 8) + Le(1, 2);  // no speed, sound on
  }
  return out;
}

std::string ObjectBytes(const std::vector<std::string>& names) {
  std::ostringstream os(std::ios::binary);
  for (const std::string& name : names) {
    ZoSpriteData object;
    object.name = name;
    EXPECT_EQ(object.Write(os), 1);
  }
  return ObjectFileBytes(std::int16_t(names.size()), os.str());
}

// The texts of a dialog's controls in template order; an icon as "icon".
std::vector<std::wstring> ChildTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ::GetDlgCtrlID(child) != IDOK) {
      texts.push_back(L"icon");
      continue;
    }
    wchar_t text[256] = {};
    ::GetWindowTextW(child, text, 256);
    texts.push_back(text);
  }
  return texts;
}

std::wstring Box(std::wstring_view text, std::wstring_view caption, UINT style) {
  return std::wstring(text) + L"|" + std::wstring(caption) + L"|" + std::to_wstring(style);
}
using Boxes = std::vector<std::wstring>;

// The settings folder holds CONTROL.INI naming sea.anm (sprites a and b of "fish") beside
// sea.foe (fish, crab). Message boxes are answered with `button`; a command's file dialog
// with the file given to Command (none: cancelled).
class FileCommands : public ::testing::Test {
 protected:
  struct StartingApp : TApp {
    using TApp::InitInstance;
  };

  void SetUp() override {
    app.answers.messageBox = [this](HWND owner, std::wstring_view text, std::wstring_view caption, UINT style) {
      EXPECT_EQ(owner, app.GetMainWindow()->GetHandle()) << "message boxes belong to the main window";
      boxes.push_back(Box(text, caption, style));
      events.push_back(L"asks " + std::wstring(caption));
      return button;
    };
    app.answers.fileDialog = [this](TOpenSaveDialog& dialog) {
      const std::string& filter = dialog.GetData().Filter;
      events.push_back(L"file dialog " + Wide(filter.substr(0, filter.find('|'))));
      initialDirs.push_back(dialog.GetData().InitialDir);
      filters.push_back(dialog.GetData().Filter);
      if (file) dialog.GetData().FileName = PathToCp932(*file);
      return file ? IDOK : IDCANCEL;
    };
    app.answers.modalDialogShown = [this](TDialog& dialog) {
      events.push_back(L"dialog " + std::to_wstring(dialog.GetTemplateId()));
      if (dialog.GetTemplateId() == KELNA_ABOUT_DIALOG_ID) {
        about = ChildTexts(dialog.GetHandle());
        about.insert(about.begin(), dialog.GetCaption());
      }
      dialog.CloseWindow(IDCANCEL);
    };
    test::WriteBytes(folder / "sea.foe", ObjectBytes({"fish", "crab"}));
    test::WriteBytes(folder / "sea.anm", sea);
    test::WriteBytes(folder / "CONTROL.INI", ini);
    app.SetCommandLine(L"kelna.scr /c");
    app.InitInstance();
    ASSERT_EQ(app.scene->sprites.size(), 2u);
    ASSERT_EQ(app.scene->sprites[1]->spriteData, app.scene->objects[0].get()) << "the objects are read too";
  }
  void TearDown() override {
    if (app.GetMainWindow()) app.GetMainWindow()->Destroy();
    MSG message{};  // nothing is left for a later window under the same handle
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }

  void Command(UINT id, std::optional<fs::path> answer = std::nullopt) {
    file = std::move(answer);
    app.GetMainWindow()->SendMessage(WM_COMMAND, id);
  }
  std::wstring Caption() { return app.GetMainWindow()->GetCaption(); }
  // Whether PM_REDRAW waits for the settings dialog (it is taken off the queue).
  bool Redrawn() {
    MSG message{};
    HWND client = app.GetMainWindow()->GetClientWindow()->GetHandle();
    bool any = false;
    while (::PeekMessageW(&message, client, PM_REDRAW, PM_REDRAW, PM_REMOVE)) any = true;
    return any;
  }
  std::string Cp932(const fs::path& name) const { return PathToCp932(folder / name); }

  test::TemporaryFolder folder;
  test::ScopedVariable configDir{test::Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  const std::string sea = AnimationBytes(Cp932("sea.foe"), {{"a", "fish", 3, 10, 20}, {"b", "fish", 1, -5, 7}});
  const std::string ini = "[Screen Saver.Vesk]\r\nIntervalTime=80\r\nBGImageFile=C:\\PIC\\SKY.BMP\r\n"
                          "BGMusicFile=\r\nBGImageMode=1\r\nBGMusicRepeat=0\r\nWaveSound=1\r\nAnimationFile=" +
                          Cp932("sea.anm") + "\r\n";
  StartingApp app;
  Boxes boxes;  // text|caption|style
  std::vector<std::wstring> events;  // questions, file dialogs and dialogs of ours, in order
  std::vector<std::wstring> about;   // the About box's controls
  int button = IDOK;
  std::optional<fs::path> file;
  std::vector<std::string> initialDirs, filters;  // the file dialogs'
};

const std::wstring kOpenFailed = Box(L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが読込めませんでした．", L"ケルナ", MB_OK);

// A cancelled command, or a file that does not read or cannot be written, changes nothing.
TEST_F(FileCommands, CancelsAndFailuresSayWhyAndChangeNothing) {
  test::WriteBytes(folder / "short.anm", sea.substr(0, sea.size() - 1));
  const std::string ocean = ObjectBytes({"whale", "fish"});
  test::WriteBytes(folder / "bad.foe", ocean.substr(0, ocean.size() - 3));
  test::WriteBytes(folder / "noise", std::string("\x89PNG\r\n\x1a\n not an animation nor objects"));
  button = IDCANCEL;
  const struct {
    UINT command;
    const char* file;  // the file dialog's answer; none: cancelled
    std::wstring box;  // none: empty
  } cases[] = {
      {CM_FILENEW, nullptr,
       Box(L"現在のアニメーションファイルをクリアして、\n新しくファイルを作成しますか？",
           L"アニメーションファイルの新規作成", MB_OKCANCEL | MB_ICONQUESTION)},
      {CM_FILEOPEN, "short.anm", kOpenFailed},  // which files read: tests/engine
      {CM_FILEOPEN, "noise", kOpenFailed},
      {CM_FILESAVEAS, nullptr, L""},
      {CM_FILESAVEAS, "no such folder/copy.anm", Box(L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．", L"ケルナ", MB_OK)},
      {CM_OBJECTFILEOPEN, nullptr, L""},
      {CM_OBJECTFILEOPEN, "bad.foe", Box(L"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙが読込めませんでした．", L"ケルナ", MB_OK)},
      {CM_OBJECTFILEOPEN, "noise", Box(L"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙが読込めませんでした．", L"ケルナ", MB_OK)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.command) + " " + (c.file ? c.file : "cancelled"));
    boxes.clear();
    Command(c.command, c.file ? std::optional(folder / c.file) : std::nullopt);
    EXPECT_EQ(boxes, c.box.empty() ? Boxes{} : Boxes{c.box});
    EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -");
    EXPECT_EQ(app.animFileData->FileName, Cp932("sea.anm"));
    EXPECT_EQ(app.scene->objectFileName, Cp932("sea.foe"));
    ASSERT_EQ(app.scene->sprites.size(), 2u);
    EXPECT_EQ(app.scene->sprites[1]->spriteData, app.scene->objects[0].get());
    EXPECT_FALSE(Redrawn());
  }
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), ini);
  EXPECT_EQ(Contents(folder / "sea.anm"), sea);
}

// New on OK starts an empty untitled animation. An animation whose objects do not read is
// taken, so that a later Save writes its sprites back where they came from.
TEST_F(FileCommands, NewAndOpenReplaceTheAnimationEvenWhenItsObjectsDoNotRead) {
  Command(CM_FILENEW);
  EXPECT_EQ(Caption(), L"ケルナの設定 - untitled.anm -");
  EXPECT_TRUE(app.scene->sprites.empty() && app.scene->objects.empty());
  const std::string none = texts::kNoFileMarker;
  EXPECT_EQ((std::vector<std::string>{*app.scene->animationFileName, *app.scene->objectFileName,
                                      app.animFileData->FileName, app.objFileData->FileName, app.bgImageFile,
                                      app.bgMusicFile}),
            (std::vector<std::string>{"untitled.anm", none, "untitled.anm", none, none, none}));
  EXPECT_EQ(app.intervalTime, 80);  // the other settings stay
  EXPECT_TRUE(Redrawn());
  EXPECT_EQ(Contents(folder / "sea.anm"), sea) << "nothing is written";
  // Object files that are missing, and that are something else.
  test::WriteBytes(folder / "noise.foe", std::string("RIFF\0\0\0\0WAVE, not objects"));
  for (const char* objects : {"gone.foe", "noise.foe"}) {
    boxes.clear();
    test::WriteBytes(folder / "lake.anm", AnimationBytes(Cp932(objects), {{"pike", "fish", 2, 0, 0}}));
    Command(CM_FILEOPEN, folder / "lake.anm");
    EXPECT_EQ(boxes, Boxes{kOpenFailed});
    ASSERT_EQ(app.scene->sprites.size(), 1u);
    EXPECT_EQ(app.scene->sprites[0]->spriteData, nullptr);
    EXPECT_EQ(Caption(), L"ケルナの設定 - lake.anm -");
    EXPECT_EQ(app.animFileData->FileName, Cp932("lake.anm"));
    EXPECT_TRUE(Redrawn());
  }
  Command(CM_FILEOPEN, folder / "sea.anm");
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(app.scene->sprites[0]->spriteData, app.scene->objects[0].get());
  EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -");
}

TEST_F(FileCommands, SaveWritesTheAnimationThenTheSettingsAndSaysWhenTheSettingsFail) {
  app.scene->sprites[1]->x = -6;
  Command(CM_FILESAVE);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Contents(folder / "sea.anm"),
            AnimationBytes(Cp932("sea.foe"), {{"a", "fish", 3, 10, 20}, {"b", "fish", 1, -6, 7}}));
  EXPECT_FALSE(Redrawn());
  // The settings folder becomes unusable: a regular file stands where it should be.
  test::ScopedVariable badDir(test::Text("KELNA_CONFIG_DIR"), (folder / "sea.anm" / "sub").native());
  EXPECT_EQ(app.FileSave(), 0);
  EXPECT_EQ(boxes, Boxes{Box(L"設定ファイル CONTROL.INI が保存できませんでした．", L"エラー",
                             MB_ICONINFORMATION | MB_OK)});
}

TEST_F(FileCommands, SaveAsWritesAndNamesTheNewFileAndAnObjectFileReplacesTheObjects) {
  Command(CM_FILESAVEAS, folder / "copy.anm");
  EXPECT_EQ(Contents(folder / "copy.anm"), sea);
  EXPECT_NE(Contents(folder / "CONTROL.INI").find("AnimationFile=" + Cp932("copy.anm") + "\r\n"),
            std::string::npos);
  EXPECT_EQ(Caption(), L"ケルナの設定 - copy.anm -");
  EXPECT_EQ(app.scene->animationFileName, Cp932("copy.anm"));
  EXPECT_TRUE(Redrawn());
  test::WriteBytes(folder / "ocean.foe", ObjectBytes({"whale", "fish"}));
  Command(CM_OBJECTFILEOPEN, folder / "ocean.foe");
  ASSERT_EQ(app.scene->objects.size(), 2u);
  EXPECT_EQ(app.scene->sprites[0]->spriteData, app.scene->objects[1].get()) << "tied to the new fish";
  EXPECT_EQ(app.scene->objectFileName, Cp932("ocean.foe"));
  EXPECT_TRUE(Redrawn());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(filters, (std::vector<std::string>{Sjis(u8"ｱﾆﾒｰｼｮﾝﾌｧｲﾙ (*.anm)|*.anm|すべてのﾌｧｲﾙ(*.*)|*.*|"),
                                               Sjis(u8"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙ (*.foe)|*.foe|すべてのﾌｧｲﾙ(*.*)|*.*|")}));
}

TEST_F(FileCommands, BackgroundFilesAreChosenOrClearedAndReachTheSettingsOnSave) {
  Command(CM_BGIMAGEFILEOPEN, fs::path("D:\\ART\\NIGHT.BMP"));
  EXPECT_EQ(app.bgImageFile, "D:\\ART\\NIGHT.BMP");
  EXPECT_TRUE(Redrawn());
  Command(CM_BGIMAGEFILEOPEN);  // cancelled
  EXPECT_EQ(app.bgImageFile, "D:\\ART\\NIGHT.BMP");
  EXPECT_FALSE(Redrawn());
  Command(CM_BGMUSICFILEOPEN, fs::path("E:\\SOUND\\SONG.MID"));
  EXPECT_EQ(app.bgMusicFile, "E:\\SOUND\\SONG.MID");
  // Each opens where its last file was chosen; the first time, with no name, nowhere given.
  EXPECT_EQ(initialDirs, (std::vector<std::string>{"", "D:\\ART\\", ""}));
  const std::string image = Sjis(u8"背景ｲﾒｰｼﾞﾌｧｲﾙ (*.bmp)|*.bmp|すべてのﾌｧｲﾙ(*.*)|*.*|");
  EXPECT_EQ(filters, (std::vector<std::string>{image, image, Sjis(u8"BGMﾌｧｲﾙ (*.mid)|*.mid|すべてのﾌｧｲﾙ(*.*)|*.*|")}));
  Command(CM_NOBGIMAGE);
  EXPECT_TRUE(Redrawn());
  Command(CM_NOBGMUSIC);
  EXPECT_TRUE(Redrawn());
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), ini) << "only a save writes the settings";
  Command(CM_FILESAVE);
  EXPECT_NE(Contents(folder / "CONTROL.INI").find("\r\nBGImageFile=\r\nBGMusicFile=\r\n"), std::string::npos);
}

// A menu item: its nesting (0 on the bar), id (0: a popup or separator), text ("-": a
// separator), whether the resource grays it, and what choosing it does.
struct MenuItem {
  int level;
  UINT id;
  std::wstring text;
  bool grayed;
  std::wstring effect;
  bool operator==(const MenuItem&) const = default;
};
void PrintTo(const MenuItem& item, std::ostream* out) {
  *out << item.level << " " << item.id << " " << ::testing::PrintToString(item.text) << (item.grayed ? " grayed " : " ")
       << ::testing::PrintToString(item.effect);
}

void ReadMenu(HMENU menu, int level, std::vector<MenuItem>& items) {
  for (int at = 0; at < ::GetMenuItemCount(menu); ++at) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, static_cast<UINT>(at), TRUE, &info));
    const bool separator = (info.fType & MFT_SEPARATOR) != 0;
    items.push_back({level, info.hSubMenu || separator ? 0 : info.wID, separator ? L"-" : text,
                     !separator && (info.fState & MFS_GRAYED) != 0, L""});
    if (info.hSubMenu) ReadMenu(info.hSubMenu, level + 1, items);
  }
}

// Every item of the settings window's menu, in order, and where its command goes: the
// sprite and help items to the settings dialog, Exit to the frame, the others to the
// application. Questions and file dialogs are cancelled.
TEST_F(FileCommands, TheMenuHoldsEveryItemAndEachCommandReachesItsHandler) {
  const std::wstring file = L"file dialog ";
  const std::vector<MenuItem> expected = {
      {0, 0, L"ファイル(&F)", false, L""},
      {1, 24331, L"新規作成(&N)", false, L"asks アニメーションファイルの新規作成"},
      {1, 24332, L"開く(&O)...", false, file + L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙ (*.anm)"},
      {1, 0, L"-", false, L""},
      {1, 24333, L"上書き保存(&S)", true, L"saves"},
      {1, 24334, L"名前を付けて保存(&A)...", true, file + L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙ (*.anm)"},
      {1, 0, L"-", false, L""},
      {1, 2010, L"オブジェクトの読込み(&O)", false, file + L"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙ (*.foe)"},
      {1, 0, L"背景イメージ(&I)", false, L""},
      {2, 2011, L"読込み(&I)", false, file + L"背景ｲﾒｰｼﾞﾌｧｲﾙ (*.bmp)"},
      {2, 2018, L"なし(&N)", false, L"image cleared"},
      {1, 0, L"ＢＧＭ(&B)", false, L""},
      {2, 2012, L"読込み(&B)", false, file + L"BGMﾌｧｲﾙ (*.mid)"},
      {2, 2019, L"なし(&N)", false, L"music cleared"},
      {1, 0, L"-", false, L""},
      {1, 24310, L"終了(&X)\tAlt+F4", false, L"closes the window"},
      {0, 0, L"スプライト(&S)", false, L""},
      {1, 106, L"新規スプライト(&N)", false, L"dialog 3"},
      {1, 105, L"スプライト編集(&E)", false, L"dialog 3"},
      {1, 112, L"スプライト削除(&D)", false, L"deletes a sprite"},
      {0, 0, L"ヘルプ(&H)", false, L""},
      {1, 2020, L"目次(&C)...", false, L"dialog 4"},  // the program's own help: no help file here
      {1, 0, L"-", false, L""},
      {1, 2009, L"ケルナについて(&A)...", false, L"dialog 22000"},
  };
  std::vector<MenuItem> items;
  ReadMenu(::GetMenu(app.GetMainWindow()->GetHandle()), 0, items);
  ASSERT_EQ(items.size(), expected.size());
  button = IDCANCEL;
  HWND sheet = ::GetDlgItem(app.GetMainWindow()->GetClientWindow()->GetHandle(), 107);
  auto effect = [&](UINT id) {
    events.clear();
    fs::remove(folder / "CONTROL.INI");
    app.bgImageFile = app.bgMusicFile = "x";
    const std::size_t sprites = app.scene->sprites.size();
    ListView_SetItemState(sheet, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Command(id);
    MSG message{};  // Exit closes the window through a posted WM_CLOSE
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    std::vector<std::wstring> seen = events;
    if (fs::exists(folder / "CONTROL.INI")) seen.push_back(L"saves");
    if (app.bgImageFile.empty()) seen.push_back(L"image cleared");
    if (app.bgMusicFile.empty()) seen.push_back(L"music cleared");
    if (app.scene->sprites.size() < sprites) seen.push_back(L"deletes a sprite");
    if (!app.GetMainWindow()->GetHandle()) seen.push_back(L"closes the window");
    EXPECT_EQ(seen.size(), 1u) << id;
    return seen.empty() ? std::wstring() : seen.front();
  };
  for (MenuItem& item : items) {
    if (item.id != 0 && item.id != CM_EXIT) item.effect = effect(item.id);
  }
  for (MenuItem& item : items) {
    if (item.id == CM_EXIT) item.effect = effect(item.id);  // last: the window goes
  }
  for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i], expected[i]) << "item " << i;
}

// The commands that ask the settings dialog first do nothing when it refuses; without a
// dialog to ask they go on.
TEST_F(FileCommands, CommandsThatChooseAFileAskTheClientFirst) {
  struct Refusing : TWindow {
    Refusing() : TWindow(nullptr, L"") {}
    bool CanClose() override { return false; }
  };
  const UINT asking[] = {CM_FILEOPEN, CM_FILESAVEAS, CM_OBJECTFILEOPEN, CM_BGIMAGEFILEOPEN, CM_BGMUSICFILEOPEN};
  for (const bool hasClient : {true, false}) {
    auto frame = std::make_unique<TFrameWindow>(nullptr, L"", hasClient ? std::make_unique<Refusing>() : nullptr);
    frame->Attr.Style = WS_OVERLAPPEDWINDOW;
    app.SetMainWindow(std::move(frame));
    app.GetMainWindow()->Create();
    for (UINT id : asking) {
      events.clear();
      Command(id);
      EXPECT_EQ(events.size(), hasClient ? 0u : 1u) << id << (hasClient ? " refused" : " without a client");
    }
  }
}

TEST_F(FileCommands, TheAboutBoxShowsTheProgramsNameReleaseVersionAndNotice) {
  Command(CM_HELPABOUT);
  EXPECT_EQ(events, (std::vector<std::wstring>{L"dialog 22000"}));
  ASSERT_EQ(about.size(), 7u);
  const std::wstring firstLine = L"スプライトたちが画面で遊ぶスクリーンセーバー\n";
  EXPECT_EQ(about[3].substr(0, firstLine.size()), firstLine);
  EXPECT_GT(about[3].size(), firstLine.size()) << "the copyright line";
  about[3] = L"notice";
  EXPECT_EQ(about, (std::vector<std::wstring>{L"ケルナについて", L"ケルナ  Version 1.0", L"ケルナ R1.03h", L"notice", L"icon", L"OK",
                                              L"「スプライトアニメーション」"}));
}

// Each key missing from the section, then present with a value read as written.
TEST(AppSettings, EachKeyHasItsDefaultAndAMissingFileIsNotMade) {
  test::TemporaryFolder folder;
  test::ScopedVariable configDir{test::Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  auto read = [](const char* key) {
    TApp app;
    app.ReadControlIni();
    const std::map<std::string, std::string> fields = {
        {"IntervalTime", std::to_string(app.intervalTime)},   {"BGImageFile", app.bgImageFile},
        {"BGMusicFile", app.bgMusicFile},                     {"BGImageMode", std::to_string(app.bgImageMode)},
        {"BGMusicRepeat", std::to_string(app.bgMusicRepeat)}, {"WaveSound", std::to_string(app.waveSound)},
        {"AnimationFile", app.animFileData->FileName},
    };
    return fields.at(key);
  };
  const std::string none = texts::kNoFileMarker;
  const struct {
    const char* key;
    std::string missing;
    const char* value;
    std::string read;
  } keys[] = {
      {"IntervalTime", "50", "120ms", "120"},   {"BGImageFile", none, "", none},
      {"BGMusicFile", none, "D:\\M.MID", "D:\\M.MID"}, {"BGImageMode", "0", "7", "7"},
      {"BGMusicRepeat", "1", "0", "0"},         {"WaveSound", "1", "0", "0"},
      {"AnimationFile", "untitled.anm", "", ""},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    fs::remove(folder / "CONTROL.INI");
    EXPECT_EQ(read(k.key), k.missing);
    EXPECT_FALSE(fs::exists(folder / "CONTROL.INI"));
    test::WriteBytes(folder / "CONTROL.INI", std::string("[Screen Saver.Vesk]\r\nOther=1\r\n"));
    EXPECT_EQ(read(k.key), k.missing);
    test::WriteBytes(folder / "CONTROL.INI", std::string("[Screen Saver.Vesk]\r\n") + k.key + "=" + k.value + "\r\n");
    EXPECT_EQ(read(k.key), k.read);
  }
}

}  // namespace
}  // namespace kelna
