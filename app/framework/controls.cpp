#include "app/framework/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "app/framework/dialog.h"
#include "app/framework/wide.h"
#include "platform/text.h"

namespace kelna {

TControl::TControl(TDialog* parent, int id) : TWindow(parent, L""), dialog_(parent), id_(id) {
  Attr.Id = id;
  if (dialog_) dialog_->Register(*this);
}

TControl::~TControl() {
  if (dialog_) dialog_->Unregister(*this);
}

void TControl::BindTo(HWND dialog) {
  HWND control = dialog ? ::GetDlgItem(dialog, id_) : nullptr;
  Attach(control);
  if (control) SetupControl();
}

void TControl::Transfer(const TTransferField&, TTransferDirection) {}

void TControl::WrongField() const {
  throw std::logic_error("transfer field of the wrong kind for control " + std::to_string(id_));
}

void TControl::EnableWindow(bool enable) { ::EnableWindow(GetHandle(), enable ? TRUE : FALSE); }

void TControl::SetFocus() { ::SetFocus(GetHandle()); }

std::string TControl::GetText() const { return Narrow(GetCaption()); }

void TControl::SetText(std::string_view cp932) { SetCaption(Wide(cp932)); }

// --- TEdit ---

TEdit::TEdit(TDialog* parent, int id, int textLimit) : TControl(parent, id), textLimit_(textLimit) {
  EnableTransfer();
}

void TEdit::SetupControl() {
  if (textLimit_ > 0) SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(textLimit_ - 1));
  if (readOnly_) SendMessage(EM_SETREADONLY, TRUE);
}

namespace {

std::size_t Cp932Length(std::wstring_view text) { return Narrow(text).size(); }

}  // namespace

// Runs after every change of the text. Typing and pasting insert characters that end at the
// caret and start where the text stops agreeing with the one accepted last; of those, as
// many are kept, from the first, as fit. A text that was set whole is cut at its end.
void TEdit::Notified(UINT code) {
  if (code != EN_CHANGE || textLimit_ <= 0) return;
  const std::size_t room = static_cast<std::size_t>(textLimit_ - 1);
  const std::wstring text = GetCaption();
  if (Cp932Length(text) <= room) {
    accepted_ = text;
    return;
  }
  DWORD selectionEnd = 0;
  SendMessage(EM_GETSEL, 0, reinterpret_cast<LPARAM>(&selectionEnd));
  const std::size_t caret = std::min<std::size_t>(selectionEnd, text.size());
  std::size_t start = 0;
  while (start < caret && start < accepted_.size() && text[start] == accepted_[start]) ++start;
  const std::wstring after = text.substr(caret);
  std::size_t end = caret;
  while (end > start && Cp932Length(text.substr(0, end) + after) > room) --end;
  std::wstring fitted = text.substr(0, end) + after;
  if (Cp932Length(fitted) > room) {
    fitted = Wide(FitInBuffer(Narrow(fitted), static_cast<std::size_t>(textLimit_)));
    end = fitted.size();
  }
  accepted_ = fitted;
  SetCaption(fitted);  // changes the text again; it fits now
  SetSelection(static_cast<int>(end), static_cast<int>(end));
}

void TEdit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (GetHandle()) SendMessage(EM_SETREADONLY, readOnly ? TRUE : FALSE);
}

void TEdit::SetSelection(int start, int end) {
  SendMessage(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void TEdit::Transfer(const TTransferField& field, TTransferDirection direction) {
  const auto* text = std::get_if<std::span<char>>(&field);
  if (!text) WrongField();
  if (direction == TTransferDirection::SetData)
    SetText(FieldText(*text));
  else
    SetFieldText(*text, GetText());
}

// --- TCheckBox ---

TCheckBox::TCheckBox(TDialog* parent, int id) : TButton(parent, id) { EnableTransfer(); }

std::uint32_t TCheckBox::GetCheck() const {
  return static_cast<std::uint32_t>(SendMessage(BM_GETCHECK));
}

void TCheckBox::SetCheck(std::uint32_t state) { SendMessage(BM_SETCHECK, state); }

void TCheckBox::Transfer(const TTransferField& field, TTransferDirection direction) {
  auto* const* state = std::get_if<std::uint32_t*>(&field);
  if (!state || !*state) WrongField();
  if (direction == TTransferDirection::SetData)
    SetCheck(**state);
  else
    **state = GetCheck();
}

// --- TComboBox ---

TComboBox::TComboBox(TDialog* parent, int id) : TControl(parent, id) { EnableTransfer(); }

int TComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }

int TComboBox::GetSelIndex() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }

void TComboBox::SetSelIndex(int index) { SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)); }

std::string TComboBox::GetSelectedText() const {
  const int index = GetSelIndex();
  if (index < 0) return {};
  const auto length = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return Narrow(text);
}

void TComboBox::AddString(std::string_view cp932) {
  const std::wstring text = Wide(cp932);
  SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TComboBox::ClearList() { SendMessage(CB_RESETCONTENT); }

void TComboBox::Transfer(const TTransferField& field, TTransferDirection direction) {
  auto* const* data = std::get_if<TComboBoxData*>(&field);
  if (!data || !*data) WrongField();
  TComboBoxData& list = **data;
  if (direction == TTransferDirection::SetData) {
    ClearList();
    for (const std::string& text : list.GetStrings()) AddString(text);
    SetSelIndex(list.GetSelIndex());
    return;
  }
  list.SetSelection(GetSelIndex(), GetSelectedText());
}

// --- THSlider ---

void THSlider::SetupControl() {
  SendMessage(TBM_SETRANGEMIN, FALSE, min_);
  SendMessage(TBM_SETRANGEMAX, FALSE, max_);
  if (tickGap_ > 0) SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(tickGap_));
  SendMessage(TBM_SETPOS, TRUE, position_);
}

void THSlider::SetRange(int min, int max) {
  min_ = min;
  max_ = max;
  if (GetHandle()) {
    SendMessage(TBM_SETRANGEMIN, FALSE, min);
    SendMessage(TBM_SETRANGEMAX, TRUE, max);
  }
}

void THSlider::SetRuler(int tickGap, bool) {
  tickGap_ = tickGap;
  if (GetHandle() && tickGap > 0) SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(tickGap));
}

void THSlider::SetPosition(int position) {
  position_ = position;
  if (GetHandle()) SendMessage(TBM_SETPOS, TRUE, position);
}

// --- TUpDown ---

void TUpDown::SetupControl() { SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(low_), high_); }

void TUpDown::SetRange(int low, int high) {
  low_ = low;
  high_ = high;
  if (GetHandle()) SetupControl();
}

}  // namespace kelna
