// The settings dialog in its frame, its sprite sheet and the sprite edit dialog, driven with
// the messages that clicks, list selections, slider moves and menu commands send. Message
// boxes and modal dialogs are answered in-process through the application's answers.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "app/framework/application.h"
#include "app/framework/frame_window.h"
#include "app/framework/wide.h"
#include "dialogs/help_dialog.h"
#include "dialogs/option_dialog.h"
#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "resources/resource_ids.h"
#include "tests/support/temporary_folder.h"

#include <windowsx.h>  // last: its macros would rename methods in the headers above

namespace kelna {
namespace {

using Row = std::vector<std::wstring>;

std::string Sjis(const char* utf8) { return Utf8ToCp932(utf8); }
HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

// The settings and the scene that the settings window edits, and that window once opened.
// Each modal dialog shown runs the next script, which must end it.
class Settings : public TApplication, public SettingsHost {
 public:
  Settings() {
    answers.messageBox = [this](HWND, std::wstring_view text, std::wstring_view caption, UINT style) {
      messages.emplace_back(text);
      EXPECT_EQ(caption, L"エラー");
      EXPECT_EQ(style, static_cast<UINT>(MB_ICONINFORMATION | MB_OK));
      return IDOK;
    };
    answers.modalDialogShown = [this](TDialog& dialog) {
      shownTemplates.push_back(dialog.GetTemplateId());
      if (scripts.empty()) return dialog.CmCancel();
      auto script = std::move(scripts.front());
      scripts.pop_front();
      script(dialog.GetHandle());
    };
  }
  int FileSave() override { return 1; }  // the application's; tested with it
  ZoSpriteAnimation& Scene() override { return scene; }

  ZoSpriteData& AddObject(const char* utf8Name, int behaviour, int frames = 1) {
    scene.objects.push_back(std::make_unique<ZoSpriteData>());
    scene.objects.back()->name = Sjis(utf8Name);
    scene.objects.back()->behaviour = behaviour;
    scene.objects.back()->ExpandImageArray(frames);
    return *scene.objects.back();
  }
  ZoAnimatedSprite& AddSprite(const char* utf8Name, int depth, const char* object = "cat") {
    auto sprite = std::make_unique<ZoAnimatedSprite>();
    sprite->SetName(Sjis(utf8Name));
    sprite->SetObjectName(Sjis(object));
    sprite->depth = static_cast<std::int16_t>(depth);
    return *scene.AddSprite(std::move(sprite));
  }

  // The settings window as the application makes it: a frame whose client is the dialog.
  HWND Open() {
    auto client = std::make_unique<OptionDialog>(nullptr, data);
    dialog = client.get();
    frame = std::make_unique<TFrameWindow>(nullptr, L"settings", std::move(client), true);
    frame->SetApplication(this);
    frame->Create();
    ::ShowWindow(frame->GetHandle(), SW_SHOWNOACTIVATE);
    return dialog->GetHandle();
  }
  HWND Sheet() const { return Item(dialog->GetHandle(), 107); }
  void Menu(int id) const { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  void Refresh() const { EXPECT_EQ(dialog->SendMessage(PM_REDRAW), 1); }
  // Selects a row (from 1) as a click does.
  void Select(int row) const {
    ListView_SetItemState(Sheet(), row - 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  // Every row of the sheet: the row number (list column 0), then the data columns.
  std::vector<Row> SheetRows() const {
    std::vector<Row> rows(static_cast<std::size_t>(ListView_GetItemCount(Sheet())));
    for (std::size_t item = 0; item < rows.size(); ++item) {
      for (int column = 0; column < Header_GetItemCount(ListView_GetHeader(Sheet())); ++column) {
        wchar_t cell[256] = {};
        ListView_GetItemText(Sheet(), static_cast<int>(item), column, cell, 256);
        rows[item].push_back(cell);
      }
    }
    return rows;
  }
  Row SheetColumn(std::size_t column) const {
    Row cells;
    for (const Row& row : SheetRows()) cells.push_back(row.at(column));
    return cells;
  }

  ZoSpriteAnimation scene;
  int interval = 100, bgMode = 0, repeat = 0, waveSound = 1;
  std::string bgImage, bgMusic;
  OptTransData data{&interval, &bgImage, &bgMusic, &bgMode, &repeat, &waveSound, &scene};
  std::vector<std::wstring> messages;
  std::deque<std::function<void(HWND)>> scripts;
  std::vector<int> shownTemplates;
  std::unique_ptr<TFrameWindow> frame;
  OptionDialog* dialog = nullptr;
};

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

Row Texts(HWND dialog, std::initializer_list<int> ids) {
  Row texts;
  for (int id : ids) texts.push_back(TextOf(Item(dialog, id)));
  return texts;
}

void Type(HWND dialog, std::initializer_list<std::pair<int, const wchar_t*>> fields) {
  for (const auto& [id, text] : fields) ::SetWindowTextW(Item(dialog, id), text);
}

void Click(HWND dialog, int id) { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
bool Checked(HWND dialog, int id) { return Button_GetCheck(Item(dialog, id)) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(Item(dialog, id)) != FALSE; }

// Selects a combo box entry as the user does: the selection, then the notification.
void ChooseEntry(HWND dialog, int id, int index) {
  ComboBox_SetCurSel(Item(dialog, id), index);
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(dialog, id)));
}

Row Entries(HWND dialog, int id) {
  Row entries;
  for (int i = 0; i < ComboBox_GetCount(Item(dialog, id)); ++i) {
    wchar_t text[64] = {};
    ComboBox_GetLBText(Item(dialog, id), i, text);
    entries.push_back(text);
  }
  return entries;
}

// The range tests in the order OK runs them: a field, a value inside its range (read as
// atol reads it) and one outside, and the refusal.
const struct {
  int id;
  const wchar_t *inside, *outside, *message;
} kRanges[] = {
    {125, L"128", L"0000000000000000000000000000129", L"深さの入力値が不正です．"},  // 31 characters: all kept
    {106, L"-2000", L"4294967296", L"位置Xの入力値が不正です．"},                     // 0 if cut to 32 bits
    {107, L" \t+2000x", L"2001", L"位置Yの入力値が不正です．"},
    {109, L"1000", L"1001", L"方向Xの入力値が不正です．"},
    {110, L"-1000", L"-1001", L"方向Yの入力値が不正です．"},
    {118, L"128", L"129", L"開始フレームの入力値が不正です．"},
    {116, L"abc", L"-1", L"フレームスキップの入力値が不正です．"},  // no digits: 0
};

TEST(EditSpriteDialog, OkRunsTheTestsInOrderAndReportsTheFirstThatFails) {
  const wchar_t* noObject = L"オブジェクトタイプが設定されていません．";
  struct Case {
    bool isNew;
    const wchar_t* name;
    bool chooseObject;
    std::size_t firstOutside;  // the fields before it are inside their range
    const wchar_t* message;
    int focus;  // 0: it stays in the name, nothing selected
  };
  std::vector<Case> cases = {
      {true, L"newsprite", false, 0, L"\"newsprite\"はスプライト名として使用できません．", 114},
      {true, L"taken", false, 0, L"スプライト名が重複しています．", 114},
      {false, L"taken", false, 0, noObject, 0},  // an edited sprite may share a name
      {true, L"Newsprite", false, 0, noObject, 0},
  };
  for (std::size_t i = 0; i < std::size(kRanges); ++i) {
    cases.push_back({true, L"x", true, i, kRanges[i].message, kRanges[i].id});
  }
  cases.push_back({true, L"", true, std::size(kRanges), nullptr, 0});  // all pass, an empty name too
  Settings app;
  app.AddObject("cat", BehaveBound);
  app.AddSprite("taken", 10);
  app.AddSprite("orphan", 5, "gone");  // no object to select
  app.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message ? c.message : L"accepted");
    app.messages.clear();
    app.scripts.push_back([&](HWND d) {
      if (c.chooseObject) ChooseEntry(d, 113, 0);  // first: it loads the object's defaults
      Type(d, {{114, c.name}});
      for (std::size_t f = 0; f < std::size(kRanges); ++f) {
        Type(d, {{kRanges[f].id, f < c.firstOutside ? kRanges[f].inside : kRanges[f].outside}});
      }
      ::SetFocus(Item(d, 114));
      Edit_SetSel(Item(d, 114), 0, 0);
      ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(Item(d, IDOK)));
      if (!c.message) return;
      EXPECT_EQ(::GetDlgCtrlID(::GetFocus()), c.focus ? c.focus : 114);
      DWORD selectionEnd = 0;
      ::SendMessageW(::GetFocus(), EM_GETSEL, 0, reinterpret_cast<LPARAM>(&selectionEnd));
      EXPECT_EQ(selectionEnd, c.focus ? TextOf(::GetFocus()).size() : 0u);  // the whole text selected
      Click(d, IDCANCEL);
    });
    if (!c.isNew) app.Select(2);
    app.Menu(c.isNew ? CM_NEWSPRITE : CM_EDITSPRITE);
    EXPECT_EQ(app.messages, c.message ? Row{c.message} : Row{});
  }
  ASSERT_EQ(app.SheetColumn(1), (Row{L"", L"taken", L"orphan"}));
  const ZoAnimatedSprite& s = *app.scene.sprites[0];
  EXPECT_EQ((std::vector<int>{s.depth, s.x, s.y, s.speedX, s.speedY, s.startFrame, s.skipCount}),
            (std::vector<int>{128, -2000, 2000, 1000, -1000, 128, 0}));
}

TEST(EditSpriteDialog, NewAndEditedSpritesTakeTheirFieldsAndTheirPlaceByDepth) {
  Settings app;
  ZoSpriteData& bird = app.AddObject("bird", BehaveRandomWalk, 6);
  bird.frameCount = 99;  // out of step with its frames: set again from them
  bird.imageWidth = 40, bird.imageHeight = 24, bird.depth = 30, bird.randomStart = 0, bird.autoRepeat = 0;
  bird.startX = -120, bird.startY = 64, bird.speedX = -7, bird.speedY = 3;
  app.AddObject("ねこ", BehaveFlow, 3);
  app.AddSprite("deep", 50, "ねこ");
  ZoAnimatedSprite& flat = app.AddSprite("flat", 10, "ねこ");
  flat.x = -300, flat.y = 200, flat.speedX = -20, flat.speedY = 5, flat.startFrame = 1, flat.skipCount = 4;
  flat.behaviour = BehaveSpecified;
  app.Open();
  const std::initializer_list<int> fields = {114, 125, 106, 107, 109, 110, 118, 116};
  app.scripts.push_back([&](HWND d) {
    EXPECT_EQ(Texts(d, fields), (Row{L"newsprite", L"1", L"0", L"0", L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(Entries(d, 113), (Row{L"bird", L"ねこ"}));
    EXPECT_EQ(Entries(d, 101), (Row{L"流れ", L"ﾊﾞｳﾝﾄﾞ", L"１ｼｮｯﾄ", L"ﾗﾝﾀﾞﾑｳｫｰｸ", L"指定位置"}));
    // The object and behaviour entries chosen, repeat, random start, sound.
    EXPECT_EQ((std::vector<int>{ComboBox_GetCurSel(Item(d, 113)), ComboBox_GetCurSel(Item(d, 101)),
                                Checked(d, 124), Checked(d, 105), Checked(d, 108)}),
              (std::vector<int>{-1, 0, 1, 1, 1}));
    Type(d, {{114, L"鳥"}, {118, L"2"}, {116, L"3"}});
    ChooseEntry(d, 113, 0);  // brings the object's defaults but not these
    Click(d, 108);  // sound off
    Click(d, IDOK);
  });
  app.Menu(CM_NEWSPRITE);
  EXPECT_EQ(app.SheetRows()[1], (Row{L"2", L"鳥", L"bird", L"ﾗﾝﾀﾞﾑｳｫｰｸ", L"30", L"OFF", L"OFF", L"-120", L"64",
                                     L"-7", L"3", L"40", L"24", L"2", L"6", L"3", L"OFF"}));
  EXPECT_EQ(bird.frameCount, 6);

  app.scripts.push_back([&](HWND d) {
    EXPECT_EQ(Texts(d, fields), (Row{L"flat", L"10", L"-300", L"200", L"-20", L"5", L"1", L"4"}));
    std::vector<bool> randomStart = {Enabled(d, 105)};  // its box: as opened, then per behaviour
    for (int behaviour = BehaveFlow; behaviour <= BehaveSpecified; ++behaviour) {
      ChooseEntry(d, 101, behaviour);
      randomStart.push_back(Enabled(d, 105));
    }
    EXPECT_EQ(randomStart, (std::vector<bool>{true, true, true, false, true, false}));
    Type(d, {{125, L"60"}, {106, L"-301"}});
    Click(d, IDOK);  // its own name is no duplicate
  });
  app.Select(3);
  app.Menu(CM_EDITSPRITE);
  EXPECT_TRUE(app.messages.empty());
  EXPECT_EQ(app.SheetColumn(1), (Row{L"flat", L"deep", L"鳥"}));
  EXPECT_EQ((std::vector<int>{flat.prevX, flat.prevY, flat.x, flat.frameCount}),
            (std::vector<int>{-300, 200, -301, 3}));
}

TEST(EditSpriteDialog, ABehaviourWithoutAListEntryIsKeptOrMadeOneTheEngineKnows) {
  const struct {
    bool isNew;
    int behaviour;     // of the sprite edited
    int objectChosen;  // -1: none chosen
    int stored;
  } cases[] = {
      {false, BehaveRadial, -1, BehaveRadial},
      {false, 9, -1, BehaveFlow},            // a value no file should hold
      {false, BehaveBound, 1, BehaveBound},  // the radial object's default leaves no selection
      {true, BehaveFlow, 1, BehaveFlow},
  };
  for (const auto& c : cases) {
    Settings app;
    app.AddObject("once", BehaveOneShot);
    app.AddObject("radial", BehaveRadial);
    app.AddSprite("s", 10, "once").behaviour = c.behaviour;
    app.Open();
    app.scripts.push_back([&](HWND d) {
      Type(d, {{114, L"t"}});
      if (c.objectChosen >= 0) ChooseEntry(d, 113, c.objectChosen);
      Click(d, IDOK);
    });
    app.Select(1);
    app.Menu(c.isNew ? CM_NEWSPRITE : CM_EDITSPRITE);
    const ZoAnimatedSprite* sprite = app.scene.FindSprite("t");
    ASSERT_NE(sprite, nullptr) << c.behaviour;
    EXPECT_EQ(sprite->behaviour, c.stored) << c.isNew << " " << c.behaviour << " " << c.objectChosen;
  }
}

// Types into an edit as the keyboard does, one character at a time.
void TypeKeys(HWND edit, std::wstring_view keys) {
  ::SetFocus(edit);
  for (wchar_t key : keys) ::SendMessageW(edit, WM_CHAR, key, 1);
}

// The name keeps 31 bytes of code page 932: what does not fit is refused as it is typed or
// pasted, so that the name shown is the one stored.
TEST(EditSpriteDialog, ANameTakesWhatItsThirtyOneBytesHoldAsItIsTyped) {
  const std::wstring kanji15 = L"猫犬鳥魚虫花草木山川空海星月雲";
  const struct {
    const wchar_t* typed;
    const wchar_t* pasted;  // replaces the selection afterwards
    std::wstring shown;
  } cases[] = {
      {L"abcdefghijklmnopqrstuvwxyz0123456789", L"", L"abcdefghijklmnopqrstuvwxyz01234"},
      {L"猫犬鳥魚虫花草木山川空海星月雲雪", L"", kanji15},           // 16 kanji: 32 bytes
      {L"a猫犬鳥魚虫花草木山川空海星月雲雪", L"", L"a" + kanji15},   // 31 bytes
      {L"ab猫犬鳥魚虫花草木山川空海星月雲", L"", L"ab猫犬鳥魚虫花草木山川空海星月"},
      {L"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑ", L"", L"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏ"},  // 1 byte each
      {L"abcdefghijklmnopqrstuvwxyz", L"猫犬鳥魚", L"abcdefghijklmnopqrstuvwxyz猫犬"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.typed)));
    Settings app;
    app.AddObject("cat", BehaveFlow);
    app.Open();
    std::wstring shown;
    app.scripts.push_back([&](HWND d) {
      HWND name = Item(d, 114);
      Edit_SetSel(name, 0, -1);
      TypeKeys(name, c.typed);
      if (*c.pasted) {
        Edit_SetSel(name, 26, 26);
        ::SendMessageW(name, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(c.pasted));
      }
      shown = TextOf(name);
      ChooseEntry(d, 113, 0);
      Click(d, IDOK);
    });
    app.Menu(CM_NEWSPRITE);
    EXPECT_EQ(shown, c.shown);
    ASSERT_EQ(app.scene.sprites.size(), 1u) << "accepted";
    EXPECT_EQ(std::string(app.scene.sprites[0]->name.data()), Narrow(c.shown)) << "the record keeps it whole";
    EXPECT_EQ(app.SheetRows().at(0).at(1), c.shown);
  }
}

// The object list names every object in file order; the sprite's own is selected, the last
// of several of that name, and a new sprite's "None" only when an object bears it.
TEST(EditSpriteDialog, TheObjectListSelectsTheLastObjectOfTheSpritesName) {
  const struct {
    std::vector<const char*> objects;
    bool isNew;
    int selected;
  } cases[] = {
      {{"cat", "dog", "cat"}, false, 2},
      {{"dog", "bird"}, false, -1},
      {{"cat", "None"}, true, 1},
      {{"cat", "none"}, true, -1},
  };
  for (const auto& c : cases) {
    Settings app;
    for (const char* name : c.objects) app.AddObject(name, BehaveFlow);
    app.AddSprite("s", 1, "cat");
    app.Open();
    int selected = -2;
    Row entries;
    app.scripts.push_back([&](HWND d) {
      entries = Entries(d, 113);
      selected = ComboBox_GetCurSel(Item(d, 113));
      Click(d, IDCANCEL);
    });
    app.Select(1);
    app.Menu(c.isNew ? CM_NEWSPRITE : CM_EDITSPRITE);
    EXPECT_EQ(entries.size(), c.objects.size());
    EXPECT_EQ(selected, c.selected) << c.objects.back() << (c.isNew ? " new" : "");
  }
}

// Choosing an object loads its behaviour, random start and numbers; the random start's box
// follows the behaviour and keeps the object's check. The up-downs stay within 0 to 128.
TEST(EditSpriteDialog, ChoosingAnObjectLoadsItsDefaultsAndTheRandomStartRule) {
  const struct {
    int behaviour, randomStart;
    int listed;  // the behaviour list's selection
    bool randomEnabled, randomChecked;
  } cases[] = {
      {BehaveOneShot, 0, 2, false, false}, {BehaveOneShot, 1, 2, false, true}, {BehaveRadial, 1, -1, false, true},
      {BehaveSpecified, 0, 4, false, false}, {BehaveFlow, 1, 0, true, true},   {BehaveRandomWalk, 0, 3, true, false},
  };
  Settings app;
  for (const auto& c : cases) {
    ZoSpriteData& object = app.AddObject(("o" + std::to_string(app.scene.objects.size())).c_str(), c.behaviour);
    object.randomStart = static_cast<std::int16_t>(c.randomStart);
    object.depth = -3, object.startX = 1999, object.speedY = -1000, object.autoRepeat = 0;
  }
  app.Open();
  app.scripts.push_back([&](HWND d) {
    for (int updown : {115, 117}) {
      int low = -1, high = -1;
      ::SendMessageW(Item(d, updown), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
      EXPECT_EQ(std::pair(low, high), std::pair(0, 128)) << updown;
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const auto& c = cases[i];
      ChooseEntry(d, 113, static_cast<int>(i));
      EXPECT_EQ(ComboBox_GetCurSel(Item(d, 101)), c.listed) << i;
      EXPECT_EQ(std::pair(Enabled(d, 105), Checked(d, 105)), std::pair(c.randomEnabled, c.randomChecked)) << i;
      EXPECT_EQ(Texts(d, {125, 106, 107, 109, 110}), (Row{L"-3", L"1999", L"0", L"0", L"-1000"})) << i;
      EXPECT_FALSE(Checked(d, 124));
      if (c.behaviour == BehaveOneShot) {
        ChooseEntry(d, 101, BehaveFlow);  // the user picks another behaviour
        EXPECT_TRUE(Enabled(d, 105));
      }
    }
    Click(d, IDCANCEL);
  });
  app.Menu(CM_NEWSPRITE);
  EXPECT_EQ(app.shownTemplates, (std::vector<int>{KELNA_SPRITE_DIALOG_ID}));
}

TEST(SettingsDialog, FirstFillAndRefreshShowMissingFilesDifferently) {
  const struct {
    std::optional<const char*> objectFile;
    const char *bgImage, *bgMusic;
    Row atStart, afterRefresh;  // object file, image, music
  } cases[] = {
      {std::nullopt, "", "", {L"(なし)", L"", L""}, {L"None", L"(なし)", L"(なし)"}},
      {"C:\\ANIM\\", "C:\\PIC\\SKY.BMP", "D:\\曲\\夜.MID", {L"(なし)", L"SKY", L"夜"}, {L"None", L"SKY", L"夜"}},
      {"C:\\ソフト\\表.foe", "ソ.bmp", "x", {L"表", L"ソ", L"x"}, {L"表", L"ソ", L"x"}},  // ソ ends in 5C
  };
  for (const auto& c : cases) {
    Settings app;
    if (c.objectFile) app.scene.objectFileName = Sjis(*c.objectFile);
    app.bgImage = Sjis(c.bgImage);
    app.bgMusic = Sjis(c.bgMusic);
    HWND d = app.Open();
    EXPECT_EQ(Texts(d, {108, 109, 110}), c.atStart) << c.bgImage;
    app.Refresh();
    EXPECT_EQ(Texts(d, {108, 109, 110}), c.afterRefresh) << c.bgImage;
  }
}

TEST(SettingsDialog, RadiosBoxesTheSliderWithItsOwnPageArithmeticAndHelp) {
  Settings app;
  app.bgMode = 7;  // unknown: shown as the desktop
  app.repeat = 5;
  app.waveSound = 0;
  app.interval = 230;
  HWND d = app.Open();
  auto radios = [&] {
    return std::vector<bool>{Checked(d, 102), Checked(d, 103), Checked(d, 104), Enabled(d, 109)};
  };
  EXPECT_EQ(radios(), (std::vector<bool>{false, false, true, false}));  // the image's name greyed
  const std::pair<int, int> clicks[] = {{102, 0}, {104, 2}, {103, 1}};  // radio button, mode
  for (const auto& [id, mode] : clicks) {
    Click(d, id);
    EXPECT_EQ(app.bgMode, mode);
    EXPECT_EQ(Enabled(d, 109), mode != 2);
  }
  // A file command changed the mode: one radio button stays checked. (Wine clears the
  // group of an auto radio button itself; plain ones show what the dialog sets.)
  for (int id : {102, 103, 104}) Button_SetStyle(Item(d, id), BS_RADIOBUTTON, FALSE);
  app.bgMode = 0;
  app.Refresh();
  EXPECT_EQ(radios(), (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ((std::vector<bool>{Checked(d, 114), Checked(d, 120)}), (std::vector<bool>{true, false}));
  for (int expected : {0, 1}) {
    Click(d, 114);
    Click(d, 120);
    EXPECT_EQ(std::pair(app.repeat, app.waveSound), std::pair(expected, 1 - expected));
  }

  HWND slider = Item(d, 113);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 500);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETNUMTICS, 0, 0), 6);  // 0, 100, ..., 500
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 230);
  const struct {
    int start;
    WORD code, thumb;
    int expected;
  } steps[] = {
      {50, SB_PAGELEFT, 0, 0},     {700, SB_PAGELEFT, 0, 600},  {-50, SB_PAGELEFT, 0, -50},
      {450, SB_PAGERIGHT, 0, 500}, {-50, SB_PAGERIGHT, 0, 50},  {700, SB_PAGERIGHT, 0, 700},
      {120, SB_THUMBPOSITION, 333, 333}, {120, SB_THUMBTRACK, 400, 120}, {120, SB_LINELEFT, 0, 120},
      {120, SB_LINERIGHT, 0, 120},       {120, SB_TOP, 0, 120},          {120, SB_BOTTOM, 0, 120},
      {120, SB_ENDSCROLL, 0, 120},
  };  // past the range one way, a page step leaves it as it is
  for (const auto& step : steps) {
    app.interval = step.start;
    app.dialog->SendMessage(WM_HSCROLL, MAKEWPARAM(step.code, step.thumb), reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(app.interval, step.expected) << step.start << " code " << step.code;
  }
  app.interval = 410;
  app.Refresh();
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 410);
  // The keys move the slider itself, which then tells the dialog with those codes.
  const std::pair<WPARAM, int> keys[] = {{VK_RIGHT, 410}, {VK_UP, 410}, {VK_HOME, 410}, {VK_END, 410}, {VK_PRIOR, 310}};
  for (const auto& [key, expected] : keys) {
    ::SendMessageW(slider, WM_KEYDOWN, key, 1);
    ::SendMessageW(slider, WM_KEYUP, key, 0xC0000001);
    EXPECT_EQ(app.interval, expected) << "key " << key;
  }

  // Without the help file, Help shows the program's own help.
  ASSERT_FALSE(HelpFileFound());
  std::wstring help;
  app.scripts.push_back([&](HWND h) {
    help = TextOf(Item(h, KELNA_HELP_TEXT_ID));
    Click(h, IDOK);
  });
  app.Menu(CM_HELPCONTENTS);
  EXPECT_EQ(app.shownTemplates, (std::vector<int>{KELNA_HELP_DIALOG_ID}));
  EXPECT_EQ(help, OwnHelpText());
  EXPECT_NE(help.find(L"で読み込みます。\r\n\r\nスプライト"), std::wstring::npos);  // paragraphs
}

// Help opens the help file's contents when the file is found and the viewer takes it, and
// the program's own help otherwise. The file is put in a folder of this test's own, made the
// current one: other tests, run at the same time, must find none.
TEST(SettingsDialog, HelpOpensTheHelpFileWhereItCanAndOurOwnHelpOtherwise) {
  const struct {
    bool fileThere, viewerTakesIt;
    std::vector<std::string> viewerAsked;
    std::vector<int> shown;
  } cases[] = {
      {false, true, {}, {KELNA_HELP_DIALOG_ID}},
      {true, true, {"pelmary.hlp 3"}, {}},  // HELP_CONTENTS
      {true, false, {"pelmary.hlp 3"}, {KELNA_HELP_DIALOG_ID}},
  };
  const test::TemporaryFolder folder;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const std::filesystem::path helpFile = folder / "pelmary.hlp";
  for (const auto& c : cases) {
    if (c.fileThere) std::ofstream(helpFile) << "help";
    Settings app;
    std::vector<std::string> asked;
    app.answers.helpViewer = [&](HWND owner, std::string_view file, UINT command) {
      EXPECT_EQ(owner, app.dialog->GetHandle());
      asked.push_back(std::string(file) + " " + std::to_string(command));
      return c.viewerTakesIt;
    };
    app.Open();
    app.Menu(CM_HELPCONTENTS);
    std::filesystem::remove(helpFile);
    EXPECT_EQ(asked, c.viewerAsked) << c.fileThere << c.viewerTakesIt;
    EXPECT_EQ(app.shownTemplates, c.shown) << c.fileThere << c.viewerTakesIt;
  }
  std::filesystem::current_path(before);
}

// Ordinary sprites' columns are checked where sprites are made and edited.
TEST(SpriteSheet, HeadingsOddValuesRowsPastTheDeclaredOnesAndTheActiveRow) {
  Settings app;
  for (int i = 0; i < 69; ++i) app.AddSprite(("s" + std::to_string(i)).c_str(), i / 2);
  ZoAnimatedSprite& odd = app.AddSprite("odd", -3);
  odd.behaviour = 9;  // a value no file should hold
  odd.autoRepeat = 2;  // ON is 1 only
  odd.randomStart = -1;
  odd.soundOn = 2;
  odd.imageWidth = 65535;
  odd.startFrame = 65535;  // the counts show as signed 16-bit values
  odd.frameCount = 40000;
  odd.skipCount = 32768;
  app.Open();
  auto rows = app.SheetRows();
  ASSERT_EQ(rows.size(), 70u);
  EXPECT_EQ(rows[0][1] + rows[1][1] + rows[2][1], L"s68s66s67");  // deepest first
  EXPECT_EQ(rows[69], (Row{L"70", L"odd", L"cat", L"", L"-3", L"OFF", L"OFF", L"0", L"0", L"0", L"0", L"65535",
                           L"0", L"-1", L"-25536", L"-32768", L"OFF"}));
  Row headings;
  for (int column = 1; column <= 16; ++column) {
    wchar_t heading[64] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT, info.pszText = heading, info.cchTextMax = 64;
    ListView_GetColumn(app.Sheet(), column, &info);
    headings.push_back(heading);
  }
  EXPECT_EQ(headings, (Row{L"ｽﾌﾟﾗｲﾄ名", L"ｵﾌﾞｼﾞｪｸﾄ名", L"動作ﾀｲﾌﾟ", L"深さ", L"ｵｰﾄﾘﾋﾟｰﾄ", L"ﾗﾝﾀﾞﾑｽﾀｰﾄ", L"ｽﾀｰﾄX",
                           L"ｽﾀｰﾄY", L"速度X", L"速度Y", L"ｲﾒｰｼﾞW", L"ｲﾒｰｼﾞH", L"開始ﾌﾚｰﾑ", L"ﾌﾚｰﾑ数",
                           L"ｽｷｯﾌﾟ数", L"ｻｳﾝﾄﾞ"}));

  app.Menu(CM_EDITSPRITE);  // no row active: nothing to edit or delete
  app.Menu(CM_DELSPRITE);
  EXPECT_TRUE(app.shownTemplates.empty());
  app.Select(70);
  app.Menu(CM_DELSPRITE);
  app.Menu(CM_DELSPRITE);  // the selected row is gone: nothing active
  app.Select(1);
  app.Menu(CM_DELSPRITE);
  rows = app.SheetRows();
  ASSERT_EQ(rows.size(), 68u);
  EXPECT_EQ(rows[0][1] + rows[67][1] + rows[67][0], L"s66s168");
  EXPECT_EQ(app.scene.sprites.size(), 68u);
}

}  // namespace
}  // namespace kelna
