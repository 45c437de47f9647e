#pragma once
// ZoEditSpriteDialog: the modal dialog in which the user sets up one sprite. It works on a
// SpriteTransferStruct only: its controls show the record when it opens, choosing an
// object loads that object's defaults, choosing a behaviour enables or disables the random
// start, and OK writes the controls back into the record once every field passed its test.

#include <string_view>

#include "app/framework/controls.h"
#include "app/framework/dialog.h"
#include "dialogs/sprite_transfer.h"

namespace kelna {

class ZoEditSpriteDialog : public TDialog {
 public:
  ZoEditSpriteDialog(TWindow* parent, int templateId, SpriteTransferStruct& transfer);

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  // True when low <= value <= high for the value atol would read from the text (no digits
  // give 0). A number too large for 32 bits is out of every range.
  static bool CheckValue(std::string_view text, long low, long high);
  // Whether the random start applies to a behaviour: not to one-shot, specified-position
  // or radial sprites, which never start at a random place.
  static bool RandomStartApplies(int behaviour);

  bool CanClose() override;

 protected:
  void SetupWindow() override;

 private:
  void HandleBehaveCombo();
  void RedrawDialogParam();
  void HandleRandomRadioMsg() {}  // the box toggles itself
  void ApplyRandomStartRule(int behaviour);
  bool NameTaken(const std::string& name) const;
  // Tells the user why OK was refused, then puts the focus on the field (if any) with its
  // whole text selected. Returns false.
  bool Refuse(TEdit* field, std::wstring_view message);

  SpriteTransferStruct& transfer_;
  // The controls, in the order of the record's fields.
  TEdit nameEdit;
  TComboBox objectCombo;
  TComboBox behaviourCombo;
  TEdit depthEdit;
  TCheckBox autoRepeatCheck;
  TRadioButton randomCheck;  // a check box in the template; transfers like one
  TEdit startXEdit;
  TEdit startYEdit;
  TEdit speedXEdit;
  TEdit speedYEdit;
  TEdit startFrameEdit;
  TEdit skipCountEdit;
  TCheckBox soundCheck;
  TUpDown depthUpDown;
  TUpDown skipUpDown;
};

}  // namespace kelna
