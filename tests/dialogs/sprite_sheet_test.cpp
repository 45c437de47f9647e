// The sprite sheet of the settings window: its headings and widths, each column's text for
// sprites of every kind, and how the rows follow the scene.

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "app/framework/wide.h"
#include "dialogs/dialog_texts.h"
#include "dialogs/spread.h"
#include "resources/resource_ids.h"
#include "tests/dialogs/dialog_test_support.h"

namespace kelna::test {
namespace {

using Row = std::vector<std::wstring>;

TEST(SpriteSheet, HeadingsAndWidthsInCharactersOfTheDialogFont) {
  SettingsApp app;
  SettingsWindow window(app);
  const std::wstring headings[] = {L"ｽﾌﾟﾗｲﾄ名", L"ｵﾌﾞｼﾞｪｸﾄ名", L"動作ﾀｲﾌﾟ", L"深さ",   L"ｵｰﾄﾘﾋﾟｰﾄ",
                                   L"ﾗﾝﾀﾞﾑｽﾀｰﾄ", L"ｽﾀｰﾄX",     L"ｽﾀｰﾄY",   L"速度X",  L"速度Y",
                                   L"ｲﾒｰｼﾞW",    L"ｲﾒｰｼﾞH",    L"開始ﾌﾚｰﾑ", L"ﾌﾚｰﾑ数", L"ｽｷｯﾌﾟ数",
                                   L"ｻｳﾝﾄﾞ"};
  const int widthsInChars[] = {10, 12, 10, 6, 10, 11, 7, 7, 7, 7, 8, 8, 10, 8, 9, 7};
  RECT unit{0, 0, 4, 0};  // four dialog units: the font's average character width
  ASSERT_TRUE(::MapDialogRect(window.Dialog(), &unit));
  ASSERT_EQ(ColumnCount(window.Sheet()), 17);  // the row numbers and 16 data columns
  for (int col = 1; col <= 16; ++col) {
    EXPECT_EQ(Heading(window.Sheet(), col), headings[col - 1]) << col;
    EXPECT_EQ(::SendMessageW(window.Sheet(), LVM_GETCOLUMNWIDTH, col, 0), widthsInChars[col - 1] * unit.right)
        << col;
  }
  EXPECT_EQ(::SendMessageW(window.Sheet(), LVM_GETITEMCOUNT, 0, 0), 0);  // an empty scene: no rows
  const auto extended = ::SendMessageW(window.Sheet(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  EXPECT_EQ(extended & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

TEST(SpriteSheet, EveryColumnFollowsTheSpritesFields) {
  SettingsApp app;
  struct Case {
    const char* name;
    int depth, behaviour, autoRepeat, randomStart, x, y, speedX, speedY;
    int width, height, startFrame, frameCount, skipCount, soundOn;
    Row expected;  // columns 1..16
  };
  const Case cases[] = {
      {"流れ星", 90, 0, 1, 1, 10, 20, -20, 3, 32, 48, 0, 4, 1, 1,
       {L"流れ星", L"cat", L"流れ", L"90", L"ON", L"ON", L"10", L"20", L"-20", L"3", L"32", L"48", L"0", L"4", L"1", L"ON"}},
      {"bounce", 80, 1, 0, 2, -2000, -1, 0, -1000, 65535, 1, 3, 12, 0, 0,
       {L"bounce", L"cat", L"ﾊﾞｳﾝﾄﾞ", L"80", L"OFF", L"OFF", L"-2000", L"-1", L"0", L"-1000", L"65535", L"1", L"3", L"12", L"0", L"OFF"}},
      {"once", 70, 2, 2, 0, 0, 0, 7, 7, 0, 0, 65535, 40000, 32768, 2,
       {L"once", L"cat", L"１ｼｮｯﾄ", L"70", L"OFF", L"OFF", L"0", L"0", L"7", L"7", L"0", L"0", L"-1", L"-25536", L"-32768", L"OFF"}},
      {"walk", 60, 3, -1, 1, 5, 5, 1, 1, 8, 8, 1, 2, 128, -1,
       {L"walk", L"cat", L"ﾗﾝﾀﾞﾑｳｫｰｸ", L"60", L"OFF", L"ON", L"5", L"5", L"1", L"1", L"8", L"8", L"1", L"2", L"128", L"OFF"}},
      {"fixed", 50, 4, 1, 0, 1999, -1999, 999, -999, 1, 2, 0, 1, 0, 1,
       {L"fixed", L"cat", L"指定位置", L"50", L"ON", L"OFF", L"1999", L"-1999", L"999", L"-999", L"1", L"2", L"0", L"1", L"0", L"ON"}},
      {"radial", 40, 5, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
       {L"radial", L"cat", L"", L"40", L"ON", L"ON", L"0", L"0", L"0", L"0", L"0", L"0", L"0", L"0", L"0", L"ON"}},
      {"broken", -3, 9, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,  // a behaviour no file should hold
       {L"broken", L"cat", L"", L"-3", L"ON", L"ON", L"0", L"0", L"0", L"0", L"0", L"0", L"0", L"0", L"0", L"ON"}},
  };
  for (const Case& c : cases) {
    ZoAnimatedSprite& s = app.AddSprite(c.name, c.depth);
    s.behaviour = c.behaviour;
    s.autoRepeat = c.autoRepeat;
    s.randomStart = c.randomStart;
    s.x = c.x, s.y = c.y, s.speedX = c.speedX, s.speedY = c.speedY;
    s.imageWidth = static_cast<std::uint16_t>(c.width);
    s.imageHeight = static_cast<std::uint16_t>(c.height);
    s.startFrame = static_cast<std::uint16_t>(c.startFrame);
    s.frameCount = static_cast<std::uint16_t>(c.frameCount);
    s.skipCount = static_cast<std::uint16_t>(c.skipCount);
    s.soundOn = c.soundOn;
  }
  SettingsWindow window(app);
  const auto rows = SheetRows(window.Sheet());
  ASSERT_EQ(rows.size(), std::size(cases));  // the cases' depths are in sheet order already
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_wstring(i + 1));  // the row number
    EXPECT_EQ(Row(rows[i].begin() + 1, rows[i].end()), cases[i].expected) << cases[i].name;
  }
}

TEST(SpriteSheet, RowsFollowTheListsDepthOrderAndEveryChange) {
  SettingsApp app;
  app.AddObject("cat", BehaveFlow);
  for (const auto& [name, depth] : std::vector<std::pair<const char*, int>>{{"a", 5}, {"b", 50}, {"c", 20}, {"d", 20}}) {
    app.AddSprite(name, depth);
  }
  SettingsWindow window(app);
  EXPECT_EQ(SheetColumn(window.Sheet(), 1), (Row{L"b", L"c", L"d", L"a"}));
  EXPECT_EQ(SheetColumn(window.Sheet(), 4), (Row{L"50", L"20", L"20", L"5"}));

  SelectSheetRow(window.Sheet(), 2);
  window.Menu(CM_DELSPRITE);  // the rows below move up; the last row goes
  EXPECT_EQ(SheetColumn(window.Sheet(), 1), (Row{L"b", L"d", L"a"}));
  EXPECT_EQ(app.SpriteNames(), (std::vector<std::string>{"b", "d", "a"}));
  EXPECT_EQ(SheetColumn(window.Sheet(), 0), (Row{L"1", L"2", L"3"}));
}

TEST(SpriteSheet, ShowsEverySpriteAlsoPastTheDeclaredRowsAndNeverStaleRows) {
  SettingsApp app;
  for (int i = 0; i < 70; ++i) app.AddSprite(("s" + std::to_string(i)).c_str(), 100 - i);
  SettingsWindow window(app);
  auto names = SheetColumn(window.Sheet(), 1);
  ASSERT_EQ(names.size(), 70u);
  EXPECT_EQ(names[69], L"s69");
  EXPECT_EQ(SheetColumn(window.Sheet(), 0)[69], L"70");

  SelectSheetRow(window.Sheet(), 70);
  window.Menu(CM_DELSPRITE);  // the last sprite, past row 65
  names = SheetColumn(window.Sheet(), 1);
  ASSERT_EQ(names.size(), 69u);
  EXPECT_EQ(names.back(), L"s68");
  EXPECT_EQ(SelectedSheetRow(window.Sheet()), 0);  // the selected row is gone: nothing active
  window.Menu(CM_DELSPRITE);                      // so this deletes nothing
  EXPECT_EQ(app.scene.sprites.size(), 69u);
}

TEST(SpriteSheet, FillsFiveHundredSprites) {
  SettingsApp app;
  for (int i = 0; i < 500; ++i) app.AddSprite(("sprite" + std::to_string(i)).c_str(), i % 129);
  SettingsWindow window(app);
  const auto start = std::chrono::steady_clock::now();
  window.dialog->SetSpreadSheet();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::cout << "[ measured ] sheet filled with 500 sprites in "
            << std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() / 1000.0 << " ms\n";
  const auto rows = SheetRows(window.Sheet());
  ASSERT_EQ(rows.size(), 500u);
  EXPECT_EQ(rows.back()[1], Wide(app.scene.sprites.back()->Name()));
  EXPECT_EQ(rows.back()[0], L"500");
}

// The grid on its own, through its interface.
class SpreadDialog : public TDialog {
 public:
  explicit SpreadDialog(TWindow* parent) : TDialog(parent, KELNA_OPTION_DIALOG_ID), spread(this, 107) {}
  TSpread spread;
};

TEST(Spread, CellsRowsClearingAndTheActiveCell) {
  TFrameWindow host(nullptr, L"host");
  host.Create();
  SpreadDialog dialog(&host);
  dialog.Create();
  TSpread& s = dialog.spread;
  HWND list = s.GetHandle();
  s.SSSetMaxCols(3);
  s.SSSetMaxRows(5);
  int col = -1, row = -1;
  s.SSGetActiveCell(&col, &row);
  EXPECT_EQ(row, 0);  // nothing selected yet: no data row
  EXPECT_EQ(col, 0);

  s.SSSetData(2, 3, "x");  // rows grow up to the one written
  s.SSSetData(4, 1, "beyond the last column");
  s.SSSetData(0, 1, "row numbers are the sheet's own");
  EXPECT_EQ(SheetRows(list), (std::vector<Row>{{L"1", L"", L"", L""}, {L"2", L"", L"", L""}, {L"3", L"", L"x", L""}}));

  s.SSSetData(1, 1, "a");
  s.SSSetData(3, 2, "b");
  s.SSClearRange(1, 1, 2, 2);  // part of the columns: cells emptied, rows kept
  EXPECT_EQ(SheetRows(list), (std::vector<Row>{{L"1", L"", L"", L""}, {L"2", L"", L"", L"b"}, {L"3", L"", L"x", L""}}));

  SelectSheetRow(list, 2);
  s.SSGetActiveCell(&col, &row);
  EXPECT_EQ(row, 2);
  s.SSClearRange(1, 2, 4, 5);  // whole rows to the last: dropped, the selection remembered
  EXPECT_EQ(SheetRows(list).size(), 1u);
  s.SSGetActiveCell(&col, &row);
  EXPECT_EQ(row, 0);
  s.SSSetData(1, 3, "again");  // written anew: row 2 is selected again
  s.SSGetActiveCell(&col, &row);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(col, 1);

  s.SSSetLock(-1, -1, true);
  EXPECT_TRUE(s.IsLocked());
  EXPECT_EQ(::GetWindowLongPtrW(list, GWL_STYLE) & LVS_EDITLABELS, 0);
  s.SSSetMaxCols(2);  // columns past the new count go
  EXPECT_EQ(ColumnCount(list), 3);
}

TEST(DialogTexts, CodePage932ConstantsMatchTheirSpelling) {
  const char* headings[] = {"ｽﾌﾟﾗｲﾄ名", "ｵﾌﾞｼﾞｪｸﾄ名", "動作ﾀｲﾌﾟ", "深さ",   "ｵｰﾄﾘﾋﾟｰﾄ", "ﾗﾝﾀﾞﾑｽﾀｰﾄ",
                            "ｽﾀｰﾄX",   "ｽﾀｰﾄY",     "速度X",    "速度Y",  "ｲﾒｰｼﾞW",   "ｲﾒｰｼﾞH",
                            "開始ﾌﾚｰﾑ", "ﾌﾚｰﾑ数",    "ｽｷｯﾌﾟ数",  "ｻｳﾝﾄﾞ"};
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(texts::kSheetHeadings[i], Utf8ToCp932(headings[i])) << i;
  EXPECT_STREQ(texts::kNewSpriteName, "newsprite");
  EXPECT_STREQ(texts::kNoObjectName, "None");
}

}  // namespace
}  // namespace kelna::test
