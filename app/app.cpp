#include "app/app.h"

#include <commdlg.h>

#include <cstdlib>
#include <fstream>

#include "app/app_texts.h"
#include "dialogs/option_dialog.h"
#include "app/framework/wide.h"
#include "engine/sprite_animation.h"
#include "platform/profile.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "platform/win32/window_presenter.h"
#include "sprites/bmp_image.h"
#include "resources/resource_ids.h"
#include "saver/preview_window.h"
#include "saver/saver_window.h"

namespace kelna {

namespace {

constexpr DWORD kFileDialogFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
constexpr std::size_t kPathBufferSize = 260;  // file names are held in buffers of this size

std::unique_ptr<TOpenSaveDialog::TData> FileDialogRecord(const char* filter, const char* defaultExtension) {
  return std::make_unique<TOpenSaveDialog::TData>(kFileDialogFlags, filter, "", "\\", defaultExtension);
}

}  // namespace

TApp::TApp()
    : scene(std::make_unique<ZoSpriteAnimation>()),
      animFileData(FileDialogRecord(texts::kAnimationFilter, "ANM")),
      objFileData(FileDialogRecord(texts::kObjectFilter, "FOE")),
      bgImageFileData(FileDialogRecord(texts::kBgImageFilter, "BMP")),
      bgMusicFileData(FileDialogRecord(texts::kBgMusicFilter, "MID")) {}

TApp::~TApp() {
  // The music ends before the scene does.
  if (musicDevice != 0) musicPlayer->Close(musicDevice, true);
}

TApp::Mode TApp::ModeOf(std::string_view commandLine) {
  if (commandLine.size() < 2 || (commandLine[0] != '/' && commandLine[0] != '-')) return Mode::None;
  switch (commandLine[1]) {
    case 's': case 'S': return Mode::Saver;
    case 'c': case 'C': return Mode::Settings;
    case 'p': case 'P': return Mode::Preview;
    default: return Mode::None;
  }
}

std::string TApp::MakeCaption(std::string_view path) {
  const PathParts parts = SplitPath(path);
  std::string caption = texts::kAppTitle;
  caption += " - " + parts.name + parts.extension + " -";
  return std::string(FitInBuffer(caption, kPathBufferSize));
}

void TApp::ReadControlIni() {
  const ProfileFile profile(ControlIniPath());
  auto text = [&](const char* key, const char* defaultValue) {
    return profile.GetString(kSettingsSection, key, defaultValue);
  };
  auto fileOrMarker = [&](const char* key) {
    std::string value = text(key, texts::kNoFileMarker);
    return value.empty() ? std::string(texts::kNoFileMarker) : value;
  };
  intervalTime = static_cast<int>(AsciiToLong(text("IntervalTime", "50")));
  bgImageFile = fileOrMarker("BGImageFile");
  bgMusicFile = fileOrMarker("BGMusicFile");
  bgImageMode = profile.GetInt(kSettingsSection, "BGImageMode", 0);
  bgMusicRepeat = profile.GetInt(kSettingsSection, "BGMusicRepeat", 1);
  waveSound = profile.GetInt(kSettingsSection, "WaveSound", 1);
  animFileData->FileName = text("AnimationFile", texts::kUntitledAnimation);
}

int TApp::WriteControlIni() {
  ProfileFile profile(ControlIniPath());
  profile.WriteString(kSettingsSection, "IntervalTime", IntToDecimal(intervalTime));
  profile.WriteString(kSettingsSection, "BGImageFile", bgImageFile);
  profile.WriteString(kSettingsSection, "BGMusicFile", bgMusicFile);
  profile.WriteString(kSettingsSection, "BGImageMode", IntToDecimal(bgImageMode));
  profile.WriteString(kSettingsSection, "BGMusicRepeat", IntToDecimal(bgMusicRepeat));
  profile.WriteString(kSettingsSection, "WaveSound", IntToDecimal(waveSound));
  profile.WriteString(kSettingsSection, "AnimationFile", animFileData->FileName);
  return profile.Flush().ok() ? 1 : 0;
}

void TApp::InitMainWindow() {
  saverWindow = nullptr;
  ReadControlIni();
  // Every mode reads the animation named by the settings, with its objects. A file that
  // does not read leaves the scene as Read leaves it; nothing is said here.
  if (!animFileData->FileName.empty()) scene->Read(animFileData->FileName.c_str(), true);
  switch (ModeOf(GetCmdLine())) {
    case Mode::Saver:
      OpenSaverWindow();
      return;
    case Mode::Settings:
      OpenSettingsWindow();
      return;
    case Mode::Preview:
      if (OpenPreviewWindow()) return;
      break;
    case Mode::None:
      break;
  }
  // Nothing to show: the host asked for something we do not do.
  std::exit(0);
}

void TApp::OpenSaverWindow() {
  // The desktop is captured before our window covers it.
  if (bgImageMode == BgDesktop) desktopDC = CreateDesktopDC();
  auto window = std::make_unique<TWndw>(*this, nullptr, L"", nullptr);
  saverWindow = window.get();
  SetMainWindow(std::move(window));
}

void TApp::OpenSettingsWindow() {
  transData = OptTransData{&intervalTime, &bgImageFile, &bgMusicFile, &bgImageMode,
                           &bgMusicRepeat, &waveSound, scene.get()};
  auto client = std::make_unique<OptionDialog>(nullptr, transData);
  auto frame = std::make_unique<TFrameWindow>(nullptr, Wide(texts::kAppTitle), std::move(client), true);
  frame->Attr.Style = WS_DLGFRAME;  // replaces the frame's default style
  frame->SetIcon(KELNA_ICON_ID);
  frame->AssignMenu(KELNA_MENU_ID);
  TFrameWindow& window = *frame;
  SetMainWindow(std::move(frame));
  window.SetCaption(Wide(MakeCaption(animFileData->FileName)));
}

// The host passes its preview pane's handle in decimal after /p. Without a handle that
// names a window there is nowhere to draw, so the program ends as for an unknown mode.
bool TApp::OpenPreviewWindow() {
  const std::vector<std::string>& args = GetArgs();
  if (args.size() < 3) return false;
  const auto handle = reinterpret_cast<HWND>(static_cast<INT_PTR>(AsciiToLong(args[2])));
  if (!handle || !::IsWindow(handle)) return false;
  previewHost_ = std::make_unique<TWindow>(handle);
  SetMainWindow(std::make_unique<TSmallWindow>(previewHost_.get()));
  return true;
}

// --- Saver mode ---

namespace {

bool Opens(const std::string& path) {
  return !path.empty() && std::ifstream(Cp932ToPath(path), std::ios::binary).is_open();
}

}  // namespace

HWND TApp::MainHandle() const { return GetMainWindow() ? GetMainWindow()->GetHandle() : nullptr; }

void TApp::InitAnimation() {
  HWND window = MainHandle();
  ClientContext client(window);
  if (bgMusicFile != texts::kNoFileMarker && Opens(bgMusicFile)) PlayMIDI(bgMusicFile, window);
  static_cast<void>(ReadBgImage());  // without an image the background is black
  scene->waveSoundOn = waveSound != 0 ? 1 : 0;
  scene->bgMode = bgImageMode;
  const auto width = static_cast<unsigned short>(client.Width());
  const auto height = static_cast<unsigned short>(client.Height());
  // In desktop mode the image stays here (and goes with the application).
  if (bgImageMode == BgDesktop)
    scene->InitAnimation(client.Context(), width, height, nullptr, std::move(desktopDC));
  else
    scene->InitAnimation(client.Context(), width, height, std::move(backgroundImage), nullptr);
}

std::unique_ptr<MemoryDC> TApp::CreateDesktopDC() { return CaptureDesktop(); }

int TApp::ReadBgImage() {
  if (bgImageFile == texts::kNoFileMarker || !Opens(bgImageFile)) {
    backgroundImage.reset();
    return 0;
  }
  // A file that is no readable bitmap gives an image without a picture: black background.
  backgroundImage = std::make_unique<ZoBmpImage>(bgImageFile.c_str());
  return 1;
}

void TApp::PlayMIDI(const std::string& path, HWND window) {
  std::uint32_t device = 0;
  std::uint32_t error = musicPlayer->Open(path, device);
  if (error == 0) {
    musicDevice = device;
    error = musicPlayer->Play(device, window);
    if (error != 0) {
      musicPlayer->Close(device, false);
      musicDevice = 0;
    }
  }
  if (error != 0) MessageBox(MainHandle(), Wide(musicPlayer->ErrorText(error)));
}

int TApp::MusicEnded(std::uint32_t device, HWND window) {
  if (bgMusicRepeat == 0) return 0;  // the finished device stays open until the end
  musicPlayer->Close(device, false);
  if (device == musicDevice) musicDevice = 0;
  PlayMIDI(bgMusicFile, window);
  return 1;
}

}  // namespace kelna
