// The application object: mode choice, caption, and the settings kept in CONTROL.INI.

#include "app/app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "app/app_texts.h"
#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "saver/preview_window.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

using test::ScopedVariable;
using test::TemporaryFolder;

std::string Sjis(const char8_t* utf8) {
  return Utf8ToCp932(std::string_view(reinterpret_cast<const char*>(utf8)));
}

TEST(AppTexts, AreTheShiftJisOfTheirUtf8Spelling) {
  EXPECT_EQ(texts::kAppTitle, Sjis(u8"ケルナの設定"));
  EXPECT_EQ(texts::kNoFileMarker, Sjis(u8"(なし)"));
  EXPECT_EQ(texts::kAnimationFilter, Sjis(u8"ｱﾆﾒｰｼｮﾝﾌｧｲﾙ (*.anm)|*.anm|すべてのﾌｧｲﾙ(*.*)|*.*|"));
  EXPECT_EQ(texts::kObjectFilter, Sjis(u8"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙ (*.foe)|*.foe|すべてのﾌｧｲﾙ(*.*)|*.*|"));
  EXPECT_EQ(texts::kBgImageFilter, Sjis(u8"背景ｲﾒｰｼﾞﾌｧｲﾙ (*.bmp)|*.bmp|すべてのﾌｧｲﾙ(*.*)|*.*|"));
  EXPECT_EQ(texts::kBgMusicFilter, Sjis(u8"BGMﾌｧｲﾙ (*.mid)|*.mid|すべてのﾌｧｲﾙ(*.*)|*.*|"));
}

TEST(AppMode, OnlyTheFirstTwoCharactersCount) {
  using Mode = TApp::Mode;
  const struct {
    const char* commandLine;
    Mode mode;
  } cases[] = {
      {"/s", Mode::Saver},      {"-s", Mode::Saver},         {"/S", Mode::Saver},
      {"-S", Mode::Saver},      {"/save", Mode::Saver},      // the rest is ignored
      {"/c:1234", Mode::Settings}, {"/C", Mode::Settings},   {"-c", Mode::Settings},
      {"/p 1234", Mode::Preview},  {"-P", Mode::Preview},
      {"s", Mode::None},        // no '/' or '-'
      {"/x", Mode::None},       {"", Mode::None},            {"/", Mode::None},
      {" /s", Mode::None},      // the first character must be the switch
  };
  for (const auto& c : cases) EXPECT_EQ(TApp::ModeOf(c.commandLine), c.mode) << c.commandLine;
}

TEST(AppCaption, IsTheTitleAndTheFileNameWithItsExtension) {
  const std::string title = texts::kAppTitle;
  EXPECT_EQ(TApp::MakeCaption("C:\\ANIM\\FISH.ANM"), title + " - FISH.ANM -");
  EXPECT_EQ(TApp::MakeCaption("D:\\WORK\\A.ANM"), title + " - A.ANM -");
  EXPECT_EQ(TApp::MakeCaption("untitled.anm"), title + " - untitled.anm -");
  EXPECT_EQ(TApp::MakeCaption(""), title + " -  -");
  // A folder whose name ends in a byte that looks like a backslash (ソ is 83 5C).
  EXPECT_EQ(TApp::MakeCaption("C:\\" + Sjis(u8"ソフト") + "\\" + Sjis(u8"魚ソ.anm")),
            title + " - " + Sjis(u8"魚ソ.anm") + " -");
}

TEST(AppCaption, FitsTheCaptionBufferWithoutCuttingACharacter) {
  // 12 bytes of title, " - ", 250 bytes of name: more than the 259 bytes the buffer holds.
  const std::string longName(250, 'a');
  const std::string caption = TApp::MakeCaption("C:\\" + longName);
  EXPECT_EQ(caption.size(), 259u);
  // Double-byte characters are never cut in half: after the 15 bytes of title and " - ",
  // 122 characters of 2 bytes end at byte 259; the 123rd would end at byte 261.
  std::string kana;
  for (int i = 0; i < 130; ++i) kana += Sjis(u8"ア");
  const std::string fitted = TApp::MakeCaption(kana);
  EXPECT_EQ(fitted.size(), 15u + 2 * 122);
  EXPECT_EQ(Cp932ToUtf16(fitted).find(u'\uFFFD'), std::u16string::npos);
}

TEST(PreviewWindow, IconSitsInTheMiddleRoundedTowardsZero) {
  const struct {
    int hostWidth, hostHeight, x, y;
  } cases[] = {
      {152, 112, 60, 40},  // preview 153 x 113
      {30, 30, 0, 0},      // preview 31: (31 - 32) / 2 truncates to 0
      {29, 28, -1, -1},    // preview 30 and 29: the icon is clipped
      {0, 0, -15, -15},
  };
  for (const auto& c : cases) {
    const POINT at = TSmallWindow::IconPosition(c.hostWidth + 1, c.hostHeight + 1);
    EXPECT_EQ(at.x, c.x) << c.hostWidth;
    EXPECT_EQ(at.y, c.y) << c.hostHeight;
  }
}

TEST(PreviewWindow, FillsItsHostAndDrawsTheIconInTheMiddle) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 152, 112,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  {
    TWindow foreign(host);
    TSmallWindow preview(&foreign);
    preview.Create();
    const RECT rect = preview.GetWindowRect();
    EXPECT_EQ(rect.right - rect.left, 153);
    EXPECT_EQ(rect.bottom - rect.top, 113);
    ::UpdateWindow(preview.GetHandle());
    HDC dc = ::GetDC(preview.GetHandle());
    const COLORREF background = ::GetSysColor(COLOR_WINDOW);
    EXPECT_EQ(::GetPixel(dc, 5, 5), background);
    EXPECT_EQ(::GetPixel(dc, 59, 56), background);       // just left of the icon
    EXPECT_NE(::GetPixel(dc, 60 + 16, 40 + 16), background);  // the icon's middle
    ::ReleaseDC(preview.GetHandle(), dc);
  }
  ::DestroyWindow(host);
}

// --- CONTROL.INI --------------------------------------------------------------------------

class AppSettings : public ::testing::Test {
 protected:
  std::filesystem::path Ini() const { return folder / "CONTROL.INI"; }
  void WriteIni(const std::string& text) const {
    std::ofstream(Ini(), std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream in(Ini(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  TemporaryFolder folder;
  ScopedVariable configDir{test::Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  TApp app;
};

TEST_F(AppSettings, AbsentFileGivesTheDefaults) {
  app.ReadControlIni();
  EXPECT_EQ(app.intervalTime, 50);
  EXPECT_EQ(app.bgImageFile, texts::kNoFileMarker);
  EXPECT_EQ(app.bgMusicFile, texts::kNoFileMarker);
  EXPECT_EQ(app.bgImageMode, 0);
  EXPECT_EQ(app.bgMusicRepeat, 1);
  EXPECT_EQ(app.waveSound, 1);
  EXPECT_EQ(app.animFileData->FileName, "untitled.anm");
  EXPECT_FALSE(std::filesystem::exists(Ini()));  // reading never creates the file
}

TEST_F(AppSettings, ValuesAreUsedAsReadWithoutRangeChecks) {
  WriteIni("[Screen Saver.Vesk]\r\n"
           "IntervalTime=120ms\r\n"
           "BGImageFile=\r\n"            // empty: no image
           "BGMusicFile=C:\\MUSIC\\A.MID\r\n"
           "BGImageMode=7\r\n"           // kept; only 2 means the desktop
           "BGMusicRepeat=0\r\n"
           "WaveSound=abc\r\n"           // no digits: 0
           "AnimationFile=\r\n");        // empty: nothing is read at start
  app.ReadControlIni();
  EXPECT_EQ(app.intervalTime, 120);
  EXPECT_EQ(app.bgImageFile, texts::kNoFileMarker);
  EXPECT_EQ(app.bgMusicFile, "C:\\MUSIC\\A.MID");
  EXPECT_EQ(app.bgImageMode, 7);
  EXPECT_EQ(app.bgMusicRepeat, 0);
  EXPECT_EQ(app.waveSound, 0);
  EXPECT_EQ(app.animFileData->FileName, "");
}

TEST_F(AppSettings, IntervalWithoutDigitsIsZero) {
  WriteIni("[screen saver.vesk]\nintervaltime=abc\n");  // names match in any case
  app.ReadControlIni();
  EXPECT_EQ(app.intervalTime, 0);
}

TEST_F(AppSettings, WriteThenReadGivesTheSameValues) {
  app.intervalTime = -20;
  app.bgImageFile = "C:\\" + Sjis(u8"背景") + "\\SKY.BMP";
  app.bgMusicFile = "";  // after "none" in the menu: comes back as the marker
  app.bgImageMode = 2;
  app.bgMusicRepeat = 0;
  app.waveSound = 0;
  app.animFileData->FileName = "D:\\WORK\\A.ANM";
  ASSERT_EQ(app.WriteControlIni(), 1);

  TApp reread;
  reread.ReadControlIni();
  EXPECT_EQ(reread.intervalTime, -20);
  EXPECT_EQ(reread.bgImageFile, app.bgImageFile);
  EXPECT_EQ(reread.bgMusicFile, texts::kNoFileMarker);
  EXPECT_EQ(reread.bgImageMode, 2);
  EXPECT_EQ(reread.bgMusicRepeat, 0);
  EXPECT_EQ(reread.waveSound, 0);
  EXPECT_EQ(reread.animFileData->FileName, "D:\\WORK\\A.ANM");
  EXPECT_NE(ReadIni().find("BGMusicFile=\r\n"), std::string::npos);  // stored empty
}

TEST_F(AppSettings, RewritingKeepsEverythingElse) {
  WriteIni("; desktop settings\r\n"
           "[Desktop]\r\n"
           "Wallpaper=C:\\WINDOWS\\SKY.BMP\r\n"
           "\r\n"
           "[Screen Saver.Vesk]\r\n"
           "IntervalTime=50\r\n"
           "Extra=kept\r\n"
           "\r\n"
           "[Other]\r\n"
           "Key=Value\r\n");
  app.ReadControlIni();
  app.intervalTime = 100;
  ASSERT_EQ(app.WriteControlIni(), 1);
  const std::string none = texts::kNoFileMarker;
  EXPECT_EQ(ReadIni(),
            "; desktop settings\r\n"
            "[Desktop]\r\n"
            "Wallpaper=C:\\WINDOWS\\SKY.BMP\r\n"
            "\r\n"
            "[Screen Saver.Vesk]\r\n"
            "IntervalTime=100\r\n"
            "Extra=kept\r\n"
            "BGImageFile=" + none + "\r\n"
            "BGMusicFile=" + none + "\r\n"
            "BGImageMode=0\r\n"
            "BGMusicRepeat=1\r\n"
            "WaveSound=1\r\n"
            "AnimationFile=untitled.anm\r\n"
            "\r\n"
            "[Other]\r\n"
            "Key=Value\r\n");
}

TEST_F(AppSettings, AFailedWriteIsReportedAndLeavesTheFileAlone) {
  WriteIni("[Screen Saver.Vesk]\r\nIntervalTime=75\r\n");
  // The settings folder becomes unusable: a regular file stands where it should be.
  const ScopedVariable badDir(test::Text("KELNA_CONFIG_DIR"), (folder / "CONTROL.INI" / "sub").native());
  app.intervalTime = 10;
  EXPECT_EQ(app.WriteControlIni(), 0);
  EXPECT_EQ(ReadIni(), "[Screen Saver.Vesk]\r\nIntervalTime=75\r\n");
}


TEST_F(AppSettings, StartReadsTheAnimationWithItsObjectsInEveryMode) {
  // An object file with one object, and an animation of two sprites that show it.
  ZoSpriteData fish;
  fish.name = "fish";
  std::ostringstream objects;
  objects << "FO--1.00" << std::string(24, '\0') << '\x01' << '\0';
  fish.Write(objects);
  std::ofstream(folder / "sea.foe", std::ios::binary) << objects.str();
  ZoSpriteAnimation source;
  source.objectFileName = PathToCp932(folder / "sea.foe");
  source.NewSprite()->SetObjectName("fish");
  source.NewSprite()->SetObjectName("fish");
  ASSERT_EQ(source.Write(PathToCp932(folder / "sea.anm").c_str()), 1);

  WriteIni("[Screen Saver.Vesk]\r\nAnimationFile=" + PathToCp932(folder / "sea.anm") + "\r\n");
  struct StartingApp : TApp {
    using TApp::InitMainWindow;
  } starting;
  starting.SetCommandLine(L"/c");
  starting.InitMainWindow();
  ASSERT_EQ(starting.scene->sprites.size(), 2u);
  ASSERT_EQ(starting.scene->objects.size(), 1u);
  EXPECT_EQ(starting.scene->sprites[0]->spriteData, starting.scene->objects[0].get());
  EXPECT_EQ(starting.scene->objects[0]->useCount, 2);
}

}  // namespace
}  // namespace kelna
