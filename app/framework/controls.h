#pragma once
// Control objects for the controls of a dialog template. A dialog makes them in its
// constructor, before its window exists; each keeps what it is told (text limit, ranges,
// ticks) and applies it when the dialog binds it to its template control by id. Controls
// that transfer exchange their contents with one field of the dialog's transfer buffer.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/framework/transfer.h"
#include "app/framework/window.h"

namespace kelna {

class TDialog;

class TControl : public TWindow {
 public:
  // Registers with `parent` in construction order; `parent` binds it later.
  TControl(TDialog* parent, int id);
  ~TControl() override;

  // Called by the dialog once its window exists; null `dialog` unbinds.
  void BindTo(HWND dialog);

  int GetId() const { return id_; }
  bool Transfers() const { return transfers_; }
  void EnableTransfer() { transfers_ = true; }
  void DisableTransfer() { transfers_ = false; }
  // Copies between the control and its field. The base transfers nothing.
  virtual void Transfer(const TTransferField& field, TTransferDirection direction);

  void EnableWindow(bool enable);
  void SetFocus();
  // The window text as code page 932; SetText converts and sets it.
  std::string GetText() const;
  void SetText(std::string_view cp932);
  // A notification (WM_COMMAND code) of this control, told before the dialog's table.
  virtual void Notified(UINT /*code*/) {}

 protected:
  // Applies the settings made before the window existed.
  virtual void SetupControl() {}
  [[noreturn]] void WrongField() const;

 private:
  TDialog* dialog_;
  int id_;
  bool transfers_ = false;
};

class TStatic : public TControl {
 public:
  TStatic(TDialog* parent, int id) : TControl(parent, id) {}
};

// An edit control. The text limit counts bytes of code page 932 and the closing NUL, like
// the buffer it fills: a limit of 32 takes 31 ASCII characters or 15 kanji. What is typed or
// pasted beyond it is refused as the user types, so that what is shown is what is stored.
class TEdit : public TControl {
 public:
  TEdit(TDialog* parent, int id, int textLimit);

  void Notified(UINT code) override;

  void SetReadOnly(bool readOnly);
  // Selects characters [start, end); (0, -1) selects all.
  void SetSelection(int start, int end);
  void Transfer(const TTransferField& field, TTransferDirection direction) override;

 protected:
  void SetupControl() override;

 private:
  int textLimit_;
  bool readOnly_ = false;
  std::wstring accepted_;  // the text as it last fitted
};

class TButton : public TControl {
 public:
  TButton(TDialog* parent, int id) : TControl(parent, id) {}
};

class TCheckBox : public TButton {
 public:
  TCheckBox(TDialog* parent, int id);

  std::uint32_t GetCheck() const;  // BST_CHECKED (1) or BST_UNCHECKED (0)
  void SetCheck(std::uint32_t state);
  void Transfer(const TTransferField& field, TTransferDirection direction) override;
};

class TRadioButton : public TCheckBox {
 public:
  TRadioButton(TDialog* parent, int id) : TCheckBox(parent, id) {}
};

class TComboBox : public TControl {
 public:
  TComboBox(TDialog* parent, int id);

  int GetCount() const;
  int GetSelIndex() const;  // -1: none
  void SetSelIndex(int index);
  // The selected item's text (code page 932), or the empty text.
  std::string GetSelectedText() const;
  void AddString(std::string_view cp932);
  void ClearList();
  void Transfer(const TTransferField& field, TTransferDirection direction) override;
};

// A horizontal track bar.
class THSlider : public TControl {
 public:
  THSlider(TDialog* parent, int id) : TControl(parent, id) {}

  void SetRange(int min, int max);
  // A tick every `tickGap` units; `snap` is kept for the interface: positions never snap.
  void SetRuler(int tickGap, bool snap);
  void SetPosition(int position);

 protected:
  void SetupControl() override;

 private:
  int min_ = 0, max_ = 100, tickGap_ = 0, position_ = 0;
};

class TUpDown : public TControl {
 public:
  TUpDown(TDialog* parent, int id) : TControl(parent, id) {}

  void SetRange(int low, int high);

 protected:
  void SetupControl() override;

 private:
  int low_ = 0, high_ = 100;
};

}  // namespace kelna
