#pragma once
// OptionDialog: the settings window's working area, the client of its frame. It shows the
// saver settings and the scene's sprites and changes them at once through OptTransData;
// new, edit and delete of a sprite go through the sprite edit dialog. OK saves through the
// application (SettingsHost::FileSave); Cancel closes the window without saving. The File
// menu's commands post PM_REDRAW when they have changed files or the scene.

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "app/framework/controls.h"
#include "app/framework/dialog.h"
#include "dialogs/option_transfer.h"
#include "dialogs/spread.h"
#include "dialogs/sprite_transfer.h"

namespace kelna {

class ZoAnimatedSprite;

// Columns and declared rows of the sprite sheet.
inline constexpr int kSheetColumns = 16;
inline constexpr int kSheetRows = 65;

// The texts of a sprite's row in the sheet, columns 1 to 16 (code page 932).
std::array<std::string, kSheetColumns> SpriteSheetRow(const ZoAnimatedSprite& sprite);

class OptionDialog : public TDialog {
 public:
  OptionDialog(TWindow* parent, OptTransData& data);
  ~OptionDialog() override;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  bool CanClose() override { return true; }
  // Saves through the application; only a successful save closes the window.
  void CmOk() override;
  // Closes the settings window; nothing is saved.
  void CmCancel() override;
  void CmNewSprite();
  void CmEditSprite();
  void CmDelSprite();
  void CmHelpCont();

  // Runs the sprite edit dialog on sprite `index` of the scene, or on a new sprite when
  // isNew is 1; on OK copies the record into the sprite and keeps the list in depth order.
  void ExecuteEditDlg(int index, int isNew);
  // Refreshes every control from the settings and the scene.
  void Redraw();
  // Rebuilds the sheet's rows from the scene's sprites.
  void SetSpreadSheet();

 protected:
  void SetupWindow() override;

 private:
  LRESULT PmRedraw(WPARAM, LPARAM);
  LRESULT EvHScroll(WPARAM wParam, LPARAM);
  void EvRadioCenter();
  void EvRadioTile();
  void EvRadioDesktop();
  void EvBgmRepeat();
  void EvSoundON();

  void PrepareSheet();
  void ShowImageMode();
  // The position of the sprite in the sheet's active row, when there is one.
  std::optional<std::size_t> ActiveSprite() const;
  void FillTransfer(const ZoAnimatedSprite& sprite, int isNew);
  void TakeTransfer(ZoAnimatedSprite& sprite);

  TEdit objectFileEdit;
  TEdit bgImageEdit;
  TEdit bgMusicEdit;
  TRadioButton centerRadio;
  TRadioButton tileRadio;
  TRadioButton desktopRadio;
  TCheckBox repeatCheck;
  TSpread spread;
  TCheckBox soundCheck;
  THSlider speedSlider;
  SpriteTransferStruct spriteTransfer;  // reused by every sprite edit
  OptTransData& data;
};

}  // namespace kelna
