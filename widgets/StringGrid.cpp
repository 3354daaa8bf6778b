#include "widgets/StringGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

#include "widgets/Peer.h"

namespace {
// Edits a cell only while the grid holds the keyboard: the edit a click on
// the current cell starts comes due a moment later, when the user may have
// moved on (to another pane, or the grid into an undo's keeping), and it
// would take the keys with it.
class TGridPeer : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;

 protected:
  bool edit(const QModelIndex& AIndex, EditTrigger ATrigger, QEvent* AEvent) override {
    QWidget* focus = QApplication::focusWidget();
    // Handled, by editing nothing (a refusal would only be reported).
    if (!isVisible() || focus == nullptr || (focus != this && !isAncestorOf(focus))) return true;
    return QTableWidget::edit(AIndex, ATrigger, AEvent);
  }
};

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
    item = new QTableWidgetItem;
    if (ARow == 0)
      ATable->setHorizontalHeaderItem(ACol - 1, item);
    else if (ACol == 0)
      ATable->setVerticalHeaderItem(ARow - 1, item);
    else
      ATable->setItem(ARow - 1, ACol - 1, item);
  }
  return item;
}
}  // namespace

TStringGrid::TStringGrid(TComponent* AOwner) : TWinControl(AOwner, new TGridPeer(4, 4)) {
  QTableWidget* table = Table(Peer());
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
  table->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  table->setCurrentCell(0, 0);
  SetColor(clWindow);
  SetBounds(0, 0, 320, 120);
  WatchInput(this);
  QObject::connect(table, &QTableWidget::itemChanged, table,
                   [this] { SafeCall([this] { OnChange(this); }); });
}

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
