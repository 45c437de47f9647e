#pragma once
// TSpread: the sprite sheet of the settings dialog, a read-only grid of cells under a
// heading row, driven cell by cell through the SS... calls. It wraps the template's
// report-view list (control 107): the list's header is heading row 0, its first column
// holds the row numbers (column 0), and sheet column c is list column c. Rows and columns
// count from 1 for data, as in a spreadsheet.
//
// How the grid behaves where a fixed 65-row sheet would not fit a list view:
// - Rows grow as needed: writing row r makes rows 1..r exist, so every sprite shows, also
//   past the declared row count (SSSetMaxRows).
// - Clearing whole rows that reach the declared last row removes them and every row grown
//   past it, so the sheet never shows stale rows below the data. The selected row number is
//   kept and selected again when that row is written anew.
// - The active cell is the selected row; before the user selects one it is row 0, which is
//   no data row.
// - Locked means not editable; a list view never lets the user type into its cells.

#include <string>
#include <string_view>

#include "app/framework/controls.h"

namespace kelna {

class TSpread : public TControl {
 public:
  TSpread(TDialog* parent, int id) : TControl(parent, id) {}

  // Data columns 1..cols; list columns past them are removed.
  void SSSetMaxCols(int cols);
  // The declared row count: the last row that a clear of "all rows" names.
  void SSSetMaxRows(int rows);
  // Row 0 sets column col's heading; rows from 1 set a cell (code page 932 text), adding
  // rows up to `row`. Column 0 (the row numbers) and columns past the last are left alone.
  void SSSetData(int col, int row, std::string_view text);
  // Width in average characters of the control's font.
  void SSSetColWidth(int col, double chars);
  void SSSetLock(int col, int row, bool lock);
  // Empties the cells col1..col2 × row1..row2 (see above for whole rows).
  void SSClearRange(int col1, int row1, int col2, int row2);
  // The selected cell: its row from 1, or row 0 and column 0 when none is selected.
  void SSGetActiveCell(int* col, int* row) const;

  // Holds the sheet's drawing while many cells change, and draws it once at the end: a
  // list view otherwise updates its scroll bars and paints for every single cell.
  class DeferredRedraw {
   public:
    explicit DeferredRedraw(TSpread& spread);
    ~DeferredRedraw();
    DeferredRedraw(const DeferredRedraw&) = delete;
    DeferredRedraw& operator=(const DeferredRedraw&) = delete;

   private:
    TSpread& spread_;
  };

  int RowCount() const;
  int MaxCols() const { return maxCols_; }
  int MaxRows() const { return maxRows_; }
  bool IsLocked() const { return locked_; }

 protected:
  void SetupControl() override;

 private:
  int ColumnCount() const;
  void InsertColumn(int index);
  void AddRowsUpTo(int row);
  void SelectRow(int row);
  void SetCell(int col, int row, const std::wstring& text);
  int AverageCharWidth() const;

  int maxCols_ = 0;
  int maxRows_ = 0;
  bool locked_ = false;
  int pendingActiveRow_ = 0;  // selected before a clear; selected again when rewritten
};

}  // namespace kelna
