#pragma once
// ZoAboutDlg: the About box (dialog template 22000): the program's name, version, a notice
// and its icon, closed with OK.

#include "app/framework/dialog.h"
#include "resources/resource_ids.h"

namespace kelna {

class ZoAboutDlg : public TDialog {
 public:
  explicit ZoAboutDlg(TWindow* parent, int templateId = KELNA_ABOUT_DIALOG_ID) : TDialog(parent, templateId) {}
  ~ZoAboutDlg() override = default;
};

}  // namespace kelna
