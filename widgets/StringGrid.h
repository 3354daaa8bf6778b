#pragma once

#include <string>

#include "widgets/Control.h"

// A 5 x 5 grid of strings whose first row and column are fixed headings;
// the other cells take typing.
class TStringGrid : public TWinControl {
 public:
  explicit TStringGrid(TComponent* AOwner);

  int ColCount() const { return 5; }
  int RowCount() const { return 5; }
  int FixedCols() const { return 1; }
  int FixedRows() const { return 1; }
  int DefaultColWidth() const { return 64; }
  int DefaultRowHeight() const { return 24; }

  // The current cell (column and row, counted with the fixed ones); a value
  // outside the cells that take typing is ignored.
  int Col() const;
  int Row() const;
  void SetCol(int ACol);
  void SetRow(int ARow);

  // A cell is being typed into (its editor is open).
  bool Editing() const;

  // Raised whenever a cell's text changes, by the program or the user, also
  // while a cell is being typed into.
  TNotifyEvent OnChange;

  // Out-of-range cells read as empty and ignore writes. The cell being
  // edited reads as what has been typed into it so far.
  std::string Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const std::string& AText);

 private:
  std::string FCorner;  // the top-left fixed cell has nowhere to show
};

// The cell being typed into, in the grid that holds the keyboard, takes what
// was typed; the cell stays open for more.
void CommitCellEdits();
