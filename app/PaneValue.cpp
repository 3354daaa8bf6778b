#include "app/PaneValue.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "app/SplitPanel.h"
#include "widgets/Memo.h"
#include "widgets/Progress.h"
#include "widgets/StringGrid.h"

bool TPaneNode::operator==(const TPaneNode& AOther) const {
  return Leaf == AOther.Leaf && Stacked == AOther.Stacked &&
         std::bit_cast<std::uint32_t>(Ratio) == std::bit_cast<std::uint32_t>(AOther.Ratio) &&
         Content == AOther.Content;
}

TContentKind ContentKindOf(const TControl* AContent) {
  if (dynamic_cast<const TMemo*>(AContent) != nullptr) return ckMemo;
  if (dynamic_cast<const TStringGrid*>(AContent) != nullptr) return ckGrid;
  return ckNone;
}

TContentValue ContentValueOf(const TControl* AContent) {
  TContentValue value;
  value.Kind = ContentKindOf(AContent);
  if (const auto* memo = dynamic_cast<const TMemo*>(AContent)) {
    value.Text = memo->Text();
    value.Caret = memo->CaretPosition();
    value.Anchor = memo->SelectionAnchor();
    value.Top = memo->TopPosition();
    value.Scale = memo->ReadingSize();
  }
  if (const auto* grid = dynamic_cast<const TStringGrid*>(AContent)) {
    for (int row = 0; row < grid->RowCount(); ++row)
      for (int col = 0; col < grid->ColCount(); ++col) value.Cells.push_back(grid->Cells(col, row));
    value.ColCount = grid->ColCount();
    value.RowCount = grid->RowCount();
    value.Col = grid->Col();
    value.Row = grid->Row();
    value.Top = grid->TopRow() - grid->FixedRows();
    value.Left = grid->LeftCol() - grid->FixedCols();
    value.Scale = grid->ReadingSize();
    bool custom = false;
    for (int col = grid->FixedCols(); col < grid->ColCount(); ++col) {
      value.Widths.push_back(grid->ColWidths(col));
      custom = custom || value.Widths.back() != grid->DefaultColWidth();
    }
    if (!custom) value.Widths.clear();
  }
  return value;
}

TControl* CreateContent(TComponent* AOwner, const TContentValue& AValue) {
  switch (AValue.Kind) {
    case ckMemo: {
      auto* memo = new TMemo(AOwner);
      if (!AValue.Text.empty()) memo->SetText(AValue.Text);
      memo->SetSelection(AValue.Anchor, AValue.Caret);
      // Opened where it was scrolled to, which need not show the caret.
      memo->SetTopPosition(AValue.Top);
      if (AValue.Scale != 100) memo->SetReadingSize(AValue.Scale);
      memo->SetAlign(alClient);
      return memo;
    }
    case ckGrid: {
      auto* grid = new TStringGrid(AOwner);
      grid->SetColCount(AValue.ColCount);
      grid->SetRowCount(AValue.RowCount);
      const size_t cols = static_cast<size_t>(grid->ColCount());
      for (size_t i = 0; i < AValue.Cells.size(); ++i)
        if (!AValue.Cells[i].empty())
          grid->SetCells(static_cast<int>(i % cols), static_cast<int>(i / cols), AValue.Cells[i]);
      for (size_t i = 0; i < AValue.Widths.size(); ++i)
        grid->SetColWidths(grid->FixedCols() + static_cast<int>(i), AValue.Widths[i]);
      grid->SetCol(AValue.Col);
      grid->SetRow(AValue.Row);
      // Where it was scrolled to, which need not show the current cell.
      grid->SetTopRow(grid->FixedRows() + AValue.Top);
      grid->SetLeftCol(grid->FixedCols() + AValue.Left);
      if (AValue.Scale != 100) grid->SetReadingSize(AValue.Scale);
      grid->SetAlign(alClient);
      return grid;
    }
    default:
      return nullptr;
  }
}

TPaneTree Snapshot(const TSplitPanel* APane) {
  TPaneTree tree;
  std::vector<const TSplitPanel*> todo{APane};
  while (!todo.empty()) {
    const TSplitPanel* pane = todo.back();
    todo.pop_back();
    TPaneNode node;
    if (pane->FFirst != nullptr && pane->FSecond != nullptr && pane->FSplitter != nullptr) {
      node.Leaf = false;
      node.Stacked = pane->SplitsHeight();
      node.Ratio = pane->FRatio;
      todo.push_back(pane->FSecond);
      todo.push_back(pane->FFirst);
    } else if (const TControl* content = pane->Content()) {
      node.Content = ContentValueOf(content);
    }
    tree.push_back(std::move(node));
  }
  return tree;
}

std::string TreeProblem(const TPaneTree& ATree) {
  if (ATree.empty()) return "there are no panes";
  // Panes still owed: a split owes two halves, each half one pane.
  size_t owed = 1;
  for (size_t i = 0; i < ATree.size(); ++i) {
    if (owed == 0) return "pane " + std::to_string(i + 1) + " lies outside the tree";
    --owed;
    if (!ATree[i].Leaf) owed += 2;
  }
  if (owed > 0) return "a split lacks a half";
  return {};
}

bool Build(const TPaneTree& ATree, TSplitPanel* APane, TMainPanel* AHost, TProgress* AProgress) {
  std::vector<TSplitPanel*> todo{APane};
  long done = 0;
  for (const TPaneNode& node : ATree) {
    if (todo.empty()) break;
    if (AProgress != nullptr && !AProgress->Step(done++)) return false;
    TSplitPanel* pane = todo.back();
    todo.pop_back();
    if (!node.Leaf) {
      pane->Split(node.Stacked ? alTop : alLeft, node.Ratio);
      todo.push_back(pane->FSecond);
      todo.push_back(pane->FFirst);
    } else if (TControl* content = CreateContent(pane->Owner(), node.Content)) {
      AHost->AddContent(pane, content);
    }
  }
  return true;
}

TPanePath PathOf(const TSplitPanel* APane) {
  TPanePath path;
  for (const TSplitPanel* child = APane;;) {
    const auto* parent = dynamic_cast<const TSplitPanel*>(child->Parent());
    if (parent == nullptr) break;
    path.push_back(parent->FSecond == child);
    child = parent;
  }
  std::reverse(path.begin(), path.end());
  return path;
}

TSplitPanel* PaneAt(TSplitPanel* ARoot, const TPanePath& APath, bool* AExact) {
  TSplitPanel* pane = ARoot;
  size_t depth = 0;
  for (; pane != nullptr && depth < APath.size(); ++depth) {
    TSplitPanel* next = APath[depth] ? pane->FSecond : pane->FFirst;
    if (next == nullptr) break;
    pane = next;
  }
  if (AExact != nullptr) *AExact = depth == APath.size();
  return pane;
}
