#include "dialogs/option_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "app/app_texts.h"
#include "app/framework/application.h"
#include "dialogs/dialog_texts.h"
#include "dialogs/edit_sprite_dialog.h"
#include "dialogs/help_dialog.h"
#include "engine/animated_sprite.h"
#include "engine/positions.h"
#include "engine/sprite_animation.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "resources/resource_ids.h"

namespace kelna {

static_assert(PM_REDRAW == WM_USER + 1);

namespace {

constexpr int kPathLimit = 260;
constexpr int kSlowest = 500;  // the slider's range of IntervalTime, in milliseconds
constexpr int kPageStep = 100;
// What a refresh shows for a missing object file.
constexpr char kNoObjectFile[] = "None";

std::string NamePart(std::string_view path) { return SplitPath(path).name; }

const char* OnOff(std::int32_t flag) { return flag == 1 ? texts::kOn : texts::kOff; }

const char* BehaviourName(std::int32_t behaviour) {
  constexpr auto kEntries = static_cast<std::int32_t>(std::size(ZoSpriteData::BehaveName));
  return behaviour >= 0 && behaviour < kEntries && ZoSpriteData::BehaveName[behaviour]
             ? ZoSpriteData::BehaveName[behaviour]
             : "";
}

// Text values were checked against ranges that fit 16 bits; they are stored through a
// signed 16-bit value as the sprite's file record holds them.
std::int16_t ShortValue(const SpriteTransferStruct::Text& text) { return Low16(AsciiToLong(FieldText(text))); }

std::string ShortText(std::uint16_t value) { return IntToDecimal(Low16(value)); }

}  // namespace

std::array<std::string, kSheetColumns> SpriteSheetRow(const ZoAnimatedSprite& s) {
  return {s.Name(),
          s.ObjectName(),
          BehaviourName(s.behaviour),
          IntToDecimal(s.depth),
          OnOff(s.autoRepeat),
          OnOff(s.randomStart),
          IntToDecimal(s.x),
          IntToDecimal(s.y),
          IntToDecimal(s.speedX),
          IntToDecimal(s.speedY),
          std::to_string(s.imageWidth),
          std::to_string(s.imageHeight),
          ShortText(s.startFrame),
          ShortText(s.frameCount),
          ShortText(s.skipCount),
          OnOff(s.soundOn)};
}

OptionDialog::OptionDialog(TWindow* parent, OptTransData& data)
    : TDialog(parent, KELNA_OPTION_DIALOG_ID),
      objectFileEdit(this, 108, kPathLimit),
      bgImageEdit(this, 109, kPathLimit),
      bgMusicEdit(this, 110, kPathLimit),
      centerRadio(this, 102),
      tileRadio(this, 103),
      desktopRadio(this, 104),
      repeatCheck(this, 114),
      spread(this, 107),
      soundCheck(this, 120),
      speedSlider(this, 113),
      data(data) {
  objectFileEdit.SetReadOnly(true);
  bgImageEdit.SetReadOnly(true);
  bgMusicEdit.SetReadOnly(true);
}

OptionDialog::~OptionDialog() = default;

const TResponseTable& OptionDialog::Table() {
  static constexpr TResponseEntry entries[] = {
      OnCommand<&OptionDialog::CmOk>(IDOK),
      OnCommand<&OptionDialog::CmCancel>(IDCANCEL),
      OnCommand<&OptionDialog::CmEditSprite>(CM_EDITSPRITE),
      OnCommand<&OptionDialog::CmNewSprite>(CM_NEWSPRITE),
      OnCommand<&OptionDialog::CmDelSprite>(CM_DELSPRITE),
      OnCommand<&OptionDialog::CmHelpCont>(CM_HELPCONTENTS),
      OnMessage<&OptionDialog::PmRedraw>(PM_REDRAW),
      OnMessage<&OptionDialog::EvHScroll>(WM_HSCROLL),
      OnCommand<&OptionDialog::EvRadioCenter>(102),
      OnCommand<&OptionDialog::EvRadioTile>(103),
      OnCommand<&OptionDialog::EvRadioDesktop>(104),
      OnCommand<&OptionDialog::EvBgmRepeat>(114),
      OnCommand<&OptionDialog::EvSoundON>(120),
  };
  static const TResponseTable table{entries, &TDialog::Table()};
  return table;
}

// The first fill shows a missing object file as "(なし)" and an empty image or music
// setting as an empty text; Redraw shows them as "None" and "(なし)".
void OptionDialog::SetupWindow() {
  TDialog::SetupWindow();
  const ZoSpriteAnimation* scene = data.animation;
  const std::string objectName = scene && scene->objectFileName ? NamePart(*scene->objectFileName) : "";
  objectFileEdit.SetText(objectName.empty() ? texts::kNoFileMarker : objectName);
  bgImageEdit.SetText(NamePart(*data.bgImageFile));
  ShowImageMode();
  bgMusicEdit.SetText(NamePart(*data.bgMusicFile));
  repeatCheck.SetCheck(*data.bgMusicRepeat ? BST_CHECKED : BST_UNCHECKED);
  PrepareSheet();
  spread.SSSetLock(-1, -1, true);
  if (scene) SetSpreadSheet();
  speedSlider.SetRange(0, kSlowest);
  speedSlider.SetRuler(kPageStep, false);
  speedSlider.SetPosition(*data.intervalTime);
  soundCheck.SetCheck(*data.waveSound ? BST_CHECKED : BST_UNCHECKED);
}

void OptionDialog::Redraw() {
  const ZoSpriteAnimation* scene = data.animation;
  if (!scene) return;
  const std::string objectName = scene->objectFileName ? NamePart(*scene->objectFileName) : "";
  objectFileEdit.SetText(objectName.empty() ? kNoObjectFile : objectName);
  bgImageEdit.SetText(data.bgImageFile->empty() ? texts::kNoFileMarker : NamePart(*data.bgImageFile));
  ShowImageMode();
  bgMusicEdit.SetText(data.bgMusicFile->empty() ? texts::kNoFileMarker : NamePart(*data.bgMusicFile));
  repeatCheck.SetCheck(*data.bgMusicRepeat ? BST_CHECKED : BST_UNCHECKED);
  PrepareSheet();
  SetSpreadSheet();
  soundCheck.SetCheck(*data.waveSound ? BST_CHECKED : BST_UNCHECKED);
  speedSlider.SetPosition(*data.intervalTime);
}

LRESULT OptionDialog::PmRedraw(WPARAM, LPARAM) {
  Redraw();
  return 1;
}

// One radio button of the three is checked (the others cleared, as a file command may
// have changed the mode); the image name is greyed when the desktop is the background.
void OptionDialog::ShowImageMode() {
  const int mode = *data.bgImageMode;
  const int checked = mode == BgCenter ? 102 : mode == BgTile ? 103 : 104;
  ::CheckRadioButton(GetHandle(), 102, 104, checked);
  bgImageEdit.EnableWindow(checked != 104);
}

void OptionDialog::PrepareSheet() {
  spread.SSSetMaxCols(kSheetColumns);
  spread.SSSetMaxRows(kSheetRows);
  for (int col = 1; col <= kSheetColumns; ++col) {
    const char* heading = texts::kSheetHeadings[static_cast<std::size_t>(col - 1)];
    spread.SSSetData(col, 0, heading);
    spread.SSSetColWidth(col, static_cast<double>(std::strlen(heading) + 2));  // bytes and a margin
  }
}

void OptionDialog::SetSpreadSheet() {
  const TSpread::DeferredRedraw once(spread);
  spread.SSClearRange(1, 1, kSheetColumns + 1, kSheetRows);
  if (!data.animation) return;
  const auto& sprites = data.animation->sprites;
  for (std::size_t i = 0; i < sprites.size(); ++i) {
    const auto cells = SpriteSheetRow(*sprites[i]);
    for (int col = 1; col <= kSheetColumns; ++col) {
      spread.SSSetData(col, static_cast<int>(i) + 1, cells[static_cast<std::size_t>(col - 1)]);
    }
  }
}

// Page steps do their own arithmetic; only a dropped thumb takes the slider's position.
// Line steps, Home/End and dragging leave the interval as it is.
LRESULT OptionDialog::EvHScroll(WPARAM wParam, LPARAM) {
  int& interval = *data.intervalTime;
  switch (LOWORD(wParam)) {
    case SB_THUMBPOSITION:
      interval = HIWORD(wParam);
      break;
    case SB_PAGELEFT:
      if (interval > 0) interval = std::max(interval - kPageStep, 0);
      break;
    case SB_PAGERIGHT:
      if (interval < kSlowest) interval = std::min(interval + kPageStep, kSlowest);
      break;
    default:
      break;
  }
  return 0;
}

void OptionDialog::EvRadioCenter() {
  *data.bgImageMode = BgCenter;
  bgImageEdit.EnableWindow(true);
}

void OptionDialog::EvRadioTile() {
  *data.bgImageMode = BgTile;
  bgImageEdit.EnableWindow(true);
}

void OptionDialog::EvRadioDesktop() {
  *data.bgImageMode = BgDesktop;
  bgImageEdit.EnableWindow(false);
}

void OptionDialog::EvBgmRepeat() { *data.bgMusicRepeat = *data.bgMusicRepeat ? 0 : 1; }

void OptionDialog::EvSoundON() { *data.waveSound = *data.waveSound ? 0 : 1; }

void OptionDialog::CmOk() {
  auto* host = dynamic_cast<SettingsHost*>(GetApplication());
  if (host && host->FileSave()) TDialog::CmOk();
}

void OptionDialog::CmCancel() {
  if (GetParent()) {
    GetParent()->PostMessage(WM_CLOSE);
  } else {
    TDialog::CmCancel();
  }
}

std::optional<std::size_t> OptionDialog::ActiveSprite() const {
  int col = 0, row = 0;
  spread.SSGetActiveCell(&col, &row);
  if (!data.animation || row < 1 || static_cast<std::size_t>(row) > data.animation->sprites.size()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(row - 1);
}

void OptionDialog::CmNewSprite() { ExecuteEditDlg(0, 1); }

void OptionDialog::CmEditSprite() {
  if (const auto index = ActiveSprite()) ExecuteEditDlg(static_cast<int>(*index), 0);
}

void OptionDialog::CmDelSprite() {
  const auto index = ActiveSprite();
  if (!index) return;
  data.animation->RemoveSprite(*index);  // destroyed here
  SetSpreadSheet();
}

void OptionDialog::CmHelpCont() {
  const TApplication* application = GetApplication();
  if (ShowHelpFile(GetHandle(), application ? &application->answers : nullptr)) return;
  HelpDialog(this).Execute();
}

void OptionDialog::ExecuteEditDlg(int index, int isNew) {
  ZoSpriteAnimation* scene = data.animation;
  if (!scene) return;
  std::unique_ptr<ZoAnimatedSprite> created;
  ZoAnimatedSprite* sprite = nullptr;
  if (isNew == 1) {
    created = std::make_unique<ZoAnimatedSprite>();
    created->SetName(texts::kNewSpriteName);
    created->SetObjectName(texts::kNoObjectName);
    sprite = created.get();
  } else if (index >= 0 && static_cast<std::size_t>(index) < scene->sprites.size()) {
    sprite = scene->sprites[static_cast<std::size_t>(index)].get();
  } else {
    return;
  }
  FillTransfer(*sprite, isNew);
  if (ZoEditSpriteDialog(this, KELNA_SPRITE_DIALOG_ID, spriteTransfer).Execute() != IDOK) return;
  TakeTransfer(*sprite);
  if (created) {
    scene->AddSprite(std::move(created));
  } else {
    // Taken out and inserted again, so that a new depth finds its place.
    const auto at = std::find_if(scene->sprites.begin(), scene->sprites.end(),
                                 [sprite](const auto& s) { return s.get() == sprite; });
    if (at == scene->sprites.end()) return;
    scene->AddSprite(scene->RemoveSprite(static_cast<std::size_t>(at - scene->sprites.begin())));
  }
  SetSpreadSheet();
}

void OptionDialog::FillTransfer(const ZoAnimatedSprite& s, int isNew) {
  SpriteTransferStruct& t = spriteTransfer;
  SetFieldText(t.name, s.Name());
  t.objectTypes.Clear();
  // Exact names; of several objects so named the last is selected.
  for (const auto& object : data.animation->objects) {
    t.objectTypes.AddString(object->name, object->name == s.ObjectName());
  }
  t.behaviours.Clear();
  for (const char* const* name = ZoSpriteData::BehaveName; *name; ++name) t.behaviours.AddString(*name);
  t.behaviours.Select(s.behaviour);  // radial, having no entry, selects nothing
  SetFieldText(t.depth, IntToDecimal(s.depth));
  t.autoRepeat = static_cast<std::uint32_t>(s.autoRepeat);
  t.randomStart = static_cast<std::uint32_t>(s.randomStart);
  SetFieldText(t.startX, IntToDecimal(s.x));
  SetFieldText(t.startY, IntToDecimal(s.y));
  SetFieldText(t.speedX, IntToDecimal(s.speedX));
  SetFieldText(t.speedY, IntToDecimal(s.speedY));
  SetFieldText(t.startFrame, ShortText(s.startFrame));
  SetFieldText(t.skipCount, ShortText(s.skipCount));
  t.soundOn = static_cast<std::uint32_t>(s.soundOn);
  t.isNew = isNew;
  t.objects = &data.animation->objects;
}

// Behaviour: the list's selection; with none (a radial sprite, or an object whose default
// is radial) the sprite keeps its behaviour, as long as it is one the engine knows.
void OptionDialog::TakeTransfer(ZoAnimatedSprite& s) {
  const SpriteTransferStruct& t = spriteTransfer;
  s.SetName(FieldText(t.name));
  const std::string objectName(FitInBuffer(t.objectTypes.GetSelection(), s.objectName.size()));
  ZoSpriteData* object = data.animation->FindSpriteData(objectName.c_str());
  s.SetObjectName(object ? objectName : std::string(texts::kNoObjectName));
  const int selected = t.behaviours.GetSelIndex();
  if (selected >= BehaveFlow && selected <= BehaveRadial) {
    s.behaviour = selected;
  } else if (s.behaviour < BehaveFlow || s.behaviour > BehaveRadial) {
    s.behaviour = BehaveFlow;
  }
  s.randomStart = t.randomStart == 1 ? 1 : 0;
  MoveTo(s, ShortValue(t.startX), ShortValue(t.startY));
  s.speedX = ShortValue(t.speedX);
  s.speedY = ShortValue(t.speedY);
  s.depth = ShortValue(t.depth);
  s.autoRepeat = t.autoRepeat == 1 ? 1 : 0;
  if (object) {
    s.imageWidth = object->imageWidth;
    s.imageHeight = object->imageHeight;
  }
  s.startFrame = static_cast<std::uint16_t>(ShortValue(t.startFrame));
  if (object) {
    s.frameCount = static_cast<std::uint16_t>(object->PairCount());
    object->frameCount = s.frameCount;
  }
  s.skipCount = static_cast<std::uint16_t>(ShortValue(t.skipCount));
  s.soundOn = static_cast<std::int32_t>(t.soundOn);
}

}  // namespace kelna
