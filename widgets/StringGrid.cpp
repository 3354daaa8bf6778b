#include "widgets/StringGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <iterator>

#include "widgets/Application.h"
#include "widgets/CellText.h"
#include "widgets/Form.h"
#include "widgets/Peer.h"

namespace {
// Where a cell lies, as the grid shows it: its row's and column's headings,
// or their numbers (the first cell that takes typing is row 1, column 1).
QString CellPlace(const QTableWidget* ATable, int ARow, int AColumn) {
  auto heading = [](const QTableWidgetItem* AItem, int AIndex) {
    const QString text = AItem != nullptr ? AItem->text() : QString();
    return text.isEmpty() ? QString::number(AIndex + 1) : text;
  };
  return QStringLiteral("row %1, column %2")
      .arg(heading(ATable->verticalHeaderItem(ARow), ARow),
           heading(ATable->horizontalHeaderItem(AColumn), AColumn));
}

// A cell that tells assistive technology its text and where it lies.
class TCellItem : public QTableWidgetItem {
 public:
  TCellItem() : QTableWidgetItem(UserType) {}
  QTableWidgetItem* clone() const override { return new TCellItem(*this); }
  QVariant data(int ARole) const override {
    const QTableWidget* table = tableWidget();
    if (ARole != Qt::AccessibleTextRole || table == nullptr) return QTableWidgetItem::data(ARole);
    const QString text = QTableWidgetItem::data(Qt::DisplayRole).toString();
    return (text.isEmpty() ? QStringLiteral("blank") : text) + QStringLiteral(", ") +
           CellPlace(table, row(), column());
  }
};

// The grid's own keys for its size. Ctrl+Shift+letter and
// Ctrl+Alt+Shift+letter are what no desktop, input method or Qt widget
// takes (see docs/keys.md); I inserts, D deletes, Alt turns rows into
// columns.
enum TSizeKey { skNone, skInsertRows, skDeleteRows, skInsertCols, skDeleteCols };

TSizeKey SizeKeyOf(const QKeyEvent* AKey) {
  const Qt::KeyboardModifiers mods = AKey->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier |
                                                          Qt::AltModifier | Qt::MetaModifier);
  const bool rows = mods == (Qt::ControlModifier | Qt::ShiftModifier);
  const bool cols = mods == (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  if (!rows && !cols) return skNone;
  if (AKey->key() == Qt::Key_I) return rows ? skInsertRows : skInsertCols;
  if (AKey->key() == Qt::Key_D) return rows ? skDeleteRows : skDeleteCols;
  return skNone;
}

// A hidden widget keeps the resize events of its parts until it shows; a
// stamp, never shown, takes them at once, as a shown table would (its
// headings place themselves by their own size).
void DeliverResizes(QWidget* AWidget) {
  for (int round = 0; round < 3; ++round) {
    QList<QWidget*> parts = AWidget->findChildren<QWidget*>();
    parts.prepend(AWidget);
    bool pending = false;
    for (QWidget* part : parts)
      if (part->testAttribute(Qt::WA_PendingResizeEvent)) {
        pending = true;
        part->setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent resized(part->size(), QSize());
        QCoreApplication::sendEvent(part, &resized);
      }
    if (!pending) return;
  }
}

bool Unmodified(const QKeyEvent* AKey) {
  return (AKey->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
}  // namespace

class TGridPeer : public QTableWidget {
 public:
  // AGrid is null for a window's stamp (see TGridSketch).
  explicit TGridPeer(TStringGrid* AGrid, QWidget* AParent) : QTableWidget(AParent), FGrid(AGrid) {
    // Sized here rather than by the base, where this class's own layout
    // (below) is not yet in place.
    setRowCount(4);
    setColumnCount(4);
  }

  // The cell editor while a cell is edited, else null.
  QLineEdit* Editor() const {
    if (state() != EditingState) return nullptr;
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
      if (editor->isVisible()) return editor;
    return nullptr;
  }

  // Headings have no numbers: a section without an item would show one.
  void NameSections(Qt::Orientation AOrientation, int AFirst, int ACount) {
    for (int i = AFirst; i < AFirst + ACount; ++i)
      if (AOrientation == Qt::Horizontal)
        setHorizontalHeaderItem(i, new QTableWidgetItem);
      else
        setVerticalHeaderItem(i, new QTableWidgetItem);
  }

  // Makes (ARow, ACol) current and the only cell selected, in view; a step
  // past the last row or column grows the grid by one.
  void MoveTo(int ARow, int ACol) {
    ARow = std::max(0, ARow);
    ACol = std::max(0, ACol);
    if (ARow >= rowCount() || ACol >= columnCount()) {
      const int rows = std::max(rowCount(), ARow + 1);
      const int cols = std::max(columnCount(), ACol + 1);
      if (static_cast<long long>(rows + 1) * (cols + 1) > TStringGrid::MaxCells()) {
        QApplication::beep();
        return;
      }
      FGrid->Remember();
      FGrid->SetRowCount(rows + 1);
      FGrid->SetColCount(cols + 1);
      FGrid->Changed();
    }
    PlaceCurrent(ARow, ACol);
    scrollTo(model()->index(ARow, ACol));
  }

  // Makes (ARow, ACol) current and the only cell selected, where a range
  // selected by Shift then starts, whatever keys are held down (Qt would
  // take a held Ctrl or Shift as adding to the selection).
  void PlaceCurrent(int ARow, int ACol) {
    FPlacing = true;
    setCurrentCell(ARow, ACol);
    FPlacing = false;
  }

  TStringGrid* Grid() const { return FGrid; }

  // Laid out as it will be once Qt is done: the scroll bars it shows a
  // moment after their ranges change take room from the cells (which may
  // call for the other one), and the ranges change with that room. A stamp,
  // hidden, is laid out too (it never shows).
  void SettleLayout(bool AStamp = false) {
    FStamp = FStamp || AStamp;
    QSize room;
    for (int round = 0; round < 4 && viewport()->size() != room; ++round) {
      room = viewport()->size();
      executeDelayedItemsLayout();
      updateGeometries();
      QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
      if (FStamp) DeliverResizes(this);
    }
  }

  // The first row and column (of those that scroll) in sight, where -1
  // leaves one as it is. The scroll bars learn a grown grid's size first.
  void ScrollTo(int ARow, int ACol) {
    executeDelayedItemsLayout();
    if (ARow >= 0) verticalScrollBar()->setValue(ARow);
    if (ACol >= 0) horizontalScrollBar()->setValue(ACol);
  }

  // A cell being typed into takes what was typed and closes.
  void EndEdit() {
    if (QLineEdit* editor = Editor()) Submit(editor);
  }

  // What was typed into the open cell goes into the cell; it stays open.
  void CommitEdit() {
    QLineEdit* editor = Editor();
    if (editor == nullptr) return;
    commitData(editor);
    // Qt puts its delegate's watch on the editor back in front of ours,
    // which would take Tab, Enter and the rest from the grid's own keys.
    editor->removeEventFilter(this);
    editor->installEventFilter(this);
  }

 protected:
  bool edit(const QModelIndex& AIndex, EditTrigger ATrigger, QEvent* AEvent) override {
    // Only while the grid holds the keyboard: an edit that comes late (as
    // Qt's edit of a clicked current cell did) must not take the keys from
    // where the user has gone since (another pane, or the grid into an
    // undo's keeping). Handled, by editing nothing (a refusal would only be
    // reported).
    QWidget* focus = QApplication::focusWidget();
    if (!isVisible() || focus == nullptr || (focus != this && !isAncestorOf(focus))) return true;
    const bool handled = QTableWidget::edit(AIndex, ATrigger, AEvent);
    if (QLineEdit* editor = Editor()) {
      // What the cell held, kept for an undo once the typing changes it.
      const QTableWidgetItem* was = item(AIndex.row(), AIndex.column());
      FTyped = {AIndex.row(), AIndex.column(), was != nullptr ? was->text() : QString(), true};
      editor->setAccessibleName(QStringLiteral("Editing ") +
                                CellPlace(this, AIndex.row(), AIndex.column()));
      // Watched after the delegate, so Ctrl+Tab comes here first.
      editor->removeEventFilter(this);
      editor->installEventFilter(this);
      QObject::connect(editor, &QLineEdit::textEdited, this, &TGridPeer::Edited,
                       Qt::UniqueConnection);
      // The key that opened the editor was its first typing.
      if (ATrigger == AnyKeyPressed) Edited();
    }
    return handled;
  }

  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    auto* editor = qobject_cast<QLineEdit*>(AObject);
    // The window handing the keyboard to another (a question, a file
    // chooser, another program) leaves the cell open with its typing, as a
    // save does. Qt's delegate would end the typing there, and the next key
    // back in the window would start the cell afresh over what it held.
    if (AEvent->type() == QEvent::FocusOut && editor != nullptr &&
        static_cast<QFocusEvent*>(AEvent)->reason() == Qt::ActiveWindowFocusReason) {
      static_cast<QObject*>(editor)->event(AEvent);
      return true;
    }
    if (AEvent->type() == QEvent::KeyPress && editor != nullptr) {
      auto* key = static_cast<QKeyEvent*>(AEvent);
      const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
      if (tab && (key->modifiers() & Qt::ControlModifier)) {
        // Ctrl+Tab leaves the grid while a cell is edited too; the cell
        // keeps what was typed.
        Submit(editor);
        const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        LeaveForNextInChain(FGrid, !back);
        return true;
      }
      // Keys that end the typing in a cell and move on, as in a
      // spreadsheet: the cell keeps what was typed.
      const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
      const bool down = key->key() == Qt::Key_Down && Unmodified(key);
      if (enter || tab || down || SizeKeyOf(key) != skNone) {
        Submit(editor);
        keyPressEvent(key);
        return true;
      }
    }
    return QTableWidget::eventFilter(AObject, AEvent);
  }

  void keyPressEvent(QKeyEvent* AKey) override {
    const int row = currentRow();
    const int col = currentColumn();
    if (AKey->matches(QKeySequence::Undo)) {
      Dispatch([this] { FGrid->Undo(); });
    } else if (AKey->matches(QKeySequence::Redo)) {
      Dispatch([this] { FGrid->Redo(); });
    } else if (AKey->matches(QKeySequence::Copy)) {
      FGrid->CopyToClipboard();
    } else if (AKey->matches(QKeySequence::Cut)) {
      Dispatch([this] { FGrid->CutToClipboard(); });
    } else if (AKey->matches(QKeySequence::Paste)) {
      Dispatch([this] { FGrid->PasteFromClipboard(); });
    } else if (const TSizeKey size = SizeKeyOf(AKey); size != skNone) {
      Dispatch([this, size] {
        if (size == skInsertRows) FGrid->InsertRows();
        if (size == skDeleteRows) FGrid->DeleteRows();
        if (size == skInsertCols) FGrid->InsertCols();
        if (size == skDeleteCols) FGrid->DeleteCols();
      });
    } else if (AKey->key() == Qt::Key_Delete && Unmodified(AKey)) {
      Dispatch([this] { FGrid->ClearSelection(); });
    } else if (AKey->key() == Qt::Key_Backspace && Unmodified(AKey)) {
      // A single cell opens empty for typing, as in a spreadsheet.
      const bool one = FGrid->Selection().Left == FGrid->Selection().Right &&
                       FGrid->Selection().Top == FGrid->Selection().Bottom;
      Dispatch([this] { FGrid->ClearSelection(); });
      if (one) edit(currentIndex(), EditKeyPressed, AKey);
    } else if ((AKey->key() == Qt::Key_Return || AKey->key() == Qt::Key_Enter) &&
               (AKey->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == 0) {
      // Enter goes down a row, back to the column a run of Tabs started in,
      // so a list is typed row by row; Shift+Enter goes up.
      const bool up = AKey->modifiers() & Qt::ShiftModifier;
      const int back = FTabStart >= 0 ? FTabStart : col;
      Dispatch([&] { MoveTo(up ? row - 1 : row + 1, back); });
    } else if ((AKey->key() == Qt::Key_Tab || AKey->key() == Qt::Key_Backtab) &&
               !(AKey->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      const bool back = AKey->key() == Qt::Key_Backtab || (AKey->modifiers() & Qt::ShiftModifier);
      const int start = FTabStart >= 0 ? FTabStart : col;
      Dispatch([&] { MoveTo(row, back ? col - 1 : col + 1); });
      FTabStart = start;
    } else if (Unmodified(AKey) && ((AKey->key() == Qt::Key_Down && row == rowCount() - 1) ||
                                    (AKey->key() == Qt::Key_Right && col == columnCount() - 1))) {
      // An arrow past the last row or column grows the grid.
      const bool down = AKey->key() == Qt::Key_Down;
      Dispatch([&] { MoveTo(down ? row + 1 : row, down ? col : col + 1); });
    } else {
      QTableWidget::keyPressEvent(AKey);
      return;
    }
    AKey->accept();
  }

  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& AIndex,
                                                       const QEvent* AEvent) const override {
    if (FPlacing) return QItemSelectionModel::ClearAndSelect;
    return QTableWidget::selectionCommand(AIndex, AEvent);
  }

  // Any move but a Tab ends a run of Tabs.
  void currentChanged(const QModelIndex& ACurrent, const QModelIndex& APrevious) override {
    FTabStart = -1;
    QTableWidget::currentChanged(ACurrent, APrevious);
  }

  void closeEditor(QWidget* AEditor, QAbstractItemDelegate::EndEditHint AHint) override {
    // Escape puts back what the cell held: the typing that counted as a
    // change is gone again, and that is a change too.
    bool reverted = false;
    if (auto* editor = qobject_cast<QLineEdit*>(AEditor);
        editor != nullptr && AHint == QAbstractItemDelegate::RevertModelCache) {
      const QTableWidgetItem* item = currentItem();
      reverted = editor->text() != (item != nullptr ? item->text() : QString());
    }
    QTableWidget::closeEditor(AEditor, AHint);
    if (reverted) Edited();
  }

  // A right click on the headings (or the grey beyond them) comes up from
  // them unhandled; a scroll area would pass it on to the pane around the
  // grid, whose menu is not the grid's.
  bool event(QEvent* AEvent) override {
    if (AEvent->type() != QEvent::ContextMenu) return QTableWidget::event(AEvent);
    contextMenuEvent(static_cast<QContextMenuEvent*>(AEvent));
    return true;
  }

  // Qt lays out a table's headings, scroll bars and margins (asking each
  // heading for its size, text by text) on every change of its rows,
  // columns or headings, and again as each heading shows: a new grid did
  // that six times before it was first seen. A hidden grid leaves it until
  // it shows, where it happens once; a shown grid does it as Qt does.
  void updateGeometries() override {
    if ((!isVisible() || FShowing) && !FStamp) {
      FGeometriesDue = true;
      return;
    }
    FGeometriesDue = false;
    QTableWidget::updateGeometries();
  }

  void setVisible(bool AVisible) override {
    const bool showing = AVisible && !isVisible();
    FShowing = showing;
    QTableWidget::setVisible(AVisible);
    FShowing = false;
    if (FGeometriesDue && isVisible()) updateGeometries();
    if (showing && isVisible()) SettleShown();
  }

  // Shown: laid out again as Qt would lay it out later (the scroll bars it
  // shows after its first layout take room from the cells), then opened
  // where the user was, the rows and columns that were at its top left, as
  // far as its size lets it scroll.
  void SettleShown() {
    SettleLayout();
    if (FTop < 0 && FLeft < 0) return;
    ScrollTo(FTop, FLeft);
    FTop = FLeft = -1;
  }

  void showEvent(QShowEvent* AEvent) override {
    QTableWidget::showEvent(AEvent);
    if (FShowing) return;
    // Shown along with its window rather than by itself.
    if (FGeometriesDue) updateGeometries();
    if (FTop >= 0 || FLeft >= 0)
      QMetaObject::invokeMethod(
          this, [this] { SettleShown(); }, Qt::QueuedConnection);
  }

  // The grid's own commands, with their keys, and the menu of the pane it
  // is in.
  void contextMenuEvent(QContextMenuEvent* AEvent) override {
    auto* menu = new QMenu;
    enum TCommand {
      gUndo,
      gRedo,
      gCut,
      gCopy,
      gPaste,
      gClear,
      gInsRows,
      gDelRows,
      gInsCols,
      gDelCols,
      gAll,
      gNone
    };
    struct TEntry {
      const char* Caption;
      QKeySequence Keys;
      TCommand Command;
      bool Enabled;
    };
    // An empty clipboard may have no data at all.
    const QMimeData* offered = QApplication::clipboard()->mimeData();
    const bool paste = offered != nullptr && (offered->hasText() || offered->hasHtml());
    const TEntry entries[] = {
        {"&Undo", QKeySequence::Undo, gUndo, FGrid->CanUndo()},
        {"&Redo", QKeySequence::Redo, gRedo, FGrid->CanRedo()},
        {nullptr, {}, gNone, false},
        {"Cu&t", QKeySequence::Cut, gCut, true},
        {"&Copy", QKeySequence::Copy, gCopy, true},
        {"&Paste", QKeySequence::Paste, gPaste, paste},
        {"C&lear", QKeySequence(Qt::Key_Delete), gClear, true},
        {nullptr, {}, gNone, false},
        {"&Insert Rows", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I), gInsRows, true},
        {"&Delete Rows", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), gDelRows,
         FGrid->RowCount() > FGrid->FixedRows() + 1},
        {"Insert Colu&mns", QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_I), gInsCols,
         true},
        {"Delete C&olumns", QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_D), gDelCols,
         FGrid->ColCount() > FGrid->FixedCols() + 1},
        {nullptr, {}, gNone, false},
        {"Select &All", QKeySequence::SelectAll, gAll, true},
    };
    for (const TEntry& entry : entries) {
      if (entry.Caption == nullptr) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(QString::fromUtf8(entry.Caption));
      action->setShortcut(entry.Keys);
      action->setShortcutContext(Qt::WidgetShortcut);  // shown; the grid binds them
      action->setEnabled(entry.Enabled);
      const TCommand command = entry.Command;
      QObject::connect(action, &QAction::triggered, this, [this, command] {
        Dispatch([this, command] {
          switch (command) {
            case gUndo:
              FGrid->Undo();
              break;
            case gRedo:
              FGrid->Redo();
              break;
            case gCut:
              FGrid->CutToClipboard();
              break;
            case gCopy:
              FGrid->CopyToClipboard();
              break;
            case gPaste:
              FGrid->PasteFromClipboard();
              break;
            case gClear:
              FGrid->ClearSelection();
              break;
            case gInsRows:
              FGrid->InsertRows();
              break;
            case gDelRows:
              FGrid->DeleteRows();
              break;
            case gInsCols:
              FGrid->InsertCols();
              break;
            case gDelCols:
              FGrid->DeleteCols();
              break;
            case gAll:
              FGrid->SelectAll();
              break;
            case gNone:
              break;
          }
        });
      });
    }
    PopupWithScope(menu, FGrid, AEvent->globalPos());
  }

  void focusInEvent(QFocusEvent* AEvent) override {
    QTableWidget::focusInEvent(AEvent);
    // Back from the cell editor (Return, Escape) or in from elsewhere: a
    // screen reader hears the cell, not the whole table again. Told after
    // Qt tells of the table; a command tells where the keyboard ends itself.
    if (!AccessibleCommandRunning())
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (hasFocus()) AccessibleFocusOnCurrentItem(this);
          },
          Qt::QueuedConnection);
  }

 public:
  // Every cell the user moves onto has an item, which names it.
  void NameCurrentCell() {
    const int row = currentRow(), column = currentColumn();
    if (row < 0 || column < 0 || item(row, column) != nullptr) return;
    const QSignalBlocker quiet(this);  // no change of the user's
    setItem(row, column, new TCellItem);
  }

 private:
  // Typing in a cell changes the grid, before the cell takes the text.
  void Edited() {
    SafeCall([this] { FGrid->OnChange(FGrid); });
  }

  void Submit(QLineEdit* AEditor) {
    commitData(AEditor);
    closeEditor(AEditor, QAbstractItemDelegate::NoHint);
  }

  TStringGrid* FGrid;
  int FTabStart = -1;           // the column a run of Tabs started in
  bool FGeometriesDue = false;  // laid out when next shown
  bool FShowing = false;        // within setVisible(true)
  bool FStamp = false;          // draws sketched grids, hidden
  bool FPlacing = false;        // within PlaceCurrent

 public:
  // The cell being typed into and what it held before, until the typing
  // changes it (then it is a step to undo).
  struct TTyped {
    int Row = -1, Col = -1;
    QString Was;
    bool Open = false;
  } FTyped;

 public:
  // The first row and column (of those that scroll) to show once the grid
  // shows, or -1.
  int FTop = -1;
  int FLeft = -1;
};

namespace {
TGridPeer* Table(QWidget* APeer) { return static_cast<TGridPeer*>(APeer); }

// Fixed cells are the table's headings; the rest are its items.
QTableWidgetItem* CellItem(QTableWidget* ATable, int ACol, int ARow, bool ACreate) {
  QTableWidgetItem* item = nullptr;
  if (ARow == 0)
    item = ATable->horizontalHeaderItem(ACol - 1);
  else if (ACol == 0)
    item = ATable->verticalHeaderItem(ARow - 1);
  else
    item = ATable->item(ARow - 1, ACol - 1);
  if (item == nullptr && ACreate) {
    if (ARow == 0)
      ATable->setHorizontalHeaderItem(ACol - 1, item = new QTableWidgetItem);
    else if (ACol == 0)
      ATable->setVerticalHeaderItem(ARow - 1, item = new QTableWidgetItem);
    else
      ATable->setItem(ARow - 1, ACol - 1, item = new TCellItem);
  }
  return item;
}

// Sets a cell that takes typing; an emptied cell keeps no item, so a large
// grid holds items only for the cells that have text.
bool PutCell(QTableWidget* ATable, int ARow, int ACol, const QString& AText) {
  QTableWidgetItem* item = ATable->item(ARow, ACol);
  if (AText.isEmpty()) {
    if (item == nullptr || item->text().isEmpty()) return false;
    delete ATable->takeItem(ARow, ACol);
    return true;
  }
  if (item == nullptr) {
    auto* cell = new TCellItem;
    cell->setText(AText);
    ATable->setItem(ARow, ACol, cell);
    return true;
  }
  if (item->text() == AText) return false;
  item->setText(AText);
  return true;
}
}  // namespace

namespace {
// A heading's largest section, as Qt's headings have it.
constexpr int MaxSectionSize = 1048575;

// How every grid's table is set up, the stamp's too.
void SetUpTable(TGridPeer* ATable, const TStringGrid* AGrid) {
  ATable->setItemPrototype(new TCellItem);
  ATable->NameSections(Qt::Horizontal, 0, ATable->columnCount());
  ATable->NameSections(Qt::Vertical, 0, ATable->rowCount());
  ATable->horizontalHeader()->setMinimumSectionSize(4);
  ATable->verticalHeader()->setMinimumSectionSize(4);
  ATable->horizontalHeader()->setDefaultSectionSize(AGrid->DefaultColWidth());
  ATable->verticalHeader()->setDefaultSectionSize(AGrid->DefaultRowHeight());
  ATable->horizontalHeader()->setFixedHeight(AGrid->DefaultRowHeight());
  ATable->verticalHeader()->setFixedWidth(AGrid->DefaultColWidth());
  // Columns are widened by dragging a heading's edge; a double-click on it
  // fits the widest text (Qt's table does that for interactive headings).
  ATable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ATable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ATable->setCornerButtonEnabled(false);
  // A cell at a time, as a classic grid scrolls: a row at the top is whole,
  // and the scroll bars count rows and columns.
  ATable->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  ATable->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
  ATable->setShowGrid(true);
  // One range: dragged, Shift+clicked, Shift+arrows, or a whole row or
  // column by a click on its heading.
  ATable->setSelectionMode(QAbstractItemView::ContiguousSelection);
  ATable->setSelectionBehavior(QAbstractItemView::SelectItems);
  // Typing, F2 or a double-click edits a cell, as in a classic grid. Not a
  // click on the current cell: Qt edits that a moment later, and keys typed
  // meanwhile were lost.
  ATable->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                          QAbstractItemView::EditKeyPressed);
  ATable->PlaceCurrent(0, 0);
}

// The rows and the headings grow and shrink with the text; the columns
// keep the widths the user gave them.
void ScaleTable(TGridPeer* ATable, const TStringGrid* AGrid, int APercent) {
  ScaleFont(ATable, APercent);
  const int height = AGrid->DefaultRowHeight() * APercent / 100;
  ATable->verticalHeader()->setDefaultSectionSize(height);
  ATable->horizontalHeader()->setFixedHeight(height);
  ATable->verticalHeader()->setFixedWidth(AGrid->DefaultColWidth() * APercent / 100);
}

// The grids not yet woken.
std::vector<TStringGrid*>& SketchedGrids() {
  static std::vector<TStringGrid*> grids;
  return grids;
}
}  // namespace

// What a grid shows until it makes its table: a picture of that table,
// drawn by a table of the same kind that the window keeps out of sight for
// all its sketched grids (its stamp), so the two look alike to the pixel. The
// pointer coming onto it or the keyboard coming into it wakes the grid,
// whose table then takes its place and what input is still on its way.
class TGridSketch : public QWidget {
  static constexpr qint64 KeptPicturePixels = 512 * 512;

 public:
  explicit TGridSketch(TStringGrid* AGrid) : QWidget(Nursery()), FGrid(AGrid) {
    setFocusPolicy(Qt::StrongFocus);
  }

  void Retire(QWidget* ATable) {
    FTable = ATable;
    deleteLater();
  }

  // What the picture shows changed.
  void Stale() {
    FPicture = QPixmap();
    update();
  }

 protected:
  bool event(QEvent* AEvent) override {
    switch (AEvent->type()) {
      case QEvent::FocusIn:
      case QEvent::Enter:
        if (FTable == nullptr) FGrid->Wake();
        return true;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
        if (FTable == nullptr) FGrid->Wake();
        if (FTable != nullptr) HandOnPointer(FTable, AEvent);
        return true;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::InputMethod:
        // Keys sent here rather than to where the keyboard is.
        if (FTable == nullptr) FGrid->Wake();
        if (FTable != nullptr) return QCoreApplication::sendEvent(FTable, AEvent);
        return true;
      case QEvent::PaletteChange:
      case QEvent::FontChange:
      case QEvent::StyleChange:
      case QEvent::ActivationChange:
        FPicture = QPixmap();
        break;
      default:
        break;
    }
    return QWidget::event(AEvent);
  }

  void paintEvent(QPaintEvent* /*AEvent*/) override {
    if (FTable != nullptr) return;
    const bool active = isActiveWindow();
    if (FPicture.isNull() || FPicture.deviceIndependentSize().toSize() != size() ||
        FPicture.devicePixelRatio() != devicePixelRatioF() || FActive != active) {
      FActive = active;
      FGrid->DrawSketch(FPicture);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, FPicture);
    // A large picture is drawn again when needed rather than kept: the
    // grids that stay sketched for long are the many small ones.
    if (static_cast<qint64>(FPicture.width()) * FPicture.height() > KeptPicturePixels)
      FPicture = QPixmap();
  }

 private:
  TStringGrid* FGrid;
  QPointer<QWidget> FTable;  // what took its place
  QPixmap FPicture;
  bool FActive = false;
};

struct TStringGrid::TDraft {
  int Rows = 5, Cols = 5;  // counted with the fixed ones
  // The cells by row, each row as long as its last cell with text needs,
  // headings included (not the corner, which the grid keeps itself).
  std::vector<std::vector<std::string>> Cells;
  const std::string& Text(int ACol, int ARow) const {
    static const std::string none;
    const auto row = static_cast<size_t>(ARow), col = static_cast<size_t>(ACol);
    return row < Cells.size() && col < Cells[row].size() ? Cells[row][col] : none;
  }
  std::vector<int> Widths;  // of the columns that take typing
  int Col = 1, Row = 1;
  int Top = -1, Left = -1;  // (of those that scroll) to show first, or -1
};

TStringGrid::TStringGrid(TComponent* AOwner)
    : TWinControl(AOwner, new TGridSketch(this)), FDraft(std::make_unique<TDraft>()) {
  FDraft->Widths.assign(static_cast<size_t>(FDraft->Cols - FixedCols()), DefaultColWidth());
  SketchedGrids().push_back(this);
  SetColor(clWindow);
  SetBounds(0, 0, 320, 120);
  WatchInput(this);
  // Assistive technology reads the table itself.
  if (AccessibleListening()) Wake();
}

TStringGrid::~TStringGrid() {
  if (FDraft == nullptr) return;
  auto& sketched = SketchedGrids();
  sketched.erase(std::find(sketched.begin(), sketched.end(), this));
}

void WakeSketchedGrids() {
  while (!SketchedGrids().empty()) SketchedGrids().back()->Wake();
  // The stamps would read to assistive technology as tables.
  std::vector<QPointer<QWidget>> stamps;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == QLatin1String("grid stamp")) stamps.emplace_back(window);
  for (const QPointer<QWidget>& stamp : stamps) delete stamp.data();
}

TGridPeer* TStringGrid::Awake() const {
  if (FDraft != nullptr) const_cast<TStringGrid*>(this)->Wake();
  return Table(Peer());
}

void TStringGrid::Sketched() {
  if (FDraft != nullptr) static_cast<TGridSketch*>(Peer())->Stale();
}

void TStringGrid::Wake() {
  if (FDraft == nullptr) return;
  const std::unique_ptr<TDraft> draft = std::move(FDraft);
  auto& sketched = SketchedGrids();
  sketched.erase(std::find(sketched.begin(), sketched.end(), this));
  auto* table = new TGridPeer(this, Nursery());
  SetUpTable(table, this);
  PutDraft(table, *draft, false);
  QObject::connect(table, &QTableWidget::currentCellChanged, table, &TGridPeer::NameCurrentCell);
  table->NameCurrentCell();
  // A heading takes no keyboard of its own: a click on it selects with the
  // keys in the grid, where Ctrl+C then copies what it selected.
  for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()})
    QObject::connect(header, &QHeaderView::sectionPressed, table,
                     [table] { table->setFocus(Qt::MouseFocusReason); });
  QObject::connect(table, &QTableWidget::itemChanged, table,
                   [this, table](QTableWidgetItem* AItem) {
                     if (FQuiet != 0) return;
                     // Typing changed a cell: what it held is a step to undo.
                     TGridPeer::TTyped& typed = table->FTyped;
                     if (typed.Open && AItem->row() == typed.Row && AItem->column() == typed.Col &&
                         AItem->text() != typed.Was) {
                       typed.Open = false;
                       TGridStep step;
                       step.Whole = false;
                       step.Col = typed.Col + FixedCols();
                       step.Row = typed.Row + FixedRows();
                       step.Cells = {typed.Was.toStdString()};
                       FUndo.push_back(std::move(step));
                       FRedo.clear();
                     }
                     Changed();
                   });
  // A column the user widened is kept with the workspace.
  QObject::connect(table->horizontalHeader(), &QHeaderView::sectionResized, table, [this] {
    if (FQuiet == 0) Changed();
  });
  auto* sketch = static_cast<TGridSketch*>(ReplacePeer(table));
  WatchInput(this);
  PlaceAccessibleInControl(this);
  sketch->Retire(table);
}

void TStringGrid::PutDraft(TGridPeer* ATable, const TDraft& ADraft, bool AStamp) const {
  const int rows = ADraft.Rows - FixedRows();
  const int cols = ADraft.Cols - FixedCols();
  const int oldRows = ATable->rowCount();
  const int oldCols = ATable->columnCount();
  if (AStamp) ATable->clearContents();
  ATable->setRowCount(rows);
  ATable->setColumnCount(cols);
  if (rows > oldRows) ATable->NameSections(Qt::Vertical, oldRows, rows - oldRows);
  if (cols > oldCols) ATable->NameSections(Qt::Horizontal, oldCols, cols - oldCols);
  if (AStamp || FReadingSize != 100) ScaleTable(ATable, this, FReadingSize);
  QHeaderView* across = ATable->horizontalHeader();
  for (int col = 0; col < cols; ++col)
    if (across->sectionSize(col) != ADraft.Widths[static_cast<size_t>(col)])
      across->resizeSection(col, ADraft.Widths[static_cast<size_t>(col)]);
  if (AStamp) {
    // The headings of the last grid it drew go.
    for (int row = 0; row < rows; ++row)
      if (QTableWidgetItem* heading = ATable->verticalHeaderItem(row);
          heading != nullptr && !heading->text().isEmpty())
        heading->setText({});
    for (int col = 0; col < cols; ++col)
      if (QTableWidgetItem* heading = ATable->horizontalHeaderItem(col);
          heading != nullptr && !heading->text().isEmpty())
        heading->setText({});
  } else {
    PutDraftCells(ATable, ADraft, 0, rows, 0, cols);
    ATable->FTop = ADraft.Top;
    ATable->FLeft = ADraft.Left;
  }
  ATable->PlaceCurrent(ADraft.Row - FixedRows(), ADraft.Col - FixedCols());
}

void TStringGrid::PutDraftCells(TGridPeer* ATable, const TDraft& ADraft, int AFirstRow, int AEndRow,
                                int AFirstCol, int AEndCol) const {
  auto put = [&](int ARow, int AFromCol, int AToCol) {
    for (int col = AFromCol; col < AToCol; ++col)
      if (const std::string& text = ADraft.Text(col, ARow); !text.empty())
        CellItem(ATable, col, ARow, true)->setText(QString::fromStdString(text));
  };
  put(0, AFirstCol + FixedCols(), AEndCol + FixedCols());
  for (int row = AFirstRow; row < AEndRow; ++row) {
    put(row + FixedRows(), 0, 1);
    put(row + FixedRows(), AFirstCol + FixedCols(), AEndCol + FixedCols());
  }
}

void TStringGrid::DrawSketch(QPixmap& APicture) const {
  const QWidget* sketch = Peer();
  QWidget* window = sketch->window();
  // In a window of its own, never shown: Qt draws a hidden widget only
  // after laying out its whole window again.
  auto* holder =
      window->findChild<QWidget*>(QStringLiteral("grid stamp"), Qt::FindDirectChildrenOnly);
  if (holder == nullptr) {
    holder = new QWidget(window, Qt::Window);
    holder->setObjectName(QStringLiteral("grid stamp"));
    auto* made = new TGridPeer(nullptr, holder);
    made->setFocusPolicy(Qt::NoFocus);
    SetUpTable(made, this);
  }
  auto* stamp = static_cast<TGridPeer*>(holder->children().constFirst());
  // That window is never active, and a hidden widget draws with the colours
  // of an active one: both are given the colours the grid's window has now.
  const QPalette& shown = sketch->palette();
  QPalette colours = shown;
  const QPalette::ColorGroup now = sketch->isActiveWindow() ? QPalette::Active : QPalette::Inactive;
  for (int role = 0; role < QPalette::NColorRoles; ++role)
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
      colours.setBrush(group, static_cast<QPalette::ColorRole>(role),
                       shown.brush(now, static_cast<QPalette::ColorRole>(role)));
  if (holder->palette() != colours) holder->setPalette(colours);
  if (holder->font() != sketch->font()) holder->setFont(sketch->font());
  const QSize size = sketch->size();
  PutDraft(stamp, *FDraft, true);
  holder->resize(size);
  stamp->resize(size);
  stamp->ensurePolished();
  DeliverResizes(stamp);
  // Laid out as a table shown afresh at this size: its scroll bars hidden,
  // their ranges set for the whole of it, scrolled, and then the scroll
  // bars Qt shows a moment later over what it shows.
  stamp->horizontalScrollBar()->setRange(0, 0);
  stamp->verticalScrollBar()->setRange(0, 0);
  QCoreApplication::sendPostedEvents(stamp, QEvent::MetaCall);
  DeliverResizes(stamp);
  stamp->SettleLayout(true);
  DeliverResizes(stamp);
  stamp->ScrollTo(std::max(0, FDraft->Top), std::max(0, FDraft->Left));
  QCoreApplication::sendPostedEvents(stamp, QEvent::MetaCall);
  DeliverResizes(stamp);
  // Scrolled as far as its size lets it, as a table shown would be; then
  // the cells in sight.
  FDraft->Top = stamp->verticalScrollBar()->value();
  FDraft->Left = stamp->horizontalScrollBar()->value();
  // (At the end, the first row or column in sight may be cut.)
  const auto first = [](int AAt) { return std::max(0, AAt); };
  const auto end = [](int AAt, int ACount) { return AAt < 0 ? ACount : AAt + 1; };
  PutDraftCells(stamp, *FDraft, first(stamp->rowAt(0)),
                end(stamp->rowAt(stamp->viewport()->height() - 1), stamp->rowCount()),
                first(stamp->columnAt(0)),
                end(stamp->columnAt(stamp->viewport()->width() - 1), stamp->columnCount()));
  const qreal ratio = sketch->devicePixelRatioF();
  APicture = QPixmap(size * ratio);
  APicture.setDevicePixelRatio(ratio);
  APicture.fill(Qt::transparent);
  stamp->render(&APicture, QPoint(), QRegion(), QWidget::DrawChildren);
}

void TStringGrid::Changed() {
  SafeCall([this] { OnChange(this); });
}

bool TStringGrid::Editing() const {
  return FDraft == nullptr && Table(Peer())->Editor() != nullptr;
}

// What follows, up to the commands, reads and writes the draft of a grid
// not yet woken, as its table would.

int TStringGrid::ColCount() const {
  return FDraft != nullptr ? FDraft->Cols : Table(Peer())->columnCount() + FixedCols();
}

int TStringGrid::RowCount() const {
  return FDraft != nullptr ? FDraft->Rows : Table(Peer())->rowCount() + FixedRows();
}

int TStringGrid::ColWidths(int ACol) const {
  if (ACol < FixedCols() || ACol >= ColCount()) return DefaultColWidth();
  if (FDraft != nullptr) return FDraft->Widths[static_cast<size_t>(ACol - FixedCols())];
  return Table(Peer())->horizontalHeader()->sectionSize(ACol - FixedCols());
}

void TStringGrid::SetColWidths(int ACol, int AWidth) {
  if (ACol < FixedCols() || ACol >= ColCount() || AWidth < 0) return;
  if (FDraft != nullptr) {
    // As a heading takes it: not past its largest section.
    if (AWidth > MaxSectionSize) return;
    FDraft->Widths[static_cast<size_t>(ACol - FixedCols())] = AWidth;
    Sketched();
    return;
  }
  ++FQuiet;
  Table(Peer())->horizontalHeader()->resizeSection(ACol - FixedCols(), AWidth);
  --FQuiet;
}

void TStringGrid::SetColCount(int AValue) {
  const int old = ColCount() - FixedCols();
  const int cols = std::clamp(AValue - FixedCols(), 1, MaxCells() / std::max(1, RowCount()) - 1);
  if (cols == old) return;
  if (FDraft != nullptr) {
    // Cells past the end go; the current cell stays in the grid.
    FDraft->Cols = cols + FixedCols();
    for (std::vector<std::string>& row : FDraft->Cells)
      if (row.size() > static_cast<size_t>(FDraft->Cols))
        row.resize(static_cast<size_t>(FDraft->Cols));
    FDraft->Widths.resize(static_cast<size_t>(cols), DefaultColWidth());
    FDraft->Col = std::min(FDraft->Col, FDraft->Cols - 1);
    Sketched();
    return;
  }
  TGridPeer* table = Table(Peer());
  ++FQuiet;
  table->setColumnCount(cols);
  if (cols > old) table->NameSections(Qt::Horizontal, old, cols - old);
  --FQuiet;
}

void TStringGrid::SetRowCount(int AValue) {
  const int old = RowCount() - FixedRows();
  const int rows = std::clamp(AValue - FixedRows(), 1, MaxCells() / std::max(1, ColCount()) - 1);
  if (rows == old) return;
  if (FDraft != nullptr) {
    FDraft->Rows = rows + FixedRows();
    if (FDraft->Cells.size() > static_cast<size_t>(FDraft->Rows))
      FDraft->Cells.resize(static_cast<size_t>(FDraft->Rows));
    FDraft->Row = std::min(FDraft->Row, FDraft->Rows - 1);
    Sketched();
    return;
  }
  TGridPeer* table = Table(Peer());
  ++FQuiet;
  table->setRowCount(rows);
  if (rows > old) table->NameSections(Qt::Vertical, old, rows - old);
  --FQuiet;
}

int TStringGrid::Col() const {
  if (FDraft != nullptr) return FDraft->Col;
  return std::max(0, Table(Peer())->currentColumn()) + FixedCols();
}

int TStringGrid::Row() const {
  if (FDraft != nullptr) return FDraft->Row;
  return std::max(0, Table(Peer())->currentRow()) + FixedRows();
}

void TStringGrid::SetCol(int ACol) {
  if (ACol < FixedCols() || ACol >= ColCount()) return;
  if (FDraft != nullptr) {
    FDraft->Col = ACol;
    Sketched();
    return;
  }
  Table(Peer())->PlaceCurrent(Row() - FixedRows(), ACol - FixedCols());
}

void TStringGrid::SetRow(int ARow) {
  if (ARow < FixedRows() || ARow >= RowCount()) return;
  if (FDraft != nullptr) {
    FDraft->Row = ARow;
    Sketched();
    return;
  }
  Table(Peer())->PlaceCurrent(ARow - FixedRows(), Col() - FixedCols());
}

int TStringGrid::TopRow() const {
  if (FDraft != nullptr) return std::max(0, FDraft->Top) + FixedRows();
  const TGridPeer* table = Table(Peer());
  return (table->FTop >= 0 ? table->FTop : table->verticalScrollBar()->value()) + FixedRows();
}

int TStringGrid::LeftCol() const {
  if (FDraft != nullptr) return std::max(0, FDraft->Left) + FixedCols();
  const TGridPeer* table = Table(Peer());
  return (table->FLeft >= 0 ? table->FLeft : table->horizontalScrollBar()->value()) + FixedCols();
}

void TStringGrid::SetTopRow(int ARow) {
  const int row = std::clamp(ARow - FixedRows(), 0, RowCount() - FixedRows() - 1);
  if (FDraft != nullptr) {
    FDraft->Top = row;
    Sketched();
    return;
  }
  TGridPeer* table = Table(Peer());
  if (table->isVisible())
    table->ScrollTo(row, -1);
  else
    table->FTop = row;
}

void TStringGrid::SetLeftCol(int ACol) {
  const int col = std::clamp(ACol - FixedCols(), 0, ColCount() - FixedCols() - 1);
  if (FDraft != nullptr) {
    FDraft->Left = col;
    Sketched();
    return;
  }
  TGridPeer* table = Table(Peer());
  if (table->isVisible())
    table->ScrollTo(-1, col);
  else
    table->FLeft = col;
}

void TStringGrid::SetReadingSize(int APercent) {
  FReadingSize = std::clamp(APercent, ReadingSizes[0], std::end(ReadingSizes)[-1]);
  if (FDraft != nullptr)
    Sketched();
  else
    ScaleTable(Table(Peer()), this, FReadingSize);
}

TGridRect TStringGrid::Selection() const {
  TGridRect rect{Col(), Row(), Col(), Row()};
  if (FDraft != nullptr) return rect;
  TGridPeer* table = Table(Peer());
  for (const QTableWidgetSelectionRange& range : table->selectedRanges()) {
    rect.Left = std::min(rect.Left, range.leftColumn() + FixedCols());
    rect.Top = std::min(rect.Top, range.topRow() + FixedRows());
    rect.Right = std::max(rect.Right, range.rightColumn() + FixedCols());
    rect.Bottom = std::max(rect.Bottom, range.bottomRow() + FixedRows());
  }
  return rect;
}

std::string TStringGrid::Cells(int ACol, int ARow) const {
  if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) return {};
  if (ACol == 0 && ARow == 0) return FCorner;
  if (FDraft != nullptr) {
    return FDraft->Text(ACol, ARow);
  }
  // The cell being edited holds what has been typed so far.
  if (ACol == Col() && ARow == Row())
    if (QLineEdit* editor = Table(Peer())->Editor()) return editor->text().toStdString();
  QTableWidgetItem* item = CellItem(Table(Peer()), ACol, ARow, false);
  return item != nullptr ? item->text().toStdString() : std::string();
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& AText) {
  if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) return;
  if (ACol == 0 && ARow == 0) {
    FCorner = AText;
    return;
  }
  if (FDraft != nullptr) {
    if (FDraft->Text(ACol, ARow) == AText) return;
    auto& rows = FDraft->Cells;
    if (rows.size() <= static_cast<size_t>(ARow)) rows.resize(static_cast<size_t>(ARow) + 1);
    std::vector<std::string>& row = rows[static_cast<size_t>(ARow)];
    if (row.size() <= static_cast<size_t>(ACol)) row.resize(static_cast<size_t>(ACol) + 1);
    row[static_cast<size_t>(ACol)] = AText;
    Sketched();
    if (FQuiet == 0 && ACol >= FixedCols() && ARow >= FixedRows()) Changed();
    return;
  }
  CellItem(Table(Peer()), ACol, ARow, true)->setText(QString::fromStdString(AText));
}

namespace {
std::string Counted(long long ACount, const char* AOne, const char* AMany) {
  return std::to_string(ACount) + " " + (ACount == 1 ? AOne : AMany);
}
}  // namespace

void TStringGrid::Say(const std::string& AWhat) const {
  // What a grid command did, and the cell the keys are on now.
  const TGridPeer* table = Awake();
  const QTableWidgetItem* cell = table->currentItem();
  const QString text = cell != nullptr ? cell->text() : QString();
  Application->Announce(
      AWhat + ". " + (text.isEmpty() ? std::string("blank") : text.toStdString()) + ", " +
      CellPlace(table, table->currentRow(), table->currentColumn()).toStdString());
}

void TStringGrid::CopyToClipboard() const {
  const TGridRect rect = Selection();
  TCellRows cells;
  for (int row = rect.Top; row <= rect.Bottom; ++row) {
    cells.emplace_back();
    for (int col = rect.Left; col <= rect.Right; ++col) cells.back().push_back(Cells(col, row));
  }
  auto* data = new QMimeData;
  data->setText(QString::fromStdString(WriteCellsAsText(cells)));
  data->setHtml(QString::fromStdString(WriteCellsAsHtml(cells)));
  QApplication::clipboard()->setMimeData(data);
  if (FQuiet == 0)  // a cut says so once it has cleared the cells
    Say("Copied " +
        Counted(static_cast<long long>(rect.Bottom - rect.Top + 1) * (rect.Right - rect.Left + 1),
                "cell", "cells"));
}

void TStringGrid::CutToClipboard() {
  const TGridRect rect = Selection();
  ++FQuiet;  // said as a cut, below
  CopyToClipboard();
  --FQuiet;
  ClearSelection(false);
  Say("Cut " +
      Counted(static_cast<long long>(rect.Bottom - rect.Top + 1) * (rect.Right - rect.Left + 1),
              "cell", "cells"));
}

void TStringGrid::ClearSelection() { ClearSelection(true); }

void TStringGrid::ClearSelection(bool ASay) {
  TGridPeer* table = Awake();
  const TGridRect rect = Selection();
  bool changed = false;
  bool filled = false;  // else nothing to clear, and nothing to undo
  for (int row = rect.Top; row <= rect.Bottom && !filled; ++row)
    for (int col = rect.Left; col <= rect.Right && !filled; ++col)
      filled = !Cells(col, row).empty();
  if (filled) Remember();
  ++FQuiet;
  for (int row = rect.Top; row <= rect.Bottom; ++row)
    for (int col = rect.Left; col <= rect.Right; ++col)
      changed |= PutCell(table, row - FixedRows(), col - FixedCols(), QString());
  --FQuiet;
  if (ASay)
    Say("Cleared " +
        Counted(static_cast<long long>(rect.Bottom - rect.Top + 1) * (rect.Right - rect.Left + 1),
                "cell", "cells"));
  if (changed) Changed();
}

void TStringGrid::PasteFromClipboard() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  if (data == nullptr) return;
  // A spreadsheet's text is its cells, one for one. Without a tab it is one
  // column, which a comma (a decimal one, say) must not split: their HTML
  // table says so, and text from elsewhere may still be comma-separated.
  const std::string text = data->hasText() ? data->text().toStdString() : std::string();
  TCellRows cells;
  if (text.find('\t') != std::string::npos ||
      !(data->hasHtml() && ReadCellsFromHtml(data->html().toStdString(), cells)))
    cells = ReadCellsFromText(text);
  if (!PutCells(cells)) {
    QApplication::beep();
    Application->Announce("Nothing pasted: the grid cannot grow past " +
                          std::to_string(MaxCells()) + " cells");
    return;
  }
  size_t width = 0;
  for (const auto& row : cells) width = std::max(width, row.size());
  if (!cells.empty())
    Say("Pasted " + Counted(static_cast<long long>(cells.size()), "row", "rows") + " of " +
        Counted(static_cast<long long>(width), "cell", "cells"));
}

bool TStringGrid::PutCellRows(const TCellRows& ACells) {
  Awake()->EndEdit();
  return PutCells(ACells);
}

TCellRows TStringGrid::UsedCells() const {
  int lastRow = 0, lastCol = 0;
  for (int row = FixedRows(); row < RowCount(); ++row)
    for (int col = FixedCols(); col < ColCount(); ++col)
      if (!Cells(col, row).empty()) {
        lastRow = std::max(lastRow, row);
        lastCol = std::max(lastCol, col);
      }
  TCellRows cells;
  for (int row = FixedRows(); row <= lastRow; ++row) {
    cells.emplace_back();
    for (int col = FixedCols(); col <= lastCol; ++col) cells.back().push_back(Cells(col, row));
  }
  return cells;
}

bool TStringGrid::PutCells(const TCellRows& ACells) {
  size_t width = 0;
  for (const auto& row : ACells) width = std::max(width, row.size());
  if (ACells.empty() || width == 0) return true;
  TGridPeer* table = Awake();
  const TGridRect rect = Selection();
  const long long rows =
      std::max<long long>(RowCount(), rect.Top + static_cast<long long>(ACells.size()));
  const long long cols = std::max<long long>(ColCount(), rect.Left + static_cast<long long>(width));
  if (rows * cols > MaxCells()) return false;
  Remember();
  ++FQuiet;
  SetRowCount(static_cast<int>(rows));
  SetColCount(static_cast<int>(cols));
  // Missing cells of a short row are part of the block: they empty theirs.
  for (size_t r = 0; r < ACells.size(); ++r)
    for (size_t c = 0; c < width; ++c)
      PutCell(table, rect.Top - FixedRows() + static_cast<int>(r),
              rect.Left - FixedCols() + static_cast<int>(c),
              c < ACells[r].size() ? QString::fromStdString(ACells[r][c]) : QString());
  --FQuiet;
  // The pasted block is selected, its first cell current (whatever
  // modifier keys are down).
  QAbstractItemModel* model = table->model();
  const QModelIndex first = model->index(rect.Top - FixedRows(), rect.Left - FixedCols());
  const QModelIndex last = model->index(first.row() + static_cast<int>(ACells.size()) - 1,
                                        first.column() + static_cast<int>(width) - 1);
  table->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  table->selectionModel()->select(QItemSelection(first, last), QItemSelectionModel::ClearAndSelect);
  Changed();
  return true;
}

void TStringGrid::InsertRows() { ChangeLines(true, true); }
void TStringGrid::DeleteRows() { ChangeLines(true, false); }
void TStringGrid::InsertCols() { ChangeLines(false, true); }
void TStringGrid::DeleteCols() { ChangeLines(false, false); }

// As many rows (columns) as the selection spans, inserted before it or
// deleted; the last row (column) that takes typing stays, and the grid
// never grows past MaxCells().
void TStringGrid::ChangeLines(bool ARows, bool AInsert) {
  TGridPeer* table = Awake();
  table->EndEdit();
  const TGridRect rect = Selection();
  const int first = ARows ? rect.Top - FixedRows() : rect.Left - FixedCols();
  const int lines = ARows ? table->rowCount() : table->columnCount();  // those that take typing
  int count = ARows ? rect.Bottom - rect.Top + 1 : rect.Right - rect.Left + 1;
  if (AInsert) {
    if (static_cast<long long>(RowCount() + (ARows ? count : 0)) *
            (ColCount() + (ARows ? 0 : count)) >
        MaxCells()) {
      QApplication::beep();
      return;
    }
  } else {
    count = std::min(count, lines - 1);
    if (count <= 0) return;
  }
  const int row = Row() - FixedRows(), col = Col() - FixedCols();
  QAbstractItemModel* model = table->model();
  Remember();
  ++FQuiet;
  if (AInsert) {
    ARows ? model->insertRows(first, count) : model->insertColumns(first, count);
    table->NameSections(ARows ? Qt::Vertical : Qt::Horizontal, first, count);
  } else {
    ARows ? model->removeRows(first, count) : model->removeColumns(first, count);
  }
  --FQuiet;
  const int at = std::min(first, (ARows ? table->rowCount() : table->columnCount()) - 1);
  table->MoveTo(ARows ? at : row, ARows ? col : at);
  Say(Counted(count, ARows ? "row" : "column", ARows ? "rows" : "columns") +
      (AInsert ? " inserted" : " deleted"));
  Changed();
}

void TStringGrid::SelectAll() { Awake()->selectAll(); }

namespace {
// Undo keeps at most this many steps, and at most this many cells in all.
constexpr size_t UndoSteps = 100;
constexpr size_t UndoCells = 2'000'000;

size_t CellsKept(const std::vector<std::string>& ACells) { return ACells.size(); }
}  // namespace

TStringGrid::TGridStep TStringGrid::Capture(bool AWhole, int ACol, int ARow) const {
  TGridStep step;
  step.Whole = AWhole;
  if (!AWhole) {
    step.Col = ACol;
    step.Row = ARow;
    step.Cells = {Cells(ACol, ARow)};
    return step;
  }
  step.Rows = RowCount();
  step.Cols = ColCount();
  step.Col = Col();
  step.Row = Row();
  // Up to the last row and column with text, the fixed ones included.
  for (int row = 0; row < step.Rows; ++row)
    for (int col = 0; col < step.Cols; ++col)
      if (!Cells(col, row).empty()) {
        step.UsedRows = std::max(step.UsedRows, row + 1);
        step.UsedCols = std::max(step.UsedCols, col + 1);
      }
  step.Cells.reserve(static_cast<size_t>(step.UsedRows) * static_cast<size_t>(step.UsedCols));
  for (int row = 0; row < step.UsedRows; ++row)
    for (int col = 0; col < step.UsedCols; ++col) step.Cells.push_back(Cells(col, row));
  for (int col = FixedCols(); col < step.Cols; ++col) step.Widths.push_back(ColWidths(col));
  return step;
}

void TStringGrid::Apply(const TGridStep& AStep) {
  TGridPeer* table = Awake();
  table->EndEdit();
  ++FQuiet;
  if (!AStep.Whole) {
    SetCells(AStep.Col, AStep.Row, AStep.Cells.front());
  } else {
    table->clearContents();
    for (int col = 0; col < table->columnCount(); ++col)
      if (QTableWidgetItem* heading = table->horizontalHeaderItem(col)) heading->setText({});
    for (int row = 0; row < table->rowCount(); ++row)
      if (QTableWidgetItem* heading = table->verticalHeaderItem(row)) heading->setText({});
    // Smaller first, so the grid never passes MaxCells() on the way.
    SetRowCount(std::min(AStep.Rows, RowCount()));
    SetColCount(AStep.Cols);
    SetRowCount(AStep.Rows);
    for (int row = 0; row < AStep.UsedRows; ++row)
      for (int col = 0; col < AStep.UsedCols; ++col) {
        const std::string& text =
            AStep.Cells[static_cast<size_t>(row) * static_cast<size_t>(AStep.UsedCols) +
                        static_cast<size_t>(col)];
        if (!text.empty()) SetCells(col, row, text);
      }
    for (size_t i = 0; i < AStep.Widths.size(); ++i)
      SetColWidths(FixedCols() + static_cast<int>(i), AStep.Widths[i]);
  }
  --FQuiet;
  SetCol(AStep.Col);
  SetRow(AStep.Row);
  table->scrollTo(table->currentIndex());
  Changed();
}

void TStringGrid::Remember(bool AWhole, int ACol, int ARow) {
  Awake()->FTyped.Open = false;
  FUndo.push_back(Capture(AWhole, ACol, ARow));
  FRedo.clear();
  // The oldest steps go first where there are too many, or too many cells.
  size_t cells = 0;
  for (const TGridStep& step : FUndo) cells += CellsKept(step.Cells);
  size_t drop = FUndo.size() > UndoSteps ? FUndo.size() - UndoSteps : 0;
  while (drop < FUndo.size() - 1 && cells > UndoCells) cells -= CellsKept(FUndo[drop++].Cells);
  FUndo.erase(FUndo.begin(), FUndo.begin() + static_cast<std::ptrdiff_t>(drop));
}

void TStringGrid::Step(std::vector<TGridStep>& AFrom, std::vector<TGridStep>& ATo,
                       const char* AWhat) {
  Awake()->EndEdit();
  if (AFrom.empty()) {
    QApplication::beep();
    Say(std::string("Nothing to ") + AWhat);
    return;
  }
  TGridStep step = std::move(AFrom.back());
  AFrom.pop_back();
  ATo.push_back(Capture(step.Whole, step.Col, step.Row));
  Apply(step);
  Awake()->FTyped.Open = false;
  Say(std::string(AWhat[0] == 'u' ? "Undone" : "Redone"));
}

void TStringGrid::Undo() { Step(FUndo, FRedo, "undo"); }
void TStringGrid::Redo() { Step(FRedo, FUndo, "redo"); }

TStringGrid* GridOfPeer(QWidget* AWidget) {
  auto* peer = dynamic_cast<TGridPeer*>(AWidget);
  return peer != nullptr ? peer->Grid() : nullptr;
}

void CommitCellEdits() {
  QWidget* focus = QApplication::focusWidget();
  // Just after a question or a file chooser, the window may not have the
  // keyboard back yet: where it left the keyboard counts.
  if (focus == nullptr && Application->MainForm() != nullptr)
    focus = Application->MainForm()->Peer()->focusWidget();
  for (QWidget* widget = focus; widget != nullptr; widget = widget->parentWidget())
    if (auto* grid = dynamic_cast<TGridPeer*>(widget)) {
      grid->CommitEdit();
      return;
    }
}
