// The settings window's File and Help commands, run in-process on the real TApp and its
// real windows; message boxes and file dialogs are answered through the application's
// answers, and what reaches the disk is checked byte for byte.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/app_texts.h"
#include "app/framework/wide.h"
#include "engine/sprite_animation.h"
#include "platform/text.h"
#include "resources/resource_ids.h"
#include "tests/support/bytes.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temporary_folder.h"

namespace kelna {
namespace {

namespace fs = std::filesystem;
using test::ScopedVariable;
using test::TemporaryFolder;

using test::Contents;

void Put(std::string& out, std::int64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(char((value >> (8 * i)) & 0xFF));
}

std::string Field(std::string_view text, std::size_t size) {
  std::string field(text);
  field.resize(size, '\0');
  return field;
}

// An animation file as its format describes it: 32-byte magic, 260-byte object file
// path, count, then one 115-byte record per sprite (name, object, depth, x, y; the other
// fields as a new sprite has them).
struct SpriteLine {
  std::string name, object;
  int depth, x, y;
};

std::string AnimationBytes(const std::string& objectFile, const std::vector<SpriteLine>& sprites) {
  std::string out = Field("AN--1.00", 32) + Field(objectFile, 260);
  Put(out, std::int64_t(sprites.size()), 2);
  for (const SpriteLine& s : sprites) {
    out += Field("AS", 3);
    Put(out, 0, 2);                     // reserved
    out += Field(s.name, 32) + Field(s.object, 32);
    Put(out, s.depth, 2);
    Put(out, 0, 4);                     // behaviour: flow
    Put(out, 1, 4);                     // autoRepeat
    Put(out, 0, 4);                     // randomStart
    Put(out, 0, 4);                     // reserved
    Put(out, 8, 2), Put(out, 8, 2);     // image size
    Put(out, 0, 2), Put(out, 1, 2), Put(out, 0, 2);  // start frame, frame count, skip
    Put(out, s.x, 4), Put(out, s.y, 4);
    Put(out, 0, 4), Put(out, 0, 4);     // speed
    Put(out, 1, 2);                     // sound on
  }
  EXPECT_EQ(out.size(), 294 + 115 * sprites.size());
  return out;
}

// An object file with objects of these names, each with default attributes.
std::string ObjectBytes(const std::vector<std::string>& names) {
  std::ostringstream os(std::ios::binary);
  os << Field("FO--1.00", 32);
  os.put(char(names.size())), os.put(0);
  for (const std::string& name : names) {
    ZoSpriteData object;
    object.name = name;
    object.Write(os);
  }
  return os.str();
}

struct Box {
  std::wstring text, caption;
  UINT style;
};

class SettingsApp : public TApp {
 public:
  using TApp::InitInstance;
};

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    app.answers.messageBox = [this](HWND owner, std::wstring_view text, std::wstring_view caption, UINT style) {
      EXPECT_EQ(owner, Frame().GetHandle()) << "message boxes belong to the main window";
      boxes.push_back({std::wstring(text), std::wstring(caption), style});
      return buttons.empty() ? IDOK : Next(buttons);
    };
    app.answers.fileDialog = [this](TOpenSaveDialog& dialog) {
      initialDirs.push_back(dialog.GetData().InitialDir);
      const std::optional<fs::path> name = files.empty() ? std::nullopt : Next(files);
      if (!name) return IDCANCEL;
      dialog.GetData().FileName = PathToCp932(*name);
      return IDOK;
    };
  }
  void TearDown() override {
    if (started && ::IsWindow(Frame().GetHandle())) Frame().Destroy();
    Pump();
  }

  template <class T>
  static T Next(std::deque<T>& queue) {
    T value = queue.front();
    queue.pop_front();
    return value;
  }

  // Starts the settings window on the settings in CONTROL.INI (if written).
  void Start() {
    app.SetCommandLine(L"kelna.scr /c");
    app.InitInstance();
    started = true;
    Pump();
  }
  TFrameWindow& Frame() { return *app.GetMainWindow(); }
  void Command(UINT id) { Frame().SendMessage(WM_COMMAND, id); }
  std::wstring Caption() { return Frame().GetCaption(); }
  // Whether PM_REDRAW is waiting for the client (it is taken off the queue).
  bool Redrawn() {
    MSG message{};
    bool any = false;
    while (::PeekMessageW(&message, Frame().GetClientWindow()->GetHandle(), PM_REDRAW, PM_REDRAW, PM_REMOVE)) any = true;
    return any;
  }
  static void Pump() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  void WriteIni(const std::string& animationFile) {
    std::ofstream(folder / "CONTROL.INI", std::ios::binary)
        << "[Screen Saver.Vesk]\r\nIntervalTime=80\r\nBGImageFile=C:\\PIC\\SKY.BMP\r\nBGMusicFile=(なし)\r\n"
           "BGImageMode=1\r\nBGMusicRepeat=0\r\nWaveSound=1\r\nAnimationFile="
        << PathToCp932(animationFile) << "\r\n";
  }
  // sea.anm (two sprites of "fish") beside sea.foe (fish, crab), named in CONTROL.INI.
  void StartWithSea() {
    std::ofstream(folder / "sea.foe", std::ios::binary) << ObjectBytes({"fish", "crab"});
    std::ofstream(folder / "sea.anm", std::ios::binary) << SeaBytes();
    WriteIni(Cp932(folder / "sea.anm"));
    Start();
    ASSERT_EQ(app.scene->sprites.size(), 2u);
  }
  std::string SeaBytes() const {
    return AnimationBytes(Cp932(folder / "sea.foe"), {{"a", "fish", 3, 10, 20}, {"b", "fish", 1, -5, 7}});
  }
  static std::string Cp932(const fs::path& path) { return PathToCp932(path); }
  std::vector<std::string> SpriteNames() const {
    std::vector<std::string> names;
    for (const auto& sprite : app.scene->sprites) names.push_back(sprite->Name());
    return names;
  }

  TemporaryFolder folder;
  ScopedVariable configDir{test::Text("KELNA_CONFIG_DIR"), folder.Path().native()};
  SettingsApp app;
  bool started = false;
  std::vector<Box> boxes;
  std::deque<int> buttons;
  std::deque<std::optional<fs::path>> files;
  std::vector<std::string> initialDirs;
};

TEST_F(FileCommands, NewAsksFirstAndOnOkStartsAnEmptyUntitledAnimation) {
  StartWithSea();
  const std::wstring before = Caption();
  buttons = {IDCANCEL};
  Command(CM_FILENEW);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"現在のアニメーションファイルをクリアして、\n新しくファイルを作成しますか？");
  EXPECT_EQ(boxes[0].caption, L"アニメーションファイルの新規作成");
  EXPECT_EQ(boxes[0].style, UINT(MB_OKCANCEL | MB_ICONQUESTION));
  EXPECT_EQ(Caption(), before);
  EXPECT_EQ(app.scene->sprites.size(), 2u);
  EXPECT_FALSE(Redrawn());

  Command(CM_FILENEW);  // OK
  EXPECT_EQ(Caption(), L"ケルナの設定 - untitled.anm -");
  EXPECT_TRUE(app.scene->sprites.empty());
  EXPECT_TRUE(app.scene->objects.empty());
  EXPECT_EQ(app.scene->animationFileName, "untitled.anm");
  EXPECT_EQ(app.scene->objectFileName, texts::kNoFileMarker);
  EXPECT_EQ(app.animFileData->FileName, "untitled.anm");
  EXPECT_EQ(app.objFileData->FileName, texts::kNoFileMarker);
  EXPECT_EQ(app.bgImageFile, texts::kNoFileMarker);
  EXPECT_EQ(app.bgMusicFile, texts::kNoFileMarker);
  EXPECT_EQ(app.intervalTime, 80);  // the other settings stay
  EXPECT_EQ(app.bgImageMode, 1);
  EXPECT_TRUE(Redrawn());
  EXPECT_EQ(Contents(folder / "sea.anm"), SeaBytes()) << "nothing is written";
}

TEST_F(FileCommands, OpenReadsTheAnimationWithItsObjects) {
  Start();
  std::ofstream(folder / "sea.foe", std::ios::binary) << ObjectBytes({"fish"});
  std::ofstream(folder / "sea.anm", std::ios::binary) << SeaBytes();
  files = {folder / "sea.anm"};
  Command(CM_FILEOPEN);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(SpriteNames(), (std::vector<std::string>{"a", "b"}));  // deepest first
  ASSERT_EQ(app.scene->objects.size(), 1u);
  EXPECT_EQ(app.scene->sprites[0]->spriteData, app.scene->objects[0].get());
  EXPECT_EQ(app.scene->animationFileName, Cp932(folder / "sea.anm"));
  EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -");
  EXPECT_TRUE(Redrawn());
}

TEST_F(FileCommands, AFailedOpenSaysSoAndTheCurrentFileStaysTheOneTheCaptionNames) {
  StartWithSea();
  const std::string seaAnm = Cp932(folder / "sea.anm");
  const std::string good = SeaBytes();
  const struct {
    const char* what;
    std::optional<std::string> content;
  } cases[] = {
      {"not an animation file", std::string("just some text")},
      {"cut short", good.substr(0, good.size() - 1)},
      {"missing", std::nullopt},
  };
  for (const auto& c : cases) {
    boxes.clear();
    const fs::path chosen = folder / "chosen.anm";
    fs::remove(chosen);
    if (c.content) std::ofstream(chosen, std::ios::binary) << *c.content;
    files = {chosen};
    Command(CM_FILEOPEN);
    ASSERT_EQ(boxes.size(), 1u) << c.what;
    EXPECT_EQ(boxes[0].text, L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが読込めませんでした．") << c.what;
    EXPECT_EQ(boxes[0].caption, L"") << c.what;
    EXPECT_EQ(boxes[0].style, UINT(MB_OK)) << c.what;
    EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -") << c.what;
    EXPECT_EQ(app.animFileData->FileName, seaAnm) << c.what;
    EXPECT_EQ(SpriteNames(), (std::vector<std::string>{"a", "b"})) << c.what;
    EXPECT_FALSE(Redrawn()) << c.what;
  }
  // A later Save writes to the file the caption names, never to the one that failed.
  app.scene->sprites[0]->x = 11;
  Command(CM_FILESAVE);
  EXPECT_EQ(Contents(folder / "chosen.anm"), "") << "the failed file is left alone";
  EXPECT_NE(Contents(folder / "sea.anm"), good);
}

TEST_F(FileCommands, AnAnimationWhoseObjectFileIsMissingShowsItsSpritesAndBecomesCurrent) {
  StartWithSea();
  std::ofstream(folder / "lake.anm", std::ios::binary)
      << AnimationBytes(Cp932(folder / "gone.foe"), {{"pike", "fish", 2, 0, 0}});
  files = {folder / "lake.anm"};
  Command(CM_FILEOPEN);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが読込めませんでした．");
  EXPECT_EQ(SpriteNames(), std::vector<std::string>{"pike"});
  EXPECT_EQ(app.scene->sprites[0]->spriteData, nullptr);
  EXPECT_EQ(Caption(), L"ケルナの設定 - lake.anm -");
  EXPECT_EQ(app.animFileData->FileName, Cp932(folder / "lake.anm"));
  EXPECT_TRUE(Redrawn());
}

TEST_F(FileCommands, SaveWritesTheAnimationAndThenTheSettings) {
  StartWithSea();
  app.scene->sprites[1]->x = -6;
  app.bgImageMode = 2;
  Command(CM_FILESAVE);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Contents(folder / "sea.anm"),
            AnimationBytes(Cp932(folder / "sea.foe"), {{"a", "fish", 3, 10, 20}, {"b", "fish", 1, -6, 7}}));
  EXPECT_EQ(Contents(folder / "CONTROL.INI"),
            "[Screen Saver.Vesk]\r\nIntervalTime=80\r\nBGImageFile=C:\\PIC\\SKY.BMP\r\nBGMusicFile=(なし)\r\n"
            "BGImageMode=2\r\nBGMusicRepeat=0\r\nWaveSound=1\r\nAnimationFile=" + Cp932(folder / "sea.anm") + "\r\n");
  EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -");
  EXPECT_FALSE(Redrawn());
}

TEST_F(FileCommands, AFailedSaveSaysSoAndWritesNoSettings) {
  StartWithSea();
  const std::string ini = Contents(folder / "CONTROL.INI");
  app.animFileData->FileName = Cp932(folder / "no such folder" / "x.anm");
  app.intervalTime = 300;
  EXPECT_EQ(app.FileSave(), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．\nﾌｧｲﾙ名が異常かも知れません．");
  EXPECT_EQ(boxes[0].caption, L"エラー");
  EXPECT_EQ(boxes[0].style, UINT(MB_ICONINFORMATION | MB_OK));
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), ini);
  // The "(なし)" name is never a file.
  app.animFileData->FileName = texts::kNoFileMarker;
  EXPECT_EQ(app.FileSave(), 0);
  EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(FileCommands, SaveAsWritesTheNewFileNamesItInTheSettingsAndTheCaption) {
  StartWithSea();
  files = {std::nullopt};  // cancelled: nothing happens
  Command(CM_FILESAVEAS);
  EXPECT_FALSE(fs::exists(folder / "copy.anm"));
  files = {folder / "copy.anm"};
  Command(CM_FILESAVEAS);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Contents(folder / "copy.anm"), SeaBytes());
  EXPECT_NE(Contents(folder / "CONTROL.INI").find("AnimationFile=" + Cp932(folder / "copy.anm") + "\r\n"),
            std::string::npos);
  EXPECT_EQ(Caption(), L"ケルナの設定 - copy.anm -");
  EXPECT_EQ(app.scene->animationFileName, Cp932(folder / "copy.anm"));
  EXPECT_TRUE(Redrawn());
}

TEST_F(FileCommands, AFailedSaveAsSaysSoAndKeepsTheCurrentFile) {
  StartWithSea();
  const std::string ini = Contents(folder / "CONTROL.INI");
  files = {folder / "no such folder" / "copy.anm"};
  Command(CM_FILESAVEAS);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．");
  EXPECT_EQ(boxes[0].caption, L"");
  EXPECT_EQ(boxes[0].style, UINT(MB_OK));
  EXPECT_EQ(Contents(folder / "CONTROL.INI"), ini);
  EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -");
  EXPECT_EQ(app.animFileData->FileName, Cp932(folder / "sea.anm"));
  EXPECT_FALSE(Redrawn());
}

TEST_F(FileCommands, ObjectFilesReplaceTheObjectsOnlyWhenTheyRead) {
  StartWithSea();
  const std::string good = ObjectBytes({"whale", "fish"});
  const struct {
    const char* what;
    std::string content;
  } broken[] = {
      {"cut short", good.substr(0, good.size() - 3)},
      {"another magic", "FO--2.00" + good.substr(8)},
      {"a count beyond the file", good.substr(0, 32) + "\x7F\x7F"},
  };
  for (const auto& c : broken) {
    boxes.clear();
    std::ofstream(folder / "bad.foe", std::ios::binary) << c.content;
    files = {folder / "bad.foe"};
    Command(CM_OBJECTFILEOPEN);
    ASSERT_EQ(boxes.size(), 1u) << c.what;
    EXPECT_EQ(boxes[0].text, L"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙが読込めませんでした．") << c.what;
    EXPECT_EQ(boxes[0].style, UINT(MB_OK)) << c.what;
    EXPECT_EQ(app.scene->objects.size(), 2u) << c.what;
    EXPECT_EQ(app.scene->objectFileName, Cp932(folder / "sea.foe")) << c.what;
    EXPECT_FALSE(Redrawn()) << c.what;
  }
  std::ofstream(folder / "ocean.foe", std::ios::binary) << good;
  files = {folder / "ocean.foe"};
  boxes.clear();
  Command(CM_OBJECTFILEOPEN);
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(app.scene->objects.size(), 2u);
  EXPECT_EQ(app.scene->objects[0]->name, "whale");
  EXPECT_EQ(app.scene->sprites[0]->spriteData, app.scene->objects[1].get()) << "tied to the new fish";
  EXPECT_EQ(app.scene->objectFileName, Cp932(folder / "ocean.foe"));
  EXPECT_EQ(Caption(), L"ケルナの設定 - sea.anm -");
  EXPECT_TRUE(Redrawn());
}

TEST_F(FileCommands, BackgroundFilesAreChosenOrClearedAndReachTheSettingsOnSave) {
  StartWithSea();
  // The image dialog opens where the current image is, then where the last one was chosen.
  files = {fs::path("D:\\ART\\NIGHT.BMP"), std::nullopt};
  Command(CM_BGIMAGEFILEOPEN);
  EXPECT_EQ(app.bgImageFile, "D:\\ART\\NIGHT.BMP");
  EXPECT_TRUE(Redrawn());
  Command(CM_BGIMAGEFILEOPEN);  // cancelled
  EXPECT_EQ(app.bgImageFile, "D:\\ART\\NIGHT.BMP");
  EXPECT_FALSE(Redrawn());
  EXPECT_EQ(initialDirs, (std::vector<std::string>{"C:\\PIC\\", "D:\\ART\\"}));

  files = {fs::path("E:\\SOUND\\SONG.MID")};
  Command(CM_BGMUSICFILEOPEN);
  EXPECT_EQ(app.bgMusicFile, "E:\\SOUND\\SONG.MID");
  EXPECT_EQ(initialDirs.back(), "");  // no music before: the dialog's own start
  EXPECT_TRUE(Redrawn());

  Command(CM_NOBGIMAGE);
  EXPECT_TRUE(Redrawn());
  Command(CM_NOBGMUSIC);
  EXPECT_TRUE(Redrawn());
  EXPECT_EQ(app.bgImageFile, "");
  EXPECT_EQ(app.bgMusicFile, "");
  Command(CM_FILESAVE);
  const std::string ini = Contents(folder / "CONTROL.INI");
  EXPECT_NE(ini.find("\r\nBGImageFile=\r\nBGMusicFile=\r\n"), std::string::npos) << ini;
}

}  // namespace
}  // namespace kelna
