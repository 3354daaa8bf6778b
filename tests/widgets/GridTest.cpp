// The grid as people use a spreadsheet: ranges selected by keys and
// headings, the clipboard both ways, clearing, and a size that follows the
// work.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QMimeData>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QWindow>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "tests/support/Harness.h"
#include "widgets/Widgets.h"

using namespace testing_support;

namespace {

class TChanges : public TObject {
 public:
  int Count = 0;
  void Changed(TObject* /*ASender*/) { ++Count; }
};

class Grid : public testing::Test {
 protected:
  void SetUp() override {
    FForm.reset(TForm::CreateNew(nullptr));
    FForm->SetClientSize(700, 400);
  }
  TStringGrid* AddGrid(TAlign AAlign) {
    auto* grid = new TStringGrid(FForm.get());
    grid->SetParent(FForm.get());
    grid->SetAlign(AAlign);
    grid->SetWidth(350);
    grid->OnChange = TNotifyEvent(&FChanges, &TChanges::Changed);
    return grid;
  }
  static void Keys(Qt::Key AKey, Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), AKey, AModifiers);
    Settle();
  }
  static void ActivateAndSettle(QWidget* AWindow) {
    AWindow->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([AWindow] { return QApplication::activeWindow() == AWindow; }));
    Settle();
  }
  static QTableWidget* Table(TStringGrid* AGrid) {
    AGrid->Wake();
    return static_cast<QTableWidget*>(AGrid->Handle());
  }
  // Changes reported by what AStep does.
  template <class F>
  int ChangesBy(F&& AStep) {
    const int before = FChanges.Count;
    AStep();
    return FChanges.Count - before;
  }
  std::unique_ptr<TForm> FForm;
  TChanges FChanges;
};

constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers CtrlAltShift =
    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;

TEST_F(Grid, ARangeSelectedByKeysTravelsThroughTheClipboardIntoAnotherGridThatGrows) {
  TStringGrid* from = AddGrid(alLeft);
  TStringGrid* to = AddGrid(alClient);
  ShowAndSettle(FForm.get());
  from->SetCells(1, 1, "a");
  from->SetCells(2, 1, "tab\there");
  from->SetCells(1, 2, "數量");
  from->SetCells(2, 2, "");
  from->SetCells(1, 3, "below");
  from->SetFocus();
  Settle();
  Keys(Qt::Key_Right, Qt::ShiftModifier);
  Keys(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(from->Selection(), (TGridRect{1, 1, 2, 2}));
  Keys(Qt::Key_C, Ctrl);
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->text().toStdString(), "a\t\"tab\there\"\n數量\t\n");
  EXPECT_TRUE(copied->hasHtml());

  // Into the other grid's last cell: it grows by the block, reports once,
  // and the pasted block is selected.
  to->SetCells(4, 4, "old");
  to->SetCol(4);
  to->SetRow(4);
  to->SetFocus();
  Settle();
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_V, Ctrl); }), 1);
  EXPECT_EQ(std::pair(to->ColCount(), to->RowCount()), std::pair(6, 6));
  EXPECT_EQ(to->Cells(4, 4), "a");
  EXPECT_EQ(to->Cells(5, 4), "tab\there");
  EXPECT_EQ(to->Cells(4, 5), "數量");
  EXPECT_EQ(to->Cells(5, 5), "");
  EXPECT_EQ(to->Selection(), (TGridRect{4, 4, 5, 5}));
  // New headings are blank, as the first ones are, not numbered.
  for (Qt::Orientation way : {Qt::Horizontal, Qt::Vertical})
    EXPECT_EQ(Table(to)->model()->headerData(4, way).toString(), "") << way;

  // Delete clears the selection, and it is one change.
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_Delete); }), 1);
  EXPECT_EQ(to->Cells(4, 4) + to->Cells(5, 4) + to->Cells(4, 5), "");
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_Delete); }), 0) << "nothing left to clear";

  // A click on a heading selects its column; Ctrl+X takes it away.
  from->SetFocus();
  Settle();
  QHeaderView* headings = Table(from)->horizontalHeader();
  QTest::mouseClick(headings->viewport(), Qt::LeftButton, {},
                    QPoint(headings->sectionViewportPosition(0) + 20, 10));
  Settle();
  EXPECT_EQ(from->Selection(), (TGridRect{1, 1, 1, 4}));
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_X, Ctrl); }), 1);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "a\n數量\nbelow\n\n");
  EXPECT_EQ(from->Cells(1, 1) + from->Cells(1, 3), "");
  EXPECT_EQ(Application->LastAnnouncement(), "Cut 4 cells. blank, row 1, column 1")
      << "what a screen reader hears";
  EXPECT_EQ(from->Cells(2, 1), "tab\there");

  // Backspace on one cell empties it and opens it for typing.
  from->SetCol(2);
  from->SetRow(1);
  Keys(Qt::Key_Backspace);
  EXPECT_TRUE(from->Editing());
  EXPECT_EQ(from->Cells(2, 1), "");
  Keys(Qt::Key_Escape);
  EXPECT_EQ(from->Cells(2, 1), "");

  // Comma-separated text from elsewhere is split; a spreadsheet's one
  // column of decimal commas is taken from its HTML table, not split.
  auto paste = [](const QString& AText, const QString& AHtml) {
    auto* data = new QMimeData;
    data->setText(AText);
    if (!AHtml.isEmpty()) data->setHtml(AHtml);
    QApplication::clipboard()->setMimeData(data);
    Keys(Qt::Key_V, Ctrl);
  };
  to->SetFocus();
  to->SetCol(1);
  to->SetRow(1);
  Settle();
  paste("x,\"y, z\"\n1,2\n", "");
  EXPECT_EQ(to->Cells(1, 1) + "|" + to->Cells(2, 1) + "|" + to->Cells(2, 2), "x|y, z|2");
  paste("1,5\n2,5\n", "<table><tr><td>1,5</td></tr><tr><td>2,5</td></tr></table>");
  EXPECT_EQ(to->Cells(1, 1) + "|" + to->Cells(1, 2) + "|" + to->Cells(2, 1), "1,5|2,5|y, z");

  // A paste that would pass the grid's limit is refused whole.
  const int width = TStringGrid::MaxCells() / 2;
  paste(QString("a\t").repeated(width) + "\nb\n", "");
  EXPECT_EQ(std::pair(to->ColCount(), to->RowCount()), std::pair(6, 6));
  EXPECT_EQ(to->Cells(1, 1), "1,5");
}

TEST_F(Grid, AListTypedWithoutPlanningGrowsTheGridAndRowsAndColumnsComeAndGoByKeys) {
  TStringGrid* grid = AddGrid(alClient);
  ShowAndSettle(FForm.get());
  grid->SetFocus();
  Settle();
  // Tab past the last column adds one; Enter goes back to where the Tabs
  // started, a row down. A question over the window in the middle of a
  // cell's typing, and a save (which takes what was typed so far), leave
  // the cell open and the keys working as before.
  for (const char* cell : {"a", "b", "c", "d"}) {
    TypeText(grid, cell);
    if (cell[0] == 'c') {
      QDialog question(FForm->Peer());
      question.show();
      ActivateAndSettle(&question);
      question.close();
      ActivateAndSettle(FForm->Peer());
      TypeText(grid, "1");
    }
    if (cell[0] == 'd') {
      CommitCellEdits();
      TypeText(grid, "2");
    }
    Keys(Qt::Key_Tab);
  }
  EXPECT_EQ(grid->ColCount(), 6);
  EXPECT_EQ(grid->Cells(3, 1) + grid->Cells(4, 1), "c1d2");
  TypeText(grid, "e");
  Keys(Qt::Key_Return);
  EXPECT_EQ(grid->Cells(5, 1), "e");
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(1, 2));
  // Down, and Enter while typing, past the last row add rows.
  Keys(Qt::Key_Down);
  Keys(Qt::Key_Down);
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_Down); }), 1);
  EXPECT_EQ(std::pair(grid->RowCount(), grid->Row()), std::pair(6, 5));
  TypeText(grid, "z");
  Keys(Qt::Key_Return);
  EXPECT_EQ(std::pair(grid->RowCount(), grid->Row()), std::pair(7, 6));
  EXPECT_EQ(grid->Cells(1, 5), "z");
  Keys(Qt::Key_Right, Qt::NoModifier);
  EXPECT_EQ(grid->ColCount(), 6) << "only past the last column";

  // Ctrl+Shift+I inserts a row before the current one, Ctrl+Shift+D
  // deletes it; with Alt, columns. Each is one change.
  grid->SetRow(1);
  grid->SetCol(1);
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_I, CtrlShift); }), 1);
  EXPECT_EQ(grid->RowCount(), 8);
  EXPECT_EQ(grid->Cells(1, 1) + "|" + grid->Cells(1, 2), "|a");
  EXPECT_EQ(ChangesBy([] { Keys(Qt::Key_D, CtrlShift); }), 1);
  EXPECT_EQ(grid->RowCount(), 7);
  EXPECT_EQ(grid->Cells(1, 1), "a");
  Keys(Qt::Key_I, CtrlAltShift);
  EXPECT_EQ(grid->ColCount(), 7);
  EXPECT_EQ(grid->Cells(2, 1) + "|" + grid->Cells(6, 1), "a|e");
  EXPECT_EQ(Table(grid)->model()->headerData(0, Qt::Horizontal).toString(), "");
  Keys(Qt::Key_D, CtrlAltShift);
  EXPECT_EQ(grid->Cells(1, 1) + "|" + grid->Cells(5, 1), "a|e");
  // A selection of two rows: two go; the last row that takes typing stays.
  Keys(Qt::Key_Down, Qt::ShiftModifier);
  Keys(Qt::Key_D, CtrlShift);
  EXPECT_EQ(grid->RowCount(), 5);
  EXPECT_EQ(grid->Cells(1, 3), "z");
  for (int i = 0; i < 5; ++i) Keys(Qt::Key_D, CtrlShift);
  EXPECT_EQ(grid->RowCount(), 2);
  // Keys given while a cell is being typed into keep the typing.
  TypeText(grid, "kept");
  Keys(Qt::Key_I, CtrlShift);
  EXPECT_EQ(grid->Cells(1, 2), "kept");

  // A double-click on a heading's edge fits the column to its widest text.
  grid->SetCells(2, 2, "a rather long piece of text for one cell");
  QHeaderView* headings = Table(grid)->horizontalHeader();
  const int edge = headings->sectionViewportPosition(1) + headings->sectionSize(1) - 1;
  QTest::mouseDClick(headings->viewport(), Qt::LeftButton, {}, QPoint(edge, 10));
  Settle();
  EXPECT_GT(Table(grid)->columnWidth(1), 150);
  EXPECT_EQ(Table(grid)->columnWidth(0), grid->DefaultColWidth());
}

TEST_F(Grid, AHundredThousandCellsKeepNoItemForTheEmptyOnes) {
  TStringGrid* grid = AddGrid(alClient);
  ShowAndSettle(FForm.get());
  grid->SetColCount(101);
  grid->SetRowCount(1001);
  grid->SetCells(100, 1000, "corner");
  EXPECT_EQ(grid->Cells(100, 1000), "corner");
  EXPECT_EQ(grid->Cells(101, 1000), "") << "out of range reads empty";
  // A whole column cleared and the cells back again: only cells with text
  // hold an item, and the few the keys were on (each names itself to
  // assistive technology).
  grid->SetFocus();
  grid->SetRow(1000);
  grid->SetCol(100);
  Keys(Qt::Key_Delete);
  QTableWidget* table = Table(grid);
  EXPECT_EQ(table->item(999, 99), nullptr);
  EXPECT_EQ(grid->Cells(100, 1000), "");
  int items = 0;
  for (int row = 0; row < table->rowCount(); ++row)
    for (int col = 0; col < table->columnCount(); ++col) items += table->item(row, col) != nullptr;
  EXPECT_LE(items, 2);
  grid->SetColCount(3);
  grid->SetRowCount(1);
  EXPECT_EQ(std::pair(grid->ColCount(), grid->RowCount()), std::pair(3, 2))
      << "one row beside the fixed one stays";
}

// Where the user was and how large the text is: set before the control
// shows (as a file opens it) or while it shows, the view goes there once it
// has its size; the sizes step as a browser's do.
TEST_F(Grid, ScrolledGridsAndEditorsOpenWhereTheyWereAndTheirTextSizeSteps) {
  struct Step {
    int From, Steps, To;
  };
  for (const Step& step :
       {Step{100, 1, 110}, Step{100, -1, 90}, Step{100, 3, 150}, Step{105, 1, 110},
        Step{105, -1, 100}, Step{400, 1, 400}, Step{50, -2, 50}, Step{20, 1, 50},
        Step{999, -1, 400}, Step{175, 0, 100}, Step{67, -1, 50}})
    EXPECT_EQ(StepReadingSize(step.From, step.Steps), step.To) << step.From << " by " << step.Steps;

  TStringGrid* grid = AddGrid(alLeft);
  grid->SetColCount(60);
  grid->SetRowCount(200);
  grid->SetTopRow(120);
  grid->SetLeftCol(30);
  grid->SetReadingSize(150);
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(FForm.get());
  memo->SetAlign(alClient);
  std::string text;
  for (int line = 0; line < 500; ++line)
    text += "line " + std::to_string(line) + (line % 7 == 0 ? std::string(300, 'w') : "") +
            (line == 3 ? std::string(9000, 'h') : "") + "\n";  // a line held in pieces
  memo->SetText(text);
  const int line300 = static_cast<int>(text.find("line 300\n"));
  memo->SetSelection(5, 5);  // the caret far above: the top wins
  memo->SetTopPosition(line300);
  EXPECT_EQ(memo->TopPosition(), line300) << "before it shows: where it will open";
  EXPECT_EQ(std::pair(grid->TopRow(), grid->LeftCol()), std::pair(120, 30));
  ShowAndSettle(FForm.get());
  EXPECT_EQ(memo->TopPosition(), line300);
  EXPECT_EQ(std::pair(grid->TopRow(), grid->LeftCol()), std::pair(120, 30));
  // A grid changed before it shows is laid out as it shows, as Qt lays it
  // out again: headings, margins and scroll bars.
  const auto layout = [](QTableWidget* ATable) {
    std::vector<int> parts;
    for (const QWidget* part : {static_cast<QWidget*>(ATable->viewport()),
                                static_cast<QWidget*>(ATable->horizontalHeader()),
                                static_cast<QWidget*>(ATable->verticalHeader())})
      parts.insert(parts.end(), {part->x(), part->y(), part->width(), part->height()});
    for (const QScrollBar* bar : {ATable->horizontalScrollBar(), ATable->verticalScrollBar()})
      parts.insert(parts.end(), {bar->isVisible(), bar->maximum(), bar->pageStep()});
    return parts;
  };
  TStringGrid* added = AddGrid(alRight);
  added->SetWidth(120);
  added->SetColCount(40);
  added->SetRowCount(90);
  added->SetReadingSize(90);
  SyncPeers();
  ASSERT_TRUE(Table(added)->isVisible());
  const std::vector<int> shown = layout(Table(added));
  Table(added)->doItemsLayout();
  EXPECT_EQ(layout(Table(added)), shown);
  QTableWidget* table = Table(grid);
  EXPECT_EQ(table->rowHeight(0), grid->DefaultRowHeight() * 3 / 2) << "rows grow with the text";
  EXPECT_EQ(table->columnWidth(0), grid->DefaultColWidth()) << "columns keep their widths";
  EXPECT_GT(table->font().pointSizeF(), QApplication::font().pointSizeF() * 1.4);
  // A long line wraps: a top inside it is the start of its wrapped line
  // that holds it, and shown ones scroll at once.
  const int wrapped = static_cast<int>(text.find("line 14w")) + 200;
  memo->SetTopPosition(wrapped);
  Settle();
  EXPECT_LE(memo->TopPosition(), wrapped);
  EXPECT_GT(memo->TopPosition(), wrapped - 120);
  grid->SetTopRow(3);
  EXPECT_EQ(grid->TopRow(), 3);
  memo->SetReadingSize(StepReadingSize(memo->ReadingSize(), -1));
  EXPECT_EQ(memo->ReadingSize(), 90);
  memo->SetReadingSize(100);
  EXPECT_EQ(memo->Handle()->font(), FForm->Handle()->font()) << "back to what the window gives";
}

// Nothing the user does to a grid is lost for good: typing, a paste, a cut,
// Delete, rows and columns, a step past the end; each comes back with
// Ctrl+Z, newest first, and goes again with Ctrl+Shift+Z.
TEST_F(Grid, EveryChangeToTheCellsComesBackWithUndoAndGoesAgainWithRedo) {
  TStringGrid* grid = AddGrid(alClient);
  ShowAndSettle(FForm.get());
  grid->SetFocus();
  auto state = [grid] {
    std::string all = std::to_string(grid->ColCount()) + "x" + std::to_string(grid->RowCount());
    for (const auto& row : grid->UsedCells())
      for (const auto& cell : row) all += "|" + cell;
    return all;
  };
  std::vector<std::string> states{state()};
  auto did = [&] { states.push_back(state()); };
  TypeText(grid, "one");
  Keys(Qt::Key_Return);
  did();
  TypeText(grid, "two");
  Keys(Qt::Key_Tab);
  did();
  QApplication::clipboard()->setText("a\tb\nc\td\n");
  Keys(Qt::Key_V, Ctrl);
  did();
  Keys(Qt::Key_Delete);  // the pasted block, selected
  did();
  Keys(Qt::Key_Delete);  // nothing left to clear: no step
  Keys(Qt::Key_I, CtrlShift);
  did();
  Keys(Qt::Key_D, CtrlAltShift);
  did();
  grid->SetRow(grid->RowCount() - 1);
  Keys(Qt::Key_Down);  // past the end: a row more
  did();
  ASSERT_EQ(states.size(), 8u);
  for (size_t i = states.size() - 1; i > 0; --i) {
    Keys(Qt::Key_Z, Ctrl);
    EXPECT_EQ(state(), states[i - 1]) << "undo back to step " << i - 1;
  }
  EXPECT_FALSE(grid->CanUndo());
  Keys(Qt::Key_Z, Ctrl);  // nothing more: the grid as it was
  EXPECT_EQ(state(), states[0]);
  for (size_t i = 1; i < states.size(); ++i) {
    Keys(Qt::Key_Z, CtrlShift);
    EXPECT_EQ(state(), states[i]) << "redo to step " << i;
  }
  // A new change drops what was undone.
  Keys(Qt::Key_Z, Ctrl);
  grid->SetCol(1);
  grid->SetRow(1);
  TypeText(grid, "new");
  Keys(Qt::Key_Return);
  EXPECT_FALSE(grid->CanRedo());
  EXPECT_EQ(grid->Cells(1, 1), "new");
}

// A grid is drawn as a picture of itself until first used. What a workspace
// puts into it before then (size, cells, headings, widths, current cell,
// scrolling, text size) reads back as from its table, looks the same to the
// pixel, and is all there once it wakes; the pointer and the keyboard wake
// it, and a click lands on the cell under the pointer.
TEST_F(Grid, AGridNotYetUsedReadsLooksAndWakesAsItsTable) {
  // What a grid reads back.
  const auto state = [](const TStringGrid* AGrid) {
    std::ostringstream out;
    const TGridRect chosen = AGrid->Selection();
    out << AGrid->ColCount() << 'x' << AGrid->RowCount() << " at " << AGrid->Col() << ','
        << AGrid->Row() << " top " << AGrid->TopRow() << " left " << AGrid->LeftCol() << " size "
        << AGrid->ReadingSize() << " editing " << AGrid->Editing() << " chosen " << chosen.Left
        << ',' << chosen.Top << ',' << chosen.Right << ',' << chosen.Bottom << " widths";
    for (int col = -1; col <= AGrid->ColCount(); ++col) out << ' ' << AGrid->ColWidths(col);
    out << " cells";
    for (int row = -1; row <= AGrid->RowCount(); ++row)
      for (int col = -1; col <= AGrid->ColCount(); ++col)
        if (!AGrid->Cells(col, row).empty())
          out << ' ' << col << ',' << row << '=' << AGrid->Cells(col, row);
    out << " used " << AGrid->UsedCells().size();
    return out.str();
  };
  // Random steps, hidden, as an open takes them: the same to a grid woken
  // at once and to one not yet.
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    const auto any = [&random](int ALow, int AHigh) {
      return std::uniform_int_distribution<int>(ALow, AHigh)(random);
    };
    const std::unique_ptr<TStringGrid> woken(new TStringGrid(FForm.get()));
    woken->Wake();
    const std::unique_ptr<TStringGrid> sketched(new TStringGrid(FForm.get()));
    sketched->OnChange = TNotifyEvent(&FChanges, &TChanges::Changed);
    for (int step = 0; step < 60; ++step) {
      const int kind = any(0, 8), a = any(-2, 12), b = any(-2, 12);
      const int width = any(0, 3) == 0 ? 2'000'000 : b * 9;
      const std::string text = any(0, 3) == 0 ? std::string() : "t" + std::to_string(any(0, 99));
      const bool cellChanges = kind <= 3 && kind >= 2 && a >= 1 && b >= 1 &&
                               a < sketched->ColCount() && b < sketched->RowCount() &&
                               sketched->Cells(a, b) != text;
      for (TStringGrid* grid : {woken.get(), sketched.get()}) {
        const int changes = FChanges.Count;
        switch (kind) {
          case 0:
            grid->SetColCount(a);
            break;
          case 1:
            grid->SetRowCount(b);
            break;
          case 2:
          case 3:
            grid->SetCells(a, b, text);
            break;
          case 4:
            grid->SetColWidths(a, width);
            break;
          case 5:
            grid->SetCol(a);
            break;
          case 6:
            grid->SetRow(b);
            break;
          case 7:
            grid->SetTopRow(a), grid->SetLeftCol(b);
            break;
          default:
            grid->SetReadingSize(50 + 25 * a);
            break;
        }
        if (grid == sketched.get()) {
          EXPECT_EQ(FChanges.Count - changes, cellChanges ? 1 : 0) << "step " << step;
        }
      }
      ASSERT_EQ(state(sketched.get()), state(woken.get())) << "seed " << seed << " step " << step;
      ASSERT_FALSE(sketched->Woken());
    }
    sketched->Wake();
    EXPECT_EQ(state(sketched.get()), state(woken.get())) << "seed " << seed << ", woken";
  }

  // Shown side by side, the picture and the table, as a workspace leaves
  // them: to the pixel, and the picture's grid the same once woken.
  struct Look {
    int Width, Height, Cols, Rows, Col, Row, Top, Left, Size;
    std::vector<int> Widths;
  };
  ShowAndSettle(FForm.get());
  const auto compare = [this, &state](const Look& ALook) {
    std::vector<std::unique_ptr<TStringGrid>> grids;
    for (int side = 0; side < 2; ++side) {
      auto* grid = new TStringGrid(FForm.get());
      grids.emplace_back(grid);
      if (side == 0) grid->Wake();
      grid->SetBounds(side * (ALook.Width + 10), 0, ALook.Width, ALook.Height);
      grid->SetColCount(ALook.Cols);
      grid->SetRowCount(ALook.Rows);
      for (int row = 0; row < ALook.Rows; row += 3)
        for (int col = 0; col < ALook.Cols; col += 2)
          grid->SetCells(col, row, std::to_string(col) + "/" + std::to_string(row) + " 表格");
      for (size_t i = 0; i < ALook.Widths.size(); ++i)
        grid->SetColWidths(static_cast<int>(i) + 1, ALook.Widths[i]);
      grid->SetCol(ALook.Col);
      grid->SetRow(ALook.Row);
      grid->SetTopRow(ALook.Top + 1);
      grid->SetLeftCol(ALook.Left + 1);
      grid->SetReadingSize(ALook.Size);
      grid->SetParent(FForm.get());
    }
    Settle();
    const auto picture = [this, &ALook](int ASide) {
      return FForm->Handle()
          ->grab(QRect(ASide * (ALook.Width + 10), 0, ALook.Width, ALook.Height))
          .toImage();
    };
    ASSERT_FALSE(grids[1]->Woken());
    const QImage table = picture(0);
    const std::string where = std::to_string(ALook.Width) + " x " + std::to_string(ALook.Height) +
                              (FForm->Handle()->isActiveWindow() ? "" : ", window not active");
    EXPECT_TRUE(picture(1) == table) << where;
    // Larger, where what was scrolled out of sight may all fit: drawn by a
    // stamp that drew other sizes meanwhile.
    const QSize grown(std::min(ALook.Width * 2, 340), std::min(ALook.Height * 2, 390));
    for (int side = 0; side < 2; ++side)
      grids[static_cast<size_t>(side)]->SetBounds(side * (grown.width() + 10), 0, grown.width(),
                                                  grown.height());
    Settle();
    const auto larger = [this, &grown](int ASide) {
      return FForm->Handle()->grab(QRect(QPoint(ASide * (grown.width() + 10), 0), grown)).toImage();
    };
    EXPECT_TRUE(larger(1) == larger(0)) << where << ", taller";
    for (int side = 0; side < 2; ++side)
      grids[static_cast<size_t>(side)]->SetBounds(side * (ALook.Width + 10), 0, ALook.Width,
                                                  ALook.Height);
    Settle();
    // Woken, the table takes the picture's place without a pixel moving (a
    // table resized by Qt meanwhile may have laid itself out otherwise).
    const QImage back = picture(1);
    grids[1]->Wake();
    Settle();
    EXPECT_TRUE(picture(1) == back) << where << ", woken";
    EXPECT_EQ(state(grids[1].get()), state(grids[0].get()));
  };
  const Look looks[] = {
      Look{200, 150, 5, 5, 1, 1, 0, 0, 100, {}}, Look{200, 100, 5, 6, 2, 3, 5, 3, 100, {}},
      // (a scroll bar needed only for the other's room)
      Look{330, 100, 5, 6, 2, 3, 5, 3, 100, {}}, Look{160, 168, 5, 6, 2, 3, 5, 3, 100, {}},
      Look{330, 200, 9, 30, 3, 4, 0, 0, 100, {40, 0, 90, 5}},
      Look{250, 180, 12, 60, 2, 20, 12, 3, 150, {30, 30}}, Look{30, 20, 5, 5, 2, 2, 0, 0, 100, {}},
      Look{300, 300, 4, 3, 3, 2, 0, 0, 400, {}},
      Look{340, 120, 100, 1000, 50, 500, 480, 45, 50, {}}};
  ASSERT_TRUE(FForm->Handle()->isActiveWindow());
  for (const Look& look : looks) compare(look);
  QWidget other;
  other.show();
  ActivateAndSettle(&other);
  ASSERT_FALSE(FForm->Handle()->isActiveWindow());
  compare(looks[1]);
  compare(looks[2]);
  ActivateAndSettle(FForm->Handle());

  // The pointer and the keyboard wake a grid, and a click lands where it
  // points.
  TStringGrid* clicked = AddGrid(alLeft);
  TStringGrid* held = AddGrid(alBottom);
  held->SetRowCount(9);
  held->SetCol(2);
  held->SetRow(3);
  TStringGrid* typed = AddGrid(alClient);
  Settle();
  ASSERT_FALSE(clicked->Woken());
  ASSERT_FALSE(held->Woken());
  ASSERT_FALSE(typed->Woken());
  // Keys still held down as the keyboard comes in (Ctrl+Tab, Shift+F6)
  // select nothing more than the current cell, which a Delete then clears.
  QWindow* window = FForm->Handle()->windowHandle();
  QTest::keyPress(window, Qt::Key_Control, Qt::ControlModifier);
  ASSERT_EQ(QGuiApplication::keyboardModifiers(), Qt::ControlModifier);
  held->SetFocus();
  Settle();
  QTest::keyRelease(window, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_TRUE(held->Woken());
  EXPECT_EQ(held->Selection(), (TGridRect{2, 3, 2, 3}));
  const QRect cell = QRect(64 + 64 + 64 + 10, 24 + 24 + 5, 1, 1);  // column 3, row 2
  QTest::mouseClick(clicked->Handle(), Qt::LeftButton, {}, cell.topLeft());
  Settle();
  EXPECT_TRUE(clicked->Woken());
  EXPECT_EQ(std::pair(clicked->Col(), clicked->Row()), std::pair(3, 2));
  EXPECT_TRUE(Table(clicked)->hasFocus());
  typed->SetFocus();
  Settle();
  EXPECT_TRUE(typed->Woken());
  // The cell the keys are on tells a screen reader where it is.
  ASSERT_NE(Table(typed)->currentItem(), nullptr);
  EXPECT_EQ(Table(typed)->currentItem()->data(Qt::AccessibleTextRole).toString().toStdString(),
            "blank, row 1, column 1");
  TypeText(typed, "x");
  Keys(Qt::Key_Return);
  EXPECT_EQ(typed->Cells(1, 1), "x");
  EXPECT_EQ(std::pair(typed->Col(), typed->Row()), std::pair(1, 2));
}

}  // namespace
