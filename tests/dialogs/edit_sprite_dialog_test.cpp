// The sprite edit dialog on its own record: what it shows, what choosing an object or a
// behaviour does, the tests OK runs and what reaches the record.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/edit_sprite_dialog.h"
#include "platform/runtime.h"
#include "resources/resource_ids.h"
#include "tests/dialogs/dialog_test_support.h"

namespace kelna::test {
namespace {

TEST(CheckValue, ReadsTheTextLikeAtolAndTakesBothBoundsAsValid) {
  struct Case {
    const char* text;
    long low, high;
    bool valid;
  };
  const Case cases[] = {
      {"128", 0, 128, true},       {"129", 0, 128, false},          {"0", 0, 128, true},
      {"-1", 0, 128, false},       {"-2000", -2000, 2000, true},    {"-2001", -2000, 2000, false},
      {"2000", -2000, 2000, true}, {"2001", -2000, 2000, false},    {"1000", -1000, 1000, true},
      {"1001", -1000, 1000, false}, {"-1001", -1000, 1000, false},  {"abc", 0, 128, true},  // no digits: 0
      {"", 0, 128, true},          {"abc", 1, 128, false},          {"12abc", 0, 11, false},
      {"12abc", 0, 12, true},      {" \t\n+7", 7, 7, true},         {"- 5", 0, 0, true},   // sign without digits
      {"--5", 0, 0, true},         {"0x20", 0, 0, true},            {"0129", 0, 128, false},
      {"4294967296", 0, 128, false},  // wraps to 0 in 32 bits: out of range all the same
      {"-4294967297", -2000, 2000, false}, {"99999999999999999999999", 0, 128, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZoEditSpriteDialog::CheckValue(c.text, c.low, c.high), c.valid)
        << '"' << c.text << "\" in " << c.low << ".." << c.high;
  }
}

// The edit dialog run on a record, owned by a window of the test application.
class EditDialogTest : public ::testing::Test {
 protected:
  EditDialogTest() {
    app.AddObject("cat", BehaveBound);
    owner.SetApplication(&app);
    owner.Create();
    SetFieldText(record.name, "sprite");
    for (const auto& object : app.scene.objects) record.objectTypes.AddString(object->name, object->name == "cat");
    for (int i = 0; ZoSpriteData::BehaveName[i]; ++i) record.behaviours.AddString(ZoSpriteData::BehaveName[i]);
    record.behaviours.Select(BehaveBound);
    for (auto* field : {&record.depth, &record.startX, &record.startY, &record.speedX, &record.speedY,
                        &record.startFrame, &record.skipCount}) {
      SetFieldText(*field, "0");
    }
    record.objects = &app.scene.objects;
  }

  // Runs the dialog with a script, which must end it.
  int Run(std::function<void(HWND)> script) {
    app.scripts.push_back([script](TDialog& d) { script(d.GetHandle()); });
    return ZoEditSpriteDialog(&owner, KELNA_SPRITE_DIALOG_ID, record).Execute();
  }

  SettingsApp app;
  TFrameWindow owner{nullptr, L"owner"};
  SpriteTransferStruct record;
};

TEST_F(EditDialogTest, OkRunsTheTestsInOrderAndReportsTheFirstThatFails) {
  app.AddSprite("taken", 10);
  struct Case {
    int isNew;
    std::vector<std::pair<int, const wchar_t*>> fields;
    int object;  // -1: none selected
    const wchar_t* message;
    int focus;  // 0: the focus stays where it was
  };
  const std::vector<std::pair<int, const wchar_t*>> allBad = {
      {125, L"129"}, {106, L"-2001"}, {107, L"2001"}, {109, L"1001"}, {110, L"-1001"}, {118, L"129"}, {116, L"-1"}};
  auto with = [&](std::vector<std::pair<int, const wchar_t*>> fields, int firstGood) {
    // Fields before `firstGood` (in test order) are made valid; the rest stay bad.
    std::vector<std::pair<int, const wchar_t*>> all = allBad;
    for (int i = 0; i < firstGood; ++i) all[static_cast<std::size_t>(i)].second = L"0";
    all.insert(all.end(), fields.begin(), fields.end());
    return all;
  };
  const Case cases[] = {
      {0, with({{114, L"newsprite"}}, 0), -1, L"\"newsprite\"はスプライト名として使用できません．", 114},
      {1, with({{114, L"taken"}}, 0), -1, L"スプライト名が重複しています．", 114},
      {0, with({{114, L"taken"}}, 0), -1, L"オブジェクトタイプが設定されていません．", 0},  // not new: accepted
      {1, with({{114, L"Newsprite"}}, 0), -1, L"オブジェクトタイプが設定されていません．", 0},
      {1, with({{114, L"x"}}, 0), 0, L"深さの入力値が不正です．", 125},
      {1, with({{114, L"x"}}, 1), 0, L"位置Xの入力値が不正です．", 106},
      {1, with({{114, L"x"}}, 2), 0, L"位置Yの入力値が不正です．", 107},
      {1, with({{114, L"x"}}, 3), 0, L"方向Xの入力値が不正です．", 109},
      {1, with({{114, L"x"}}, 4), 0, L"方向Yの入力値が不正です．", 110},
      {1, with({{114, L"x"}}, 5), 0, L"開始フレームの入力値が不正です．", 118},
      {1, with({{114, L"x"}}, 6), 0, L"フレームスキップの入力値が不正です．", 116},
      {1, with({{114, L""}, {125, L"1x"}}, 7), 0, nullptr, 0},  // all pass; no name test for an empty name
  };
  for (const Case& c : cases) {
    app.messages.clear();
    record.isNew = c.isNew;
    record.objectTypes.Select(-1);
    HWND focusBefore = nullptr, focusAfter = nullptr;
    int focusId = -1;
    DWORD selStart = 1, selEnd = 0;
    std::wstring focusedText;
    bool stillOpen = false;
    const int result = Run([&](HWND d) {
      if (c.object >= 0) ChooseEntry(d, 113, c.object);  // first: it loads the object's defaults
      for (const auto& [id, text] : c.fields) SetTextOf(Item(d, id), text);
      ::SetFocus(Item(d, 114));
      ::SendMessageW(Item(d, 114), EM_SETSEL, 0, 0);
      focusBefore = ::GetFocus();
      ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(Item(d, IDOK)));
      focusAfter = ::GetFocus();
      focusId = ::GetDlgCtrlID(focusAfter);
      ::SendMessageW(focusAfter, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
      focusedText = TextOf(focusAfter);
      stillOpen = ::IsWindow(d) && ::IsWindowVisible(d);
      if (c.message) Click(d, IDCANCEL);
    });
    if (!c.message) {
      EXPECT_EQ(result, IDOK);
      EXPECT_TRUE(app.messages.empty());
      continue;
    }
    EXPECT_EQ(result, IDCANCEL) << c.message;
    EXPECT_TRUE(stillOpen) << c.message;
    ASSERT_EQ(app.messages.size(), 1u) << c.message;
    EXPECT_EQ(app.messages[0].text, c.message);
    EXPECT_EQ(app.messages[0].caption, L"エラー");
    EXPECT_EQ(app.messages[0].style, static_cast<UINT>(MB_ICONINFORMATION | MB_OK));
    if (c.focus == 0) {
      EXPECT_EQ(focusAfter, focusBefore) << c.message;
      continue;
    }
    EXPECT_EQ(focusId, c.focus) << c.message;
    EXPECT_EQ(selStart, 0u) << c.message;  // the whole text selected
    EXPECT_EQ(selEnd, focusedText.size()) << c.message;
    EXPECT_FALSE(focusedText.empty()) << c.message;
  }
}

TEST_F(EditDialogTest, TheTestsCheckTheTextThatIsStoredNotLess) {
  // 31 characters reach the record; the value is the whole of them.
  const wchar_t* longDepth = L"0000000000000000000000000000129";  // 31 characters: 129
  const int result = Run([&](HWND d) {
    SetTextOf(Item(d, 125), longDepth);
    Click(d, IDOK);
    if (::IsWindow(d)) Click(d, IDCANCEL);
  });
  EXPECT_EQ(result, IDCANCEL);
  ASSERT_EQ(app.messages.size(), 1u);
  EXPECT_EQ(app.messages[0].text, L"深さの入力値が不正です．");
}

TEST_F(EditDialogTest, OkTransfersEveryFieldBackInOrderAndCancelNone) {
  auto fill = [](HWND d) {
    Type(d, {{114, L"名前"}, {125, L"7"}, {106, L"-5"}, {107, L"6"}, {109, L"-7"}, {110, L"8"}, {118, L"9"}, {116, L"10"}});
    ChooseEntry(d, 101, BehaveRandomWalk);
    Click(d, 124);  // auto repeat on (it starts off)
    Click(d, 105);  // random start on
    Click(d, 108);  // sound on
  };
  const SpriteTransferStruct before = record;
  EXPECT_EQ(Run([&](HWND d) {
              fill(d);
              Click(d, IDCANCEL);
            }),
            IDCANCEL);
  EXPECT_EQ(record.name, before.name);
  EXPECT_EQ(record.depth, before.depth);
  EXPECT_EQ(record.behaviours.GetSelIndex(), BehaveBound);
  EXPECT_EQ(record.autoRepeat + record.randomStart + record.soundOn, 0u);

  EXPECT_EQ(Run([&](HWND d) {
              fill(d);
              Click(d, IDOK);
            }),
            IDOK);
  EXPECT_EQ(Cp932ToUtf8(FieldText(record.name)), "名前");
  EXPECT_EQ(record.objectTypes.GetSelIndex(), 0);
  EXPECT_EQ(record.objectTypes.GetSelection(), "cat");
  EXPECT_EQ(record.behaviours.GetSelIndex(), BehaveRandomWalk);
  EXPECT_EQ((std::vector<std::string_view>{FieldText(record.depth), FieldText(record.startX), FieldText(record.startY),
                                           FieldText(record.speedX), FieldText(record.speedY),
                                           FieldText(record.startFrame), FieldText(record.skipCount)}),
            (std::vector<std::string_view>{"7", "-5", "6", "-7", "8", "9", "10"}));
  EXPECT_EQ((std::vector<std::uint32_t>{record.autoRepeat, record.randomStart, record.soundOn}),
            (std::vector<std::uint32_t>{1, 1, 1}));
}

TEST_F(EditDialogTest, ChoosingAnObjectLoadsItsDefaultsAndChoosingABehaviourTheRandomRule) {
  ZoSpriteData& once = app.AddObject("once", BehaveOneShot);
  once.randomStart = 0;
  once.depth = 77;
  once.startX = -1500, once.startY = 1200, once.speedX = -30, once.speedY = 40;
  once.autoRepeat = 1;
  ZoSpriteData& radial = app.AddObject("radial", BehaveRadial);
  radial.randomStart = 5;
  radial.autoRepeat = 0;
  record.objectTypes.Clear();
  for (const auto& object : app.scene.objects) record.objectTypes.AddString(object->name);
  record.behaviours.Select(BehaveSpecified);
  record.randomStart = 1;
  SetFieldText(record.startFrame, "3");
  SetFieldText(record.skipCount, "4");
  SetFieldText(record.name, "keep");
  record.soundOn = 1;

  std::vector<EditFields> seen;
  std::vector<bool> enabledByBehaviour;
  Run([&](HWND d) {
    seen.push_back(ReadEditDialog(d));  // as opened
    ChooseEntry(d, 113, 1);
    seen.push_back(ReadEditDialog(d));  // the one-shot object
    ChooseEntry(d, 113, 2);
    seen.push_back(ReadEditDialog(d));  // the radial object
    for (int b = BehaveFlow; b <= BehaveSpecified; ++b) {
      ChooseEntry(d, 101, b);
      enabledByBehaviour.push_back(Enabled(d, 105));
    }
    Click(d, IDCANCEL);
  });
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen[0].randomEnabled);  // specified position, but nothing changed yet
  EXPECT_EQ(seen[0].behaviour, BehaveSpecified);
  EXPECT_EQ(seen[1].behaviour, BehaveOneShot);
  EXPECT_FALSE(seen[1].randomEnabled);
  EXPECT_FALSE(seen[1].randomStart);
  EXPECT_TRUE(seen[1].autoRepeat);
  EXPECT_EQ((std::vector<std::wstring>{seen[1].depth, seen[1].startX, seen[1].startY, seen[1].speedX, seen[1].speedY}),
            (std::vector<std::wstring>{L"77", L"-1500", L"1200", L"-30", L"40"}));
  EXPECT_EQ(seen[2].behaviour, -1);  // radial has no entry
  EXPECT_FALSE(seen[2].randomEnabled);
  EXPECT_TRUE(seen[2].randomStart);
  EXPECT_FALSE(seen[2].autoRepeat);
  for (const EditFields& f : seen) {  // never touched by an object's defaults
    EXPECT_EQ(f.name, L"keep");
    EXPECT_EQ(f.startFrame, L"3");
    EXPECT_EQ(f.skipCount, L"4");
    EXPECT_TRUE(f.soundOn);
  }
  EXPECT_EQ(enabledByBehaviour, (std::vector<bool>{true, true, false, true, false}));
  EXPECT_EQ(ZoEditSpriteDialog::RandomStartApplies(BehaveRadial), false);
}

TEST_F(EditDialogTest, UpDownsStepWithinZeroTo128AndLeaveTheOpeningTextsAlone) {
  SetFieldText(record.depth, "127");
  SetFieldText(record.skipCount, "0");
  std::vector<std::wstring> depths, skips;
  Run([&](HWND d) {
    depths.push_back(TextOf(Item(d, 125)));
    for (int id : {115, 117}) {
      int low = -1, high = -1;
      ::SendMessageW(Item(d, id), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
      EXPECT_EQ(low, 0) << id;
      EXPECT_EQ(high, 128) << id;
    }
    for (int i = 0; i < 3; ++i) {  // the up arrow, as the keyboard's up key steps it
      ::SetFocus(Item(d, 125));
      ::SendMessageW(Item(d, 115), WM_KEYDOWN, VK_UP, 0);
      ::SendMessageW(Item(d, 115), WM_KEYUP, VK_UP, 0);
      depths.push_back(TextOf(Item(d, 125)));
      ::SetFocus(Item(d, 116));
      ::SendMessageW(Item(d, 117), WM_KEYDOWN, VK_DOWN, 0);
      ::SendMessageW(Item(d, 117), WM_KEYUP, VK_DOWN, 0);
      skips.push_back(TextOf(Item(d, 116)));
    }
    Click(d, IDCANCEL);
  });
  EXPECT_EQ(depths, (std::vector<std::wstring>{L"127", L"128", L"128", L"128"}));
  EXPECT_EQ(skips, (std::vector<std::wstring>{L"0", L"0", L"0"}));
}

}  // namespace
}  // namespace kelna::test
