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

namespace kelna {

class TWndw;
class ZoSpriteAnimation;

// The profile section that holds the saver's settings.
inline constexpr char kSettingsSection[] = "Screen Saver.Vesk";

class TApp : public TApplication {
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
  int WriteControlIni();

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

 protected:
  void InitInstance() override { TApplication::InitInstance(); }
  void InitMainWindow() override;
  int TermInstance(int status) override { return TApplication::TermInstance(status); }

 private:
  void OpenSaverWindow();
  void OpenSettingsWindow();
  bool OpenPreviewWindow();

  // The host's preview pane, as the parent of the preview window.
  std::unique_ptr<TWindow> previewHost_;
};

}  // namespace kelna
