#pragma once
// TApp: the application object. It owns the scene and the saver's settings for the whole
// run, reads them at start, and opens the window of the mode that the command line asks
// for: the full-screen saver, the settings window or the preview.

#include <memory>
#include <string>
#include <string_view>

#include "app/framework/application.h"
#include "app/framework/open_save_dialog.h"
#include "dialogs/option_transfer.h"
#include "platform/music_player.h"
#include "platform/raster.h"
#include "saver/saver_window.h"
#include "sprites/image.h"

namespace kelna {

class ZoSpriteAnimation;

// The profile section that holds the saver's settings.
inline constexpr char kSettingsSection[] = "Screen Saver.Vesk";

class TApp : public TApplication, public SaverHost, public SettingsHost {
 public:
  enum class Mode { None, Saver, Settings, Preview };

  TApp();
  ~TApp() override;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  // The mode a command line asks for: '/' or '-' then s, c or p in either case; only the
  // first two characters count.
  static Mode ModeOf(std::string_view commandLine);

  // The settings window's caption for an animation file: "ケルナの設定 - NAME.EXT -".
  static std::string MakeCaption(std::string_view path);

  // Loads the seven settings from CONTROL.INI; missing keys take their defaults.
  void ReadControlIni();
  // Writes them back. Returns 1, or 0 when the file could not be written (it is then left
  // as it was).
  [[nodiscard]] int WriteControlIni();

  // Saver mode. The first tick's set-up: music, background image, scene.
  void InitAnimation() override;
  // Captures the screen, before any window of ours exists (desktop background).
  std::unique_ptr<MemoryDC> CreateDesktopDC();
  // Loads bgImageFile into backgroundImage: 1, or 0 for none ("(なし)", empty, missing).
  [[nodiscard]] int ReadBgImage();
  // Opens and starts the music, reporting an error in a message box with MCI's text.
  void PlayMIDI(const std::string& path, HWND window);
  // The music on `device` has ended: with repeat on it starts again (1), else 0.
  int MusicEnded(std::uint32_t device, HWND window) override;
  int IntervalTime() const override { return intervalTime; }
  ZoSpriteAnimation& Scene() override { return *scene; }

  // Settings mode: the File and Help menu commands.
  void CmFileNew();
  void CmFileOpen();
  void CmFileSave();
  void CmFileSaveAs();
  void CmObjectFileOpen();
  void CmBgImageFileOpen();
  void CmNoBgImage();
  void CmBgMusicFileOpen();
  void CmNoBgMusic();
  void CmHelpAbout();
  // Saves the animation to the current animation file, then the settings: 1, or 0 after
  // a message box that says what failed.
  [[nodiscard]] int FileSave() override;

  std::unique_ptr<ZoSpriteAnimation> scene;
  TWndw* saverWindow = nullptr;  // the main window in saver mode
  int intervalTime = 0;
  std::string bgImageFile;  // "(なし)" or empty: none
  std::string bgMusicFile;  // "(なし)" or empty: none
  OptTransData transData;
  int waveSound = 1;
  int bgImageMode = 0;
  int bgMusicRepeat = 0;
  std::unique_ptr<TOpenSaveDialog::TData> animFileData;  // its FileName: the current animation
  std::unique_ptr<TOpenSaveDialog::TData> objFileData;
  std::unique_ptr<TOpenSaveDialog::TData> bgImageFileData;
  std::unique_ptr<TOpenSaveDialog::TData> bgMusicFileData;
  std::unique_ptr<ZoImage> backgroundImage;  // until the scene takes it
  std::unique_ptr<MemoryDC> desktopDC;       // the capture, until the scene takes it
  MusicPlayer* musicPlayer = &PlatformMusicPlayer();  // tests put a recording one here
  std::uint32_t musicDevice = 0;             // the device opened last, 0: none

 protected:
  void InitInstance() override { TApplication::InitInstance(); }
  void InitMainWindow() override;
  int TermInstance(int status) override { return TApplication::TermInstance(status); }

 private:
  HWND MainHandle() const;
  TWindow* ClientWindow() const;
  // The file commands' common steps.
  bool ClientAgrees() const;
  void Redraw() const;
  void SetCaptionFor(const std::string& animationFile);
  int Tell(std::wstring_view text, std::wstring_view caption = {}, UINT style = MB_OK) const;
  void ChooseBackgroundFile(TOpenSaveDialog::TData& record, std::string& setting);
  void OpenSaverWindow();
  void OpenSettingsWindow();
  bool OpenPreviewWindow();

  // The host's preview pane, as the parent of the preview window.
  std::unique_ptr<TWindow> previewHost_;
};

}  // namespace kelna
