#pragma once
// TDialog: a window made from a dialog template. Modal, Execute() runs it in a nested
// message loop with its owner disabled and returns how it ended (IDOK, IDCANCEL). Modeless,
// Create() makes it, for example as a frame's client; the application's message loop then
// gives it the dialog keys (Tab, Enter, Esc). Either way its control objects are bound to
// the template's controls and its transfer buffer is copied into them before SetupWindow
// returns.

#include <windows.h>

#include <vector>

#include "app/framework/transfer.h"
#include "app/framework/window.h"

namespace kelna {

class TControl;

class TDialog : public TWindow {
 public:
  TDialog(TWindow* parent, int templateId);
  ~TDialog() override;

  static const TResponseTable& Table();
  const TResponseTable& ResponseTable() const override { return Table(); }

  // Runs the dialog modally and returns the value it was closed with.
  int Execute();
  // Makes the dialog modeless, as a child (client) or a pop-up of its parent.
  void Create() override;
  bool IsModal() const { return modal_; }
  int GetTemplateId() const { return templateId_; }

  // The record's fields, in the order of the transferring controls' construction.
  void SetTransferBuffer(TTransferBuffer fields) { transferBuffer_ = std::move(fields); }
  void TransferData(TTransferDirection direction);

  // OK: when CanClose agrees, transfers the controls into the buffer and closes with IDOK.
  virtual void CmOk();
  // Cancel: closes with IDCANCEL; nothing is transferred.
  virtual void CmCancel();
  // Ends a modal dialog with `result`; a modeless one is destroyed, and when it is a
  // frame's client, its frame is asked to close.
  void CloseWindow(int result);

  // Called by TControl.
  void Register(TControl& control);
  void Unregister(TControl& control);

 protected:
  // Binds the control objects, then transfers the buffer into them. Overrides call it
  // first.
  void SetupWindow() override;
  // A dialog's unhandled messages go back to the dialog manager.
  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) override;

  LRESULT EvClose(WPARAM, LPARAM);

 private:
  static INT_PTR CALLBACK DialogProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Answer(UINT message, WPARAM wParam, LPARAM lParam);
  void NotifyShown();
  void EvShown();

  int templateId_;
  bool modal_ = false;
  bool defaulted_ = false;  // the message being handled went to DefaultProcessing
  std::vector<TControl*> controls_;
  TTransferBuffer transferBuffer_;
};

}  // namespace kelna
