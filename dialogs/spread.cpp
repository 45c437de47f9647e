#include "dialogs/spread.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "app/framework/wide.h"

namespace kelna {

namespace {

constexpr int kRowNumberChars = 4;  // the width of the row-number column

}  // namespace

void TSpread::SetupControl() {
  constexpr DWORD kStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, kStyles, kStyles);
  if (ColumnCount() == 0) {
    InsertColumn(0);
    SendMessage(LVM_SETCOLUMNWIDTH, 0, kRowNumberChars * AverageCharWidth());
  }
}

TSpread::DeferredRedraw::DeferredRedraw(TSpread& spread) : spread_(spread) {
  spread_.SendMessage(WM_SETREDRAW, FALSE);
}

TSpread::DeferredRedraw::~DeferredRedraw() {
  spread_.SendMessage(WM_SETREDRAW, TRUE);
  ::InvalidateRect(spread_.GetHandle(), nullptr, TRUE);
}

int TSpread::ColumnCount() const {
  const auto header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
  return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int TSpread::RowCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

void TSpread::InsertColumn(int index) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<wchar_t*>(L"");
  column.cx = 8 * AverageCharWidth();
  column.iSubItem = index;
  SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// The dialog font's average character width: four horizontal dialog units.
int TSpread::AverageCharWidth() const {
  RECT units{0, 0, 4, 0};
  HWND dialog = ::GetParent(GetHandle());
  if (!dialog || !::MapDialogRect(dialog, &units) || units.right <= 0) return LOWORD(::GetDialogBaseUnits());
  return units.right;
}

void TSpread::SSSetMaxCols(int cols) {
  maxCols_ = std::max(cols, 0);
  while (ColumnCount() < maxCols_ + 1) InsertColumn(ColumnCount());
  while (ColumnCount() > maxCols_ + 1) SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(ColumnCount() - 1));
}

void TSpread::SSSetMaxRows(int rows) { maxRows_ = std::max(rows, 0); }

void TSpread::SSSetData(int col, int row, std::string_view text) {
  if (col < 1 || col > maxCols_ || row < 0) return;
  const std::wstring wide = Wide(text);
  if (row == 0) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<wchar_t*>(wide.c_str());
    SendMessage(LVM_SETCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&column));
    return;
  }
  AddRowsUpTo(row);
  SetCell(col, row, wide);
}

void TSpread::AddRowsUpTo(int row) {
  for (int next = RowCount() + 1; next <= row; ++next) {
    std::wstring number = std::to_wstring(next);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = next - 1;
    item.pszText = number.data();
    SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (next == pendingActiveRow_) {
      SelectRow(next);
      pendingActiveRow_ = 0;
    }
  }
}

void TSpread::SelectRow(int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&state));
}

void TSpread::SetCell(int col, int row, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = col;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&item));
}

void TSpread::SSSetColWidth(int col, double chars) {
  if (col < 0 || col > maxCols_ || chars < 0) return;
  const auto pixels = static_cast<int>(std::lround(chars * AverageCharWidth()));
  SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(col), pixels);
}

// The sheet is locked as a whole; a list view takes no typing in its cells, and without
// LVS_EDITLABELS not even in the row numbers.
void TSpread::SSSetLock(int, int, bool lock) {
  locked_ = lock;
  if (!lock) return;
  const auto style = ::GetWindowLongPtrW(GetHandle(), GWL_STYLE);
  ::SetWindowLongPtrW(GetHandle(), GWL_STYLE, style & ~static_cast<LONG_PTR>(LVS_EDITLABELS));
}

void TSpread::SSClearRange(int col1, int row1, int col2, int row2) {
  const int rows = RowCount();
  const int first = std::max(row1, 1);
  if (first > rows || col2 < 1 || col1 > maxCols_) return;
  const bool toTheEnd = row2 >= rows || row2 >= maxRows_;
  if (toTheEnd && col1 <= 1 && col2 >= maxCols_) {
    int col = 0, active = 0;
    SSGetActiveCell(&col, &active);
    pendingActiveRow_ = active >= first ? active : 0;
    if (first == 1) {
      SendMessage(LVM_DELETEALLITEMS);
    } else {
      for (int row = rows; row >= first; --row) SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(row - 1));
    }
    return;
  }
  const int last = toTheEnd ? rows : row2;
  for (int row = first; row <= last; ++row) {
    for (int col = std::max(col1, 1); col <= std::min(col2, maxCols_); ++col) SetCell(col, row, L"");
  }
}

void TSpread::SSGetActiveCell(int* col, int* row) const {
  const auto selected = static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  const int active = selected >= 0 ? selected + 1 : 0;
  if (row) *row = active;
  if (col) *col = active ? 1 : 0;
}

}  // namespace kelna
