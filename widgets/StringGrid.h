#pragma once

#include <memory>
#include <string>
#include <vector>

#include "widgets/Control.h"

class QPixmap;
class TGridPeer;

// A range of cells, counted with the fixed ones, both corners included.
struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TGridRect&) const = default;
};

// A grid of strings whose first row and column are fixed headings; the other
// cells take typing. 5 x 5 at the start; the user grows and shrinks it.
class TStringGrid : public TWinControl {
 public:
  explicit TStringGrid(TComponent* AOwner);
  ~TStringGrid() override;

  // A new grid is drawn as a picture of itself until first used: it makes
  // its Qt table (which takes a thousand times longer) when the pointer or
  // the keyboard comes to it, when assistive technology listens, or when a
  // command needs more than its cells, size, widths, current cell and
  // scrolling. True once it has.
  bool Woken() const { return FDraft == nullptr; }
  // Makes the table now.
  void Wake();

  // Counted with the fixed ones; at least one row and one column beside
  // them, and no more cells than MaxCells().
  int ColCount() const;
  int RowCount() const;
  void SetColCount(int AValue);
  void SetRowCount(int AValue);
  static constexpr int MaxCells() { return 1'000'000; }
  int FixedCols() const { return 1; }
  int FixedRows() const { return 1; }
  int DefaultColWidth() const { return 64; }
  int DefaultRowHeight() const { return 24; }
  // A column's width in pixels; the fixed first column keeps its own.
  int ColWidths(int ACol) const;
  void SetColWidths(int ACol, int AWidth);

  // The current cell (column and row, counted with the fixed ones); a value
  // outside the cells that take typing is ignored.
  int Col() const;
  int Row() const;
  void SetCol(int ACol);
  void SetRow(int ARow);

  // The first row and column (of those that take typing) in sight; set
  // before the grid shows, it scrolls there once it has its size.
  int TopRow() const;
  int LeftCol() const;
  void SetTopRow(int ARow);
  void SetLeftCol(int ACol);

  // How large the text is, in percent of the usual size (see ReadingSizes);
  // the rows and headings grow and shrink with it.
  int ReadingSize() const { return FReadingSize; }
  void SetReadingSize(int APercent);

  // A cell is being typed into (its editor is open).
  bool Editing() const;

  // The selected cells: one range, the current cell in it (alone when
  // nothing more is selected).
  TGridRect Selection() const;

  // What the user does by keys, offered to menus as well. Each acts on the
  // selection and raises OnChange once when it changed anything:
  // the selection as tab-separated text and as an HTML table;
  void CopyToClipboard() const;
  void CutToClipboard();
  // tab- or comma-separated text or an HTML table, at the selection's first
  // cell, growing the grid as far as it needs;
  void PasteFromClipboard();
  void ClearSelection();
  // as many rows (columns) as the selection spans, before it; the last row
  // (column) that takes typing is never deleted.
  void InsertRows();
  void DeleteRows();
  void InsertCols();
  void DeleteCols();
  // Every cell that takes typing.
  void SelectAll();
  // Takes back what the user last did to the cells or the grid's size
  // (typing into a cell, a paste, cut, clear, rows and columns inserted or
  // deleted, the grid grown by a step past its end), newest first; Redo
  // does it again. The latest 100 steps are kept, fewer for huge grids.
  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  void Undo();
  void Redo();
  // A block of cells (a file's, say) at the selection's first cell, as a
  // paste puts it; false, with nothing changed, if the grid would grow past
  // MaxCells().
  bool PutCellRows(const std::vector<std::vector<std::string>>& ACells);
  // The cells that take typing, up to the last row and column with text.
  std::vector<std::vector<std::string>> UsedCells() const;

  // Raised whenever a cell's text changes, by the program or the user, also
  // while a cell is being typed into, and when the user changes the size.
  // A command that changes many cells at once raises it once.
  TNotifyEvent OnChange;

  // Out-of-range cells read as empty and ignore writes. The cell being
  // edited reads as what has been typed into it so far.
  std::string Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const std::string& AText);

 private:
  friend class TGridPeer;
  friend class TGridSketch;
  friend void WakeSketchedGrids();
  // What a grid not yet woken holds.
  struct TDraft;
  std::unique_ptr<TDraft> FDraft;
  // The grid's table, made first if need be.
  TGridPeer* Awake() const;
  // What the picture shows changed.
  void Sketched();
  // Puts the draft into ATable: all of it, or for a stamp all but the
  // cells (and the headings' texts), which PutDraftCells puts for the rows
  // and columns (of those that scroll) from the first up to the end.
  void PutDraft(TGridPeer* ATable, const TDraft& ADraft, bool AStamp) const;
  void PutDraftCells(TGridPeer* ATable, const TDraft& ADraft, int AFirstRow, int AEndRow,
                     int AFirstCol, int AEndCol) const;
  // The grid's picture, drawn at its size by a hidden table of its window's.
  void DrawSketch(QPixmap& APicture) const;
  // What a step changed, to put back: one cell, or the whole grid (its
  // size, the cells up to the last one with text, the column widths).
  struct TGridStep {
    bool Whole = true;
    int Rows = 0, Cols = 0;          // the grid's size (whole)
    int UsedRows = 0, UsedCols = 0;  // the part of it Cells holds (whole)
    std::vector<std::string> Cells;  // row by row, fixed ones included; one cell's text
    std::vector<int> Widths;         // (whole)
    int Col = 1, Row = 1;            // the current cell; the cell (one)
  };
  TGridStep Capture(bool AWhole, int ACol, int ARow) const;
  void Apply(const TGridStep& AStep);
  // Keeps the grid as it is before a change of the user's.
  void Remember(bool AWhole = true, int ACol = 0, int ARow = 0);
  void Step(std::vector<TGridStep>& AFrom, std::vector<TGridStep>& ATo, const char* AWhat);
  std::vector<TGridStep> FUndo, FRedo;
  void Changed();
  // Tells assistive technology what a command did, and the current cell.
  void Say(const std::string& AWhat) const;
  void ClearSelection(bool ASay);
  void ChangeLines(bool ARows, bool AInsert);
  // Writes a block of cells at the selection's first cell, growing the
  // grid; false (and nothing changed) if the grid would grow too large.
  bool PutCells(const std::vector<std::vector<std::string>>& ACells);

  std::string FCorner;  // the top-left fixed cell has nowhere to show
  int FQuiet = 0;       // a command is changing many cells; it reports once
  int FReadingSize = 100;
};

// The cell being typed into, in the grid that holds the keyboard, takes what
// was typed; the cell stays open for more.
void CommitCellEdits();

// The grid whose own widget AWidget is (not its cell editor), else null.
class QWidget;
TStringGrid* GridOfPeer(QWidget* AWidget);
