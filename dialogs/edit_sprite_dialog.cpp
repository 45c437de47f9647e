#include "dialogs/edit_sprite_dialog.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/framework/application.h"
#include "dialogs/dialog_texts.h"
#include "dialogs/option_transfer.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace kelna {

namespace {

constexpr int kTextLimit = 32;  // 31 characters and the closing NUL
constexpr int kUpDownMin = 0;
constexpr int kUpDownMax = 128;

// What the transfer will store of a field's text: the record holds 31 bytes. The tests
// check exactly this text, so that no value is stored that was not checked.
std::string StoredText(const TControl& control) {
  return std::string(FitInBuffer(control.GetText(), kTextLimit));
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

ZoEditSpriteDialog::ZoEditSpriteDialog(TWindow* parent, int templateId, SpriteTransferStruct& transfer)
    : TDialog(parent, templateId),
      transfer_(transfer),
      nameEdit(this, 114, kTextLimit),
      objectCombo(this, 113),
      behaviourCombo(this, 101),
      depthEdit(this, 125, kTextLimit),
      autoRepeatCheck(this, 124),
      randomCheck(this, 105),
      startXEdit(this, 106, kTextLimit),
      startYEdit(this, 107, kTextLimit),
      speedXEdit(this, 109, kTextLimit),
      speedYEdit(this, 110, kTextLimit),
      startFrameEdit(this, 118, kTextLimit),
      skipCountEdit(this, 116, kTextLimit),
      soundCheck(this, 108),
      depthUpDown(this, 115),
      skipUpDown(this, 117) {
  SetTransferBuffer(transfer_.Fields());
}

const TResponseTable& ZoEditSpriteDialog::Table() {
  static constexpr TResponseEntry entries[] = {
      OnNotify<&ZoEditSpriteDialog::RedrawDialogParam>(113, CBN_SELCHANGE),
      OnNotify<&ZoEditSpriteDialog::HandleBehaveCombo>(101, CBN_SELCHANGE),
      OnCommand<&ZoEditSpriteDialog::HandleRandomRadioMsg>(105),
  };
  static const TResponseTable table{entries, &TDialog::Table()};
  return table;
}

// The random start's box keeps the state it opens with until the user changes the
// behaviour or the object.
void ZoEditSpriteDialog::SetupWindow() {
  TDialog::SetupWindow();
  depthUpDown.SetRange(kUpDownMin, kUpDownMax);
  skipUpDown.SetRange(kUpDownMin, kUpDownMax);
}

bool ZoEditSpriteDialog::CheckValue(std::string_view text, long low, long high) {
  constexpr std::int64_t kBeyond32Bits = std::int64_t{1} << 32;
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = std::min(value * 10 + (text[at] - '0'), kBeyond32Bits);
  }
  if (negative) value = -value;
  return low <= value && value <= high;
}

bool ZoEditSpriteDialog::RandomStartApplies(int behaviour) {
  return behaviour == BehaveFlow || behaviour == BehaveBound || behaviour == BehaveRandomWalk;
}

void ZoEditSpriteDialog::ApplyRandomStartRule(int behaviour) {
  randomCheck.EnableWindow(RandomStartApplies(behaviour));
}

void ZoEditSpriteDialog::HandleBehaveCombo() {
  const int behaviour = behaviourCombo.GetSelIndex();
  if (behaviour >= 0) ApplyRandomStartRule(behaviour);
}

// Loads the chosen object's defaults. Selecting from here sends no change notification,
// so the random-start rule is applied directly.
void ZoEditSpriteDialog::RedrawDialogParam() {
  const int index = objectCombo.GetSelIndex();
  if (index < 0 || !transfer_.objects || index >= static_cast<int>(transfer_.objects->size())) return;
  const ZoSpriteData& object = *(*transfer_.objects)[static_cast<std::size_t>(index)];
  const bool listed = object.behaviour >= 0 && object.behaviour < behaviourCombo.GetCount();
  behaviourCombo.SetSelIndex(listed ? object.behaviour : -1);  // radial has no entry
  ApplyRandomStartRule(object.behaviour);
  randomCheck.SetCheck(object.randomStart ? BST_CHECKED : BST_UNCHECKED);
  depthUpDown.SetRange(kUpDownMin, kUpDownMax);
  depthEdit.SetText(IntToDecimal(object.depth));
  startXEdit.SetText(IntToDecimal(object.startX));
  startYEdit.SetText(IntToDecimal(object.startY));
  speedXEdit.SetText(IntToDecimal(object.speedX));
  speedYEdit.SetText(IntToDecimal(object.speedY));
  autoRepeatCheck.SetCheck(object.autoRepeat ? BST_CHECKED : BST_UNCHECKED);
}

bool ZoEditSpriteDialog::NameTaken(const std::string& name) const {
  auto* host = dynamic_cast<SettingsHost*>(GetApplication());
  return host && host->Scene().FindSprite(name.c_str()) != nullptr;
}

bool ZoEditSpriteDialog::Refuse(TEdit* field, std::wstring_view message) {
  constexpr std::wstring_view kCaption = L"エラー";
  if (TApplication* application = GetApplication()) {
    application->MessageBox(GetHandle(), message, kCaption, MB_ICONINFORMATION | MB_OK);
  } else {
    ::MessageBoxW(GetHandle(), std::wstring(message).c_str(), kCaption.data(), MB_ICONINFORMATION | MB_OK);
  }
  if (field) {
    field->SetFocus();
    field->SetSelection(0, -1);
  }
  return false;
}

// The tests run in this order; the first that fails is reported.
bool ZoEditSpriteDialog::CanClose() {
  const std::string name = StoredText(nameEdit);
  if (name == texts::kNewSpriteName) {
    return Refuse(&nameEdit, L"\"newsprite\"はスプライト名として使用できません．");
  }
  if (transfer_.isNew && NameTaken(name)) return Refuse(&nameEdit, L"スプライト名が重複しています．");
  if (objectCombo.GetSelectedText().empty()) return Refuse(nullptr, L"オブジェクトタイプが設定されていません．");
  struct RangeTest {
    TEdit& field;
    long low, high;
    std::wstring_view message;
  };
  const RangeTest tests[] = {
      {depthEdit, 0, 128, L"深さの入力値が不正です．"},
      {startXEdit, -2000, 2000, L"位置Xの入力値が不正です．"},
      {startYEdit, -2000, 2000, L"位置Yの入力値が不正です．"},
      {speedXEdit, -1000, 1000, L"方向Xの入力値が不正です．"},
      {speedYEdit, -1000, 1000, L"方向Yの入力値が不正です．"},
      {startFrameEdit, 0, 128, L"開始フレームの入力値が不正です．"},
      {skipCountEdit, 0, 128, L"フレームスキップの入力値が不正です．"},
  };
  for (const RangeTest& test : tests) {
    if (!CheckValue(StoredText(test.field), test.low, test.high)) return Refuse(&test.field, test.message);
  }
  return true;
}

}  // namespace kelna
