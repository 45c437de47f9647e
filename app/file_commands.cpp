// The settings window's File and Help commands: new, open, save and save as of animation
// files, loading an object file, choosing or clearing the background image and music, and
// the About box. Each change is shown by the settings dialog after PM_REDRAW.

#include "app/about_dialog.h"
#include "app/app.h"
#include "app/app_texts.h"
#include "app/framework/wide.h"
#include "engine/sprite_animation.h"
#include "platform/runtime.h"
#include "resources/resource_ids.h"

namespace kelna {

namespace {

constexpr wchar_t kNewQuestion[] = L"現在のアニメーションファイルをクリアして、\n新しくファイルを作成しますか？";
constexpr wchar_t kNewCaption[] = L"アニメーションファイルの新規作成";
constexpr wchar_t kOpenFailed[] = L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが読込めませんでした．";
constexpr wchar_t kSaveFailed[] = L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．\nﾌｧｲﾙ名が異常かも知れません．";
constexpr wchar_t kSaveAsFailed[] = L"ｱﾆﾒｰｼｮﾝﾌｧｲﾙが保存できませんでした．";
constexpr wchar_t kObjectsFailed[] = L"ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙが読込めませんでした．";
constexpr wchar_t kSettingsFailed[] = L"設定ファイル CONTROL.INI が保存できませんでした．";
constexpr wchar_t kErrorCaption[] = L"エラー";

}  // namespace

const TResponseTable& TApp::Table() {
  static constexpr TResponseEntry entries[] = {
      OnCommand<&TApp::CmFileNew>(CM_FILENEW),
      OnCommand<&TApp::CmFileOpen>(CM_FILEOPEN),
      OnCommand<&TApp::CmFileSave>(CM_FILESAVE),
      OnCommand<&TApp::CmFileSaveAs>(CM_FILESAVEAS),
      OnCommand<&TApp::CmObjectFileOpen>(CM_OBJECTFILEOPEN),
      OnCommand<&TApp::CmBgImageFileOpen>(CM_BGIMAGEFILEOPEN),
      OnCommand<&TApp::CmBgMusicFileOpen>(CM_BGMUSICFILEOPEN),
      OnCommand<&TApp::CmNoBgImage>(CM_NOBGIMAGE),
      OnCommand<&TApp::CmNoBgMusic>(CM_NOBGMUSIC),
      OnCommand<&TApp::CmHelpAbout>(CM_HELPABOUT),
  };
  static const TResponseTable table{entries, &TApplication::Table()};
  return table;
}

TWindow* TApp::ClientWindow() const {
  return GetMainWindow() ? GetMainWindow()->GetClientWindow() : nullptr;
}

bool TApp::ClientAgrees() const {
  TWindow* client = ClientWindow();
  return !client || client->CanClose();
}

void TApp::Redraw() const {
  if (TWindow* client = ClientWindow(); client && client->GetHandle()) client->PostMessage(PM_REDRAW);
}

void TApp::SetCaptionFor(const std::string& animationFile) {
  if (GetMainWindow()) GetMainWindow()->SetCaption(Wide(MakeCaption(animationFile)));
}

int TApp::Tell(std::wstring_view text, std::wstring_view caption, UINT style) const {
  return MessageBox(MainHandle(), text, caption, style);
}

void TApp::CmFileNew() {
  if (Tell(kNewQuestion, kNewCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  animFileData->FileName = texts::kUntitledAnimation;
  objFileData->FileName = texts::kNoFileMarker;
  bgImageFile = texts::kNoFileMarker;
  bgMusicFile = texts::kNoFileMarker;
  SetCaptionFor(animFileData->FileName);
  scene->Clear();
  scene->animationFileName = animFileData->FileName;
  scene->objectFileName = objFileData->FileName;
  Redraw();
}

// A file that is no animation file, or one cut short, changes nothing, and the current file
// stays the one the caption names. When the sprites read but their object file does not,
// the scene holds the chosen file's sprites: the caption, the current file and the dialog
// follow it, so that a later Save writes them back where they came from.
void TApp::CmFileOpen() {
  if (!ClientAgrees()) return;
  const std::string previous = animFileData->FileName;
  if (TFileOpenDialog(GetMainWindow(), *animFileData).Execute() != IDOK) return;
  const std::string chosen = animFileData->FileName;
  if (scene->Read(chosen.c_str(), false) != 1) {
    animFileData->FileName = previous;
    Tell(kOpenFailed);
    return;
  }
  scene->animationFileName = chosen;
  SetCaptionFor(chosen);
  if (scene->ReadObjectsOf(chosen.c_str()) != 1) {
    Tell(kOpenFailed);
  } else {
    scene->TieUpObjects();
  }
  Redraw();
}

void TApp::CmFileSave() { (void)FileSave(); }

int TApp::FileSave() {
  if (scene->Write(animFileData->FileName.c_str()) != 1) {
    Tell(kSaveFailed, kErrorCaption, MB_ICONINFORMATION | MB_OK);
    return 0;
  }
  // The settings must not be lost silently: the caller (OK) keeps the window open.
  if (WriteControlIni() != 1) {
    Tell(kSettingsFailed, kErrorCaption, MB_ICONINFORMATION | MB_OK);
    return 0;
  }
  return 1;
}

void TApp::CmFileSaveAs() {
  if (!ClientAgrees()) return;
  const std::string previous = animFileData->FileName;
  if (TFileSaveDialog(GetMainWindow(), *animFileData).Execute() != IDOK) return;
  const std::string chosen = animFileData->FileName;
  if (scene->Write(chosen.c_str()) != 1) {
    // The current file stays the one the caption names.
    animFileData->FileName = previous;
    Tell(kSaveAsFailed);
    return;
  }
  if (WriteControlIni() != 1) Tell(kSettingsFailed, kErrorCaption, MB_ICONINFORMATION | MB_OK);
  scene->animationFileName = chosen;
  scene->TieUpObjects();
  SetCaptionFor(chosen);
  Redraw();
}

void TApp::CmObjectFileOpen() {
  if (!ClientAgrees()) return;
  if (TFileOpenDialog(GetMainWindow(), *objFileData).Execute() != IDOK) return;
  if (scene->ReadObjects(objFileData->FileName.c_str()) != 1) {
    Tell(kObjectsFailed);
    return;
  }
  scene->objectFileName = objFileData->FileName;
  scene->TieUpObjects();
  Redraw();
}

// The dialog opens in the folder, drive included, of the file chosen in it last; the first
// time, with no name, where the common dialog starts by itself.
void TApp::ChooseBackgroundFile(TOpenSaveDialog::TData& record, std::string& setting) {
  if (!ClientAgrees()) return;
  const PathParts parts = SplitPath(record.FileName);
  record.InitialDir = parts.drive + parts.directory;
  if (TFileOpenDialog(GetMainWindow(), record).Execute() != IDOK) return;
  setting = record.FileName;
  Redraw();
}

void TApp::CmBgImageFileOpen() { ChooseBackgroundFile(*bgImageFileData, bgImageFile); }

void TApp::CmBgMusicFileOpen() { ChooseBackgroundFile(*bgMusicFileData, bgMusicFile); }

void TApp::CmNoBgImage() {
  bgImageFile.clear();
  Redraw();
}

void TApp::CmNoBgMusic() {
  bgMusicFile.clear();
  Redraw();
}

void TApp::CmHelpAbout() { ZoAboutDlg(GetMainWindow(), KELNA_ABOUT_DIALOG_ID).Execute(); }

}  // namespace kelna
