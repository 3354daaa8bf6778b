#include "widgets/StringGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <algorithm>

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
}  // namespace

class TGridPeer : public QTableWidget {
 public:
  explicit TGridPeer(TStringGrid* AGrid) : QTableWidget(4, 4), FGrid(AGrid) {}

  // The cell editor while a cell is edited, else null.
  QLineEdit* Editor() const {
    if (state() != EditingState) return nullptr;
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
      if (editor->isVisible()) return editor;
    return nullptr;
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
    if (AEvent->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(AEvent);
      const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
      if (tab && (key->modifiers() & Qt::ControlModifier)) {
        // Ctrl+Tab leaves the grid while a cell is edited too; the cell
        // keeps what was typed.
        if (auto* editor = qobject_cast<QWidget*>(AObject)) {
          commitData(editor);
          closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
        const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        LeaveForNextInChain(FGrid, !back);
        return true;
      }
    }
    return QTableWidget::eventFilter(AObject, AEvent);
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

  // What was typed into the open cell goes into the cell.
  void CommitEdit() {
    if (QLineEdit* editor = Editor()) commitData(editor);
  }

 private:
  // Typing in a cell changes the grid, before the cell takes the text.
  void Edited() {
    SafeCall([this] { FGrid->OnChange(FGrid); });
  }

  TStringGrid* FGrid;
};

namespace {
QTableWidget* Table(QWidget* APeer) { return static_cast<QTableWidget*>(APeer); }

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
}  // namespace

TStringGrid::TStringGrid(TComponent* AOwner) : TWinControl(AOwner, new TGridPeer(this)) {
  auto* table = static_cast<TGridPeer*>(Peer());
  table->setItemPrototype(new TCellItem);
  QObject::connect(table, &QTableWidget::currentCellChanged, table, &TGridPeer::NameCurrentCell);
  for (int i = 0; i < 4; ++i) {
    table->setHorizontalHeaderItem(i, new QTableWidgetItem(QString()));
    table->setVerticalHeaderItem(i, new QTableWidgetItem(QString()));
  }
  table->horizontalHeader()->setMinimumSectionSize(4);
  table->verticalHeader()->setMinimumSectionSize(4);
  table->horizontalHeader()->setDefaultSectionSize(DefaultColWidth());
  table->verticalHeader()->setDefaultSectionSize(DefaultRowHeight());
  table->horizontalHeader()->setFixedHeight(DefaultRowHeight());
  table->verticalHeader()->setFixedWidth(DefaultColWidth());
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->setCornerButtonEnabled(false);
  table->setShowGrid(true);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setSelectionBehavior(QAbstractItemView::SelectItems);
  // Typing, F2 or a double-click edits a cell, as in a classic grid. Not a
  // click on the current cell: Qt edits that a moment later, and keys typed
  // meanwhile were lost.
  table->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                         QAbstractItemView::EditKeyPressed);
  table->setCurrentCell(0, 0);
  SetColor(clWindow);
  SetBounds(0, 0, 320, 120);
  WatchInput(this);
  QObject::connect(table, &QTableWidget::itemChanged, table,
                   [this] { SafeCall([this] { OnChange(this); }); });
}

bool TStringGrid::Editing() const { return static_cast<TGridPeer*>(Peer())->Editor() != nullptr; }

int TStringGrid::Col() const { return std::max(0, Table(Peer())->currentColumn()) + FixedCols(); }
int TStringGrid::Row() const { return std::max(0, Table(Peer())->currentRow()) + FixedRows(); }

void TStringGrid::SetCol(int ACol) {
  if (ACol < FixedCols() || ACol >= ColCount()) return;
  Table(Peer())->setCurrentCell(Row() - FixedRows(), ACol - FixedCols());
}

void TStringGrid::SetRow(int ARow) {
  if (ARow < FixedRows() || ARow >= RowCount()) return;
  Table(Peer())->setCurrentCell(ARow - FixedRows(), Col() - FixedCols());
}

std::string TStringGrid::Cells(int ACol, int ARow) const {
  if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) return {};
  if (ACol == 0 && ARow == 0) return FCorner;
  // The cell being edited holds what has been typed so far.
  if (QLineEdit* editor = static_cast<TGridPeer*>(Peer())->Editor();
      editor != nullptr && ACol == Col() && ARow == Row())
    return editor->text().toStdString();
  QTableWidgetItem* item = CellItem(Table(Peer()), ACol, ARow, false);
  return item != nullptr ? item->text().toStdString() : std::string();
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& AText) {
  if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) return;
  if (ACol == 0 && ARow == 0) {
    FCorner = AText;
    return;
  }
  CellItem(Table(Peer()), ACol, ARow, true)->setText(QString::fromStdString(AText));
}

void CommitCellEdits() {
  for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
       widget = widget->parentWidget())
    if (auto* grid = dynamic_cast<TGridPeer*>(widget)) {
      grid->CommitEdit();
      return;
    }
}
