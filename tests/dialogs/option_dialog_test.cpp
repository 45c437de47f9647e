// The settings dialog as the client of the settings window, driven with the messages that
// clicks, list selections, slider moves and menu commands send.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dialogs/help_dialog.h"
#include "resources/resource_ids.h"
#include "tests/dialogs/dialog_test_support.h"

namespace kelna::test {
namespace {

using Names = std::vector<std::string>;
using Row = std::vector<std::wstring>;

TEST(SettingsDialog, FirstFillAndRefreshShowMissingFilesDifferently) {
  struct Case {
    std::optional<const char*> objectFile;
    const char* bgImage;
    const char* bgMusic;
    Row atStart;         // object file, image, music
    Row afterRefresh;
  };
  const Case cases[] = {
      {std::nullopt, "", "", {L"(なし)", L"", L""}, {L"None", L"(なし)", L"(なし)"}},
      {"C:\\ANIM\\ZOO.FOE", "(なし)", "(なし)", {L"ZOO", L"(なし)", L"(なし)"}, {L"ZOO", L"(なし)", L"(なし)"}},
      {"C:\\ANIM\\", "C:\\PIC\\SKY.BMP", "D:\\曲\\夜.MID", {L"(なし)", L"SKY", L"夜"}, {L"None", L"SKY", L"夜"}},
      {"C:\\ソフト\\表.foe", "ソ.bmp", "x", {L"表", L"ソ", L"x"}, {L"表", L"ソ", L"x"}},
  };
  for (const Case& c : cases) {
    SettingsApp app;
    if (c.objectFile) app.scene.objectFileName = Sjis(*c.objectFile);
    app.bgImage = Sjis(c.bgImage);
    app.bgMusic = Sjis(c.bgMusic);
    SettingsWindow window(app);
    EXPECT_EQ((Row{window.Text(108), window.Text(109), window.Text(110)}), c.atStart) << c.bgImage;
    EXPECT_EQ(window.dialog->SendMessage(PM_REDRAW), 1);
    EXPECT_EQ((Row{window.Text(108), window.Text(109), window.Text(110)}), c.afterRefresh) << c.bgImage;
  }
}

TEST(SettingsDialog, ImageModeRadioButtonsAndTheImageField) {
  struct Case {
    int mode;
    int checked;
    bool imageEnabled;
  };
  for (const Case& c : {Case{0, 102, true}, Case{1, 103, true}, Case{2, 104, false}, Case{7, 104, false}}) {
    SettingsApp app;
    app.bgMode = c.mode;
    SettingsWindow window(app);
    for (int id : {102, 103, 104}) EXPECT_EQ(Checked(window.Dialog(), id), id == c.checked) << c.mode << " " << id;
    EXPECT_EQ(Enabled(window.Dialog(), 109), c.imageEnabled) << c.mode;
  }

  SettingsApp app;
  SettingsWindow window(app);
  struct Click_ {
    int id;
    int mode;
    bool imageEnabled;
  };
  for (const Click_& click : {Click_{104, 2, false}, Click_{102, 0, true}, Click_{104, 2, false}, Click_{103, 1, true}}) {
    Click(window.Dialog(), click.id);
    EXPECT_EQ(app.bgMode, click.mode) << click.id;
    EXPECT_EQ(Enabled(window.Dialog(), 109), click.imageEnabled) << click.id;
  }
  app.bgMode = 2;  // a file command changed it, then asks for a refresh
  window.dialog->SendMessage(PM_REDRAW);
  EXPECT_TRUE(Checked(window.Dialog(), 104));
  EXPECT_FALSE(Checked(window.Dialog(), 103));
  app.bgMode = 0;
  window.dialog->SendMessage(PM_REDRAW);
  EXPECT_EQ((std::vector<bool>{Checked(window.Dialog(), 102), Checked(window.Dialog(), 103), Checked(window.Dialog(), 104)}),
            (std::vector<bool>{true, false, false}));
  EXPECT_TRUE(Enabled(window.Dialog(), 109));
}

TEST(SettingsDialog, RepeatAndSoundBoxesWriteTheirSettings) {
  struct Case {
    int start;
    bool checkedAtStart;
    std::vector<int> afterClicks;
  };
  for (const Case& c : {Case{0, false, {1, 0, 1}}, Case{1, true, {0, 1}}, Case{5, true, {0, 1}}}) {
    SettingsApp app;
    app.repeat = c.start;
    app.waveSound = c.start;
    SettingsWindow window(app);
    EXPECT_EQ(Checked(window.Dialog(), 114), c.checkedAtStart);
    EXPECT_EQ(Checked(window.Dialog(), 120), c.checkedAtStart);
    for (int expected : c.afterClicks) {
      Click(window.Dialog(), 114);
      Click(window.Dialog(), 120);
      EXPECT_EQ(app.repeat, expected) << c.start;
      EXPECT_EQ(app.waveSound, expected) << c.start;
      EXPECT_EQ(Checked(window.Dialog(), 114), expected == 1);
    }
  }
}

TEST(SettingsDialog, SliderRangeTicksAndPosition) {
  SettingsApp app;
  app.interval = 230;
  SettingsWindow window(app);
  HWND slider = Item(window.Dialog(), 113);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 500);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETNUMTICS, 0, 0), 6);  // 0, 100, ..., 500
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 230);
  app.interval = 410;
  window.dialog->SendMessage(PM_REDRAW);
  EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 410);
}

TEST(SettingsDialog, SliderMessagesChangeTheIntervalByTheirOwnArithmetic) {
  struct Case {
    int start;
    WORD code;
    WORD thumb;
    int expected;
  };
  const Case cases[] = {
      {50, SB_PAGELEFT, 0, 0},         {0, SB_PAGELEFT, 0, 0},          {230, SB_PAGELEFT, 0, 130},
      {450, SB_PAGERIGHT, 0, 500},     {500, SB_PAGERIGHT, 0, 500},     {430, SB_PAGERIGHT, 0, 500},
      {0, SB_PAGERIGHT, 0, 100},       {120, SB_THUMBPOSITION, 333, 333}, {120, SB_THUMBPOSITION, 0, 0},
      {120, SB_LINELEFT, 0, 120},      {120, SB_LINERIGHT, 0, 120},     {120, SB_THUMBTRACK, 400, 120},
      {120, SB_TOP, 0, 120},           {120, SB_BOTTOM, 0, 120},        {120, SB_ENDSCROLL, 0, 120},
      {700, SB_PAGELEFT, 0, 600},      {-50, SB_PAGERIGHT, 0, 50},      // outside the range: still stepped
  };
  SettingsApp app;
  SettingsWindow window(app);
  HWND slider = Item(window.Dialog(), 113);
  for (const Case& c : cases) {
    app.interval = c.start;
    window.dialog->SendMessage(WM_HSCROLL, MAKEWPARAM(c.code, c.thumb), reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(app.interval, c.expected) << c.start << " code " << c.code;
  }
}

TEST(SettingsDialog, NewSpriteOpensWithItsDefaultsAndCancelChangesNothing) {
  SettingsApp app;
  app.AddObject("cat", BehaveBound);
  app.AddObject("ねこ", BehaveFlow);
  app.AddSprite("a", 10);
  SettingsWindow window(app);
  const auto sheetBefore = SheetRows(window.Sheet());
  EditFields shown;
  app.scripts.push_back([&](TDialog& d) {
    shown = ReadEditDialog(d.GetHandle());
    Type(d.GetHandle(), {{114, L"changed"}, {125, L"99"}});
    ChooseEntry(d.GetHandle(), 113, 1);
    Click(d.GetHandle(), IDCANCEL);
  });
  Click(window.Dialog(), CM_NEWSPRITE);
  ASSERT_EQ(app.shownTemplates, (std::vector<int>{KELNA_SPRITE_DIALOG_ID}));
  EXPECT_EQ(shown.name, L"newsprite");
  EXPECT_EQ(shown.objects, (Row{L"cat", L"ねこ"}));
  EXPECT_EQ(shown.object, -1);
  EXPECT_EQ(shown.behaviours, (Row{L"流れ", L"ﾊﾞｳﾝﾄﾞ", L"１ｼｮｯﾄ", L"ﾗﾝﾀﾞﾑｳｫｰｸ", L"指定位置"}));
  EXPECT_EQ(shown.behaviour, 0);
  EXPECT_EQ(shown.depth, L"1");
  EXPECT_TRUE(shown.autoRepeat && shown.randomStart && shown.soundOn);
  EXPECT_EQ((Row{shown.startX, shown.startY, shown.speedX, shown.speedY, shown.startFrame, shown.skipCount}),
            (Row{L"0", L"0", L"0", L"0", L"0", L"0"}));
  EXPECT_EQ(app.SpriteNames(), (Names{"a"}));
  EXPECT_EQ(SheetRows(window.Sheet()), sheetBefore);
}

TEST(SettingsDialog, ANewSpriteTakesTheObjectsDefaultsAndItsPlaceByDepth) {
  SettingsApp app;
  ZoSpriteData& bird = app.AddObject("bird", BehaveRandomWalk, 6);
  bird.imageWidth = 40;
  bird.imageHeight = 24;
  bird.frameCount = 99;  // out of step with its frames: set again from them
  bird.depth = 30;
  bird.randomStart = 0;
  bird.startX = -120, bird.startY = 64, bird.speedX = -7, bird.speedY = 3;
  bird.autoRepeat = 0;
  app.AddObject("cat", BehaveFlow);
  app.AddSprite("deep", 50);
  app.AddSprite("flat", 10);
  SettingsWindow window(app);
  app.scripts.push_back([&](TDialog& d) {
    Type(d.GetHandle(), {{114, L"鳥"}, {118, L"2"}, {116, L"3"}});
    ChooseEntry(d.GetHandle(), 113, 0);
    Click(d.GetHandle(), 108);  // sound off
    Click(d.GetHandle(), IDOK);
  });
  window.Menu(CM_NEWSPRITE);
  ASSERT_EQ(app.SpriteNames(), (Names{"deep", "鳥", "flat"}));
  const ZoAnimatedSprite& s = *app.scene.sprites[1];
  EXPECT_STREQ(s.ObjectName(), "bird");
  EXPECT_EQ(s.behaviour, BehaveRandomWalk);
  EXPECT_EQ(s.depth, 30);
  EXPECT_EQ(s.randomStart, 0);
  EXPECT_EQ(s.autoRepeat, 0);
  EXPECT_EQ((std::vector<int>{s.x, s.y, s.speedX, s.speedY}), (std::vector<int>{-120, 64, -7, 3}));
  EXPECT_EQ(s.imageWidth, 40);
  EXPECT_EQ(s.imageHeight, 24);
  EXPECT_EQ(s.frameCount, 6);
  EXPECT_EQ(bird.frameCount, 6);
  EXPECT_EQ(s.startFrame, 2);
  EXPECT_EQ(s.skipCount, 3);
  EXPECT_EQ(s.soundOn, 0);
  EXPECT_EQ(SheetColumn(window.Sheet(), 1), (Row{L"deep", L"鳥", L"flat"}));
  EXPECT_EQ(SheetRows(window.Sheet())[1],
            (Row{L"2", L"鳥", L"bird", L"ﾗﾝﾀﾞﾑｳｫｰｸ", L"30", L"OFF", L"OFF", L"-120", L"64", L"-7", L"3", L"40", L"24",
                 L"2", L"6", L"3", L"OFF"}));
}

TEST(SettingsDialog, EditingASpriteShowsItsFieldsAndADepthChangeMovesItsRow) {
  SettingsApp app;
  app.AddObject("cat", BehaveFlow, 3);
  app.AddSprite("a", 50);
  app.AddSprite("b", 30);
  ZoAnimatedSprite& c = app.AddSprite("c", 10);
  c.x = -300, c.y = 200, c.speedX = -20, c.speedY = 5, c.startFrame = 1, c.skipCount = 4;
  c.behaviour = BehaveSpecified;
  c.randomStart = 0;
  SettingsWindow window(app);
  SelectSheetRow(window.Sheet(), 3);
  EditFields shown;
  app.scripts.push_back([&](TDialog& d) {
    shown = ReadEditDialog(d.GetHandle());
    Type(d.GetHandle(), {{125, L"60"}, {106, L"-301"}});
    Click(d.GetHandle(), IDOK);
  });
  Click(window.Dialog(), CM_EDITSPRITE);
  EXPECT_EQ(shown.name, L"c");
  EXPECT_EQ(shown.object, 0);
  EXPECT_EQ(shown.behaviour, BehaveSpecified);
  EXPECT_TRUE(shown.randomEnabled);  // until the behaviour or the object is changed
  EXPECT_FALSE(shown.randomStart);
  EXPECT_EQ((Row{shown.depth, shown.startX, shown.startY, shown.speedX, shown.speedY, shown.startFrame, shown.skipCount}),
            (Row{L"10", L"-300", L"200", L"-20", L"5", L"1", L"4"}));
  EXPECT_TRUE(app.messages.empty());
  EXPECT_EQ(app.SpriteNames(), (Names{"c", "a", "b"}));
  EXPECT_EQ(SheetColumn(window.Sheet(), 1), (Row{L"c", L"a", L"b"}));
  EXPECT_EQ(SheetColumn(window.Sheet(), 4), (Row{L"60", L"50", L"30"}));
  const ZoAnimatedSprite& moved = *app.scene.sprites[0];
  EXPECT_EQ(moved.prevX, -300);
  EXPECT_EQ(moved.prevY, 200);
  EXPECT_EQ(moved.x, -301);
  EXPECT_EQ(moved.frameCount, 3);
}

TEST(SettingsDialog, TheFirstAndTheLastRowCanBeEditedAndDeleted) {
  SettingsApp app;
  app.AddObject("cat", BehaveFlow);
  app.AddSprite("a", 30);
  app.AddSprite("b", 20);
  app.AddSprite("c", 10);
  SettingsWindow window(app);
  for (int row : {1, 3}) {
    app.scripts.push_back([](TDialog& d) {
      SetTextOf(Item(d.GetHandle(), 114), (TextOf(Item(d.GetHandle(), 114)) + L"!").c_str());
      Click(d.GetHandle(), IDOK);
    });
    SelectSheetRow(window.Sheet(), row);
    window.Menu(CM_EDITSPRITE);
  }
  EXPECT_EQ(app.SpriteNames(), (Names{"a!", "b", "c!"}));
  SelectSheetRow(window.Sheet(), 3);
  window.Menu(CM_DELSPRITE);
  SelectSheetRow(window.Sheet(), 1);
  window.Menu(CM_DELSPRITE);
  EXPECT_EQ(app.SpriteNames(), (Names{"b"}));
  SelectSheetRow(window.Sheet(), 1);
  window.Menu(CM_DELSPRITE);  // the last sprite
  EXPECT_TRUE(app.scene.sprites.empty());
  EXPECT_TRUE(SheetRows(window.Sheet()).empty());
}

TEST(SettingsDialog, EditAndDeleteWithoutASpriteInTheActiveRowDoNothing) {
  SettingsApp app;
  app.AddObject("cat", BehaveFlow);
  SettingsWindow empty(app);
  empty.Menu(CM_EDITSPRITE);
  empty.Menu(CM_DELSPRITE);
  EXPECT_EQ(app.dialogsShown, 0);

  app.AddSprite("a", 10);
  app.AddSprite("b", 5);
  SettingsWindow window(app);  // no row selected yet
  Click(window.Dialog(), CM_EDITSPRITE);
  Click(window.Dialog(), CM_DELSPRITE);
  EXPECT_EQ(app.dialogsShown, 0);
  EXPECT_EQ(app.SpriteNames(), (Names{"a", "b"}));
}

TEST(SettingsDialog, ABehaviourWithoutAListEntryIsKeptOrMadeOneTheEngineKnows) {
  struct Case {
    bool isNew;
    int behaviour;        // of the sprite edited
    int objectChosen;     // -1: none chosen
    int listSelection;    // what the dialog shows after that
    int stored;
  };
  const Case cases[] = {
      {false, BehaveRadial, -1, -1, BehaveRadial},
      {false, 9, -1, -1, BehaveFlow},              // a value no file should hold
      {false, BehaveBound, 1, -1, BehaveBound},    // the radial object's default leaves no selection
      {true, BehaveFlow, 1, -1, BehaveFlow},
      {true, BehaveFlow, 0, BehaveOneShot, BehaveOneShot},
  };
  for (const Case& c : cases) {
    SettingsApp app;
    app.AddObject("once", BehaveOneShot);
    app.AddObject("radial", BehaveRadial);
    ZoAnimatedSprite& s = app.AddSprite("s", 10, "once");
    s.behaviour = c.behaviour;
    SettingsWindow window(app);
    int shownSelection = -2;
    bool randomEnabled = true;
    app.scripts.push_back([&](TDialog& d) {
      Type(d.GetHandle(), {{114, L"t"}});
      if (c.objectChosen >= 0) ChooseEntry(d.GetHandle(), 113, c.objectChosen);
      shownSelection = Selection(d.GetHandle(), 101);
      randomEnabled = Enabled(d.GetHandle(), 105);
      Click(d.GetHandle(), IDOK);
    });
    if (c.isNew) {
      window.Menu(CM_NEWSPRITE);
    } else {
      SelectSheetRow(window.Sheet(), 1);
      window.Menu(CM_EDITSPRITE);
    }
    ASSERT_TRUE(app.messages.empty()) << c.behaviour;
    const ZoAnimatedSprite* edited = app.scene.FindSprite("t");
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(shownSelection, c.listSelection) << c.behaviour;
    EXPECT_EQ(edited->behaviour, c.stored) << c.isNew << " " << c.behaviour << " " << c.objectChosen;
    if (c.objectChosen >= 0) {
      EXPECT_FALSE(randomEnabled);  // one-shot and radial: no random start
    }
  }
}

TEST(SettingsDialog, NewSpriteNamesMustDifferFromEveryOtherButEditedOnesNeedNot) {
  SettingsApp app;
  app.AddObject("cat", BehaveFlow);
  app.AddSprite("a", 10);
  app.AddSprite("b", 5);
  SettingsWindow window(app);
  app.scripts.push_back([&](TDialog& d) {
    Type(d.GetHandle(), {{114, L"a"}});
    ChooseEntry(d.GetHandle(), 113, 0);
    Click(d.GetHandle(), IDOK);
    Click(d.GetHandle(), IDCANCEL);  // refused: still open
  });
  window.Menu(CM_NEWSPRITE);
  ASSERT_EQ(app.messages.size(), 1u);
  EXPECT_EQ(app.messages[0].text, L"スプライト名が重複しています．");
  EXPECT_EQ(app.scene.sprites.size(), 2u);

  app.scripts.push_back([&](TDialog& d) {
    Type(d.GetHandle(), {{114, L"a"}});
    Click(d.GetHandle(), IDOK);
  });
  SelectSheetRow(window.Sheet(), 2);
  window.Menu(CM_EDITSPRITE);
  EXPECT_EQ(app.messages.size(), 1u);
  EXPECT_EQ(app.SpriteNames(), (Names{"a", "a"}));
}

TEST(SettingsDialog, HelpShowsTheProgramsOwnHelpWhenThereIsNoHelpFile) {
  ASSERT_FALSE(HelpFileFound());
  SettingsApp app;
  SettingsWindow window(app);
  std::wstring text;
  app.scripts.push_back([&](TDialog& d) {
    text = TextOf(Item(d.GetHandle(), KELNA_HELP_TEXT_ID));
    Click(d.GetHandle(), IDOK);
  });
  window.Menu(CM_HELPCONTENTS);
  EXPECT_EQ(app.shownTemplates, (std::vector<int>{KELNA_HELP_DIALOG_ID}));
  EXPECT_EQ(text, OwnHelpText());
  EXPECT_NE(text.find(L"スプライトリスト"), std::wstring::npos);
  EXPECT_NE(text.find(L"\r\n\r\n"), std::wstring::npos);  // several paragraphs
  EXPECT_TRUE(app.messages.empty());

  // The file is looked for on the search path, which holds the current folder.
  wchar_t temp[MAX_PATH] = {}, previous[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"kelna-help-" + std::to_wstring(::GetCurrentProcessId());
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring helpFile = folder + L"\\pelmary.hlp";
  HANDLE file = ::CreateFileW(helpFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(folder.c_str());
  const bool found = HelpFileFound();
  ::SetCurrentDirectoryW(previous);
  ::DeleteFileW(helpFile.c_str());
  ::RemoveDirectoryW(folder.c_str());
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kelna::test
