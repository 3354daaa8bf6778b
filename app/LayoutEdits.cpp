// Every change to the layout as one edit: the steps that change the tree,
// each giving back the step that takes it back, the undo history they go
// into, and the commands that move panes about (a drop, the move mode, the
// pane's menu).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/SplitPanel.h"
#include "widgets/Action.h"
#include "widgets/Application.h"
#include "widgets/CellText.h"
#include "widgets/Memo.h"
#include "widgets/StringGrid.h"

namespace {

TSplitPanel* ParentPane(const TSplitPanel* APane) {
  return dynamic_cast<TSplitPanel*>(APane->Parent());
}

bool IsLeaf(const TSplitPanel* APane) { return APane->FFirst == nullptr; }

// Where APath lies once the leaf at ARemoved has gone: its sibling's panes
// move up one level into their parent's place.
TPanePath AfterRemoval(const TPanePath& ARemoved, TPanePath APath) {
  if (ARemoved.empty()) return APath;
  const size_t depth = ARemoved.size() - 1;
  if (APath.size() <= depth ||
      !std::equal(ARemoved.begin(), ARemoved.begin() + depth, APath.begin()))
    return APath;
  if (APath[depth] == ARemoved[depth]) return APath;  // the removed leaf itself
  APath.erase(APath.begin() + static_cast<std::ptrdiff_t>(depth));
  return APath;
}

// A pane's place in the host's coordinates.
TRect HostRect(const TSplitPanel* APane) {
  int left = 0, top = 0;
  for (const TControl* c = APane; c != nullptr && dynamic_cast<const TMainPanel*>(c) == nullptr;
       c = c->Parent()) {
    left += c->Left();
    top += c->Top();
  }
  return {left, top, left + APane->Width(), top + APane->Height()};
}

TAlign AlignOf(bool AStacked) { return AStacked ? alTop : alLeft; }

// The half of ARect a pane put on ASide of it takes.
TRect HalfOf(TRect ARect, TDropSide ASide) {
  const int midX = ARect.Left + ARect.Width() / 2;
  const int midY = ARect.Top + ARect.Height() / 2;
  switch (ASide) {
    case dsLeft:
      ARect.Right = midX;
      break;
    case dsRight:
      ARect.Left = midX;
      break;
    case dsTop:
      ARect.Bottom = midY;
      break;
    case dsBottom:
      ARect.Top = midY;
      break;
    default:
      break;
  }
  return ARect;
}

const char* SideName(TDropSide ASide) {
  switch (ASide) {
    case dsLeft:
      return "left of";
    case dsRight:
      return "right of";
    case dsTop:
      return "above";
    case dsBottom:
      return "below";
    default:
      return "in place of";
  }
}

// An editor's lines and tab-separated fields as a grid's cells, and back.
TContentValue TurnedValue(const TControl* AContent) {
  const TContentValue was = ContentValueOf(AContent);
  TContentValue value;
  value.Scale = was.Scale;
  if (was.Kind == ckMemo) {
    const TCellRows rows = ReadCellsFromText(was.Text);
    size_t cols = 0;
    for (const auto& row : rows) cols = std::max(cols, row.size());
    value.Kind = ckGrid;
    value.ColCount = static_cast<int>(std::max<size_t>(5, cols + 1));
    value.RowCount = static_cast<int>(std::max<size_t>(5, rows.size() + 1));
    value.Cells.assign(static_cast<size_t>(value.ColCount) * static_cast<size_t>(value.RowCount),
                       "");
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c)
        value.Cells[(r + 1) * static_cast<size_t>(value.ColCount) + c + 1] = rows[r][c];
    return value;
  }
  // The grid's cells that take typing, without the empty ones at the ends.
  const auto cols = static_cast<size_t>(was.ColCount);
  TCellRows rows;
  for (size_t r = 1; r < static_cast<size_t>(was.RowCount); ++r) {
    std::vector<std::string> row(was.Cells.begin() + static_cast<std::ptrdiff_t>(r * cols + 1),
                                 was.Cells.begin() + static_cast<std::ptrdiff_t>((r + 1) * cols));
    while (!row.empty() && row.back().empty()) row.pop_back();
    rows.push_back(std::move(row));
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  value.Kind = ckMemo;
  value.Text = WriteCellsAsText(rows);
  return value;
}

// The pane a carried pane splits when put on ASide of ATarget: the target,
// or, beside its own sibling, their parent's place.
const TSplitPanel* SplitFor(const TSplitPanel* ACarried, const TSplitPanel* ATarget) {
  if (ParentPane(ACarried) == ParentPane(ATarget)) return ParentPane(ATarget);
  return ATarget;
}

bool Stacked(TDropSide ASide) { return ASide == dsTop || ASide == dsBottom; }

const char* const MoveModeNote =
    "Move: arrows swap, Shift+arrow to a side, F turns, Enter keeps, Esc puts back";

// Whether AChange keeps an editor or grid out of the window that holds text.
bool KeepsText(const TLayoutChange& AChange) {
  for (const TLayoutStep& step : AChange.Steps) {
    if (step.Content == nullptr) continue;
    const TContentValue value = ContentValueOf(step.Content);
    if (!value.Text.empty()) return true;
    for (const std::string& cell : value.Cells)
      if (!cell.empty()) return true;
  }
  return false;
}

// More cells than a grid takes from an editor in one go.
constexpr size_t MaxTurnedCells = 1'000'000;

}  // namespace

// --- TLayoutEdit ------------------------------------------------------------

TLayoutEdit::TLayoutEdit(TMainPanel* AHost, bool AKeepZoom) : FHost(AHost), FRebuilding(AHost) {
  // A command from elsewhere ends the move mode, keeping what it did.
  if (FHost->FMoveMode && !FHost->FMoveKey) FHost->EndMoveMode(true);
  if (!AKeepZoom) FHost->Unzoom();
  FHost->MoveCurrentToLeaf();
  if (FHost->FCurrent != nullptr) {
    FChange.Before = FHost->PlaceOf(FHost->FCurrent);
    // The frame goes with the current pane, wherever that ends up.
    FHost->FCurrent->DrawMarker(clWhite);
  }
}

const TLayoutStep& TLayoutEdit::Do(TLayoutStep AStep) {
  FChange.Steps.push_back(FHost->Apply(std::move(AStep)));
  return FChange.Steps.back();
}

void TLayoutEdit::Did(TLayoutStep AInverse) { FChange.Steps.push_back(std::move(AInverse)); }

void TLayoutEdit::Done(TSplitPanel* ACurrent, const std::string& AWhat) {
  if (ACurrent != nullptr) FHost->FCurrent = ACurrent;
  FHost->MoveCurrentToLeaf();
  if (!FChange.Steps.empty()) FHost->DescribePanes();
  FHost->SettleCurrent();
  if (FChange.Steps.empty()) return;
  FChange.After = FHost->PlaceOf(FHost->FCurrent);
  FChange.What = AWhat;
  if (FHost->FMoveMode) {
    // The move mode is one step of undo, taken as a whole when it ends.
    TLayoutChange& mode = FHost->FMoveChange;
    for (TLayoutStep& step : FChange.Steps) mode.Steps.push_back(std::move(step));
    mode.After = FChange.After;
    FHost->FPointerMove->ShowWash(HostRect(FHost->FCurrent));
  } else {
    FHost->FHistory.Record(std::move(FChange));
  }
  FHost->Tell(AWhat);
  FHost->Changed();
}

// --- the steps --------------------------------------------------------------

TPanePath TMainPanel::PlaceOf(const TSplitPanel* APane) const {
  if (FZoomed && APane->Parent() == this) return FZoomPlace;
  return PathOf(APane);
}

void TMainPanel::Park(TControl* AContent) {
  if (AContent == nullptr) return;
  AContent->SetVisible(false);
  AContent->SetParent(nullptr);
  AContent->FreeNotification(this);
}

void TMainPanel::Unpark(TSplitPanel* APane, TControl* AContent) {
  if (AContent == nullptr) return;
  AContent->RemoveFreeNotification(this);
  AddContent(APane, AContent);
  AContent->SetVisible(true);
}

TLayoutStep TMainPanel::Apply(TLayoutStep AStep) {
  bool exact = false;
  TSplitPanel* pane = PaneAt(FRoot, AStep.Path, &exact);
  // A step that does not fit the tree changes nothing (a swap of a pane
  // with itself takes nothing back either).
  TLayoutStep nothing{TLayoutStep::lsSwap, PathOf(FRoot), PathOf(FRoot)};
  if (!exact) return nothing;
  TLayoutStep inverse{AStep.Kind, AStep.Path, AStep.Other};
  switch (AStep.Kind) {
    case TLayoutStep::lsInsert: {
      TSplitPanel* fresh = pane->SplitAround(AlignOf(AStep.Stacked), AStep.Ratio, AStep.NewFirst);
      Unpark(fresh, AStep.Content);
      inverse.Kind = TLayoutStep::lsRemove;
      inverse.Path = PathOf(fresh);
      return inverse;
    }
    case TLayoutStep::lsRemove:
    case TLayoutStep::lsMove: {
      TSplitPanel* parent = ParentPane(pane);
      if (!IsLeaf(pane) || AStep.Path.empty() || parent == nullptr) return nothing;
      const bool moving = AStep.Kind == TLayoutStep::lsMove;
      // Where it was: beside its sibling, which takes over their parent's place.
      TLayoutStep back{moving ? TLayoutStep::lsMove : TLayoutStep::lsInsert};
      back.Other = TPanePath(AStep.Path.begin(), AStep.Path.end() - 1);
      back.Stacked = parent->SplitsHeight();
      back.Ratio = parent->FRatio;
      back.NewFirst = !AStep.Path.back();
      TControl* content = pane->Content();
      if (moving) {
        if (content != nullptr) content->SetParent(nullptr);
      } else {
        Park(content);
      }
      pane->DeletePane();
      parent->ResizeChildren();
      if (!moving) {
        back.Path = back.Other;
        back.Other.clear();
        back.Content = content;
        return back;
      }
      bool found = false;
      TSplitPanel* target = PaneAt(FRoot, AStep.Other, &found);
      TSplitPanel* fresh = target->SplitAround(AlignOf(AStep.Stacked), AStep.Ratio, AStep.NewFirst);
      if (content != nullptr) fresh->InsertContent(content);
      // Back where it was, once it has gone from here again: the tree is
      // then as it was after it left, where its old place was back.Other.
      back.Path = PathOf(fresh);
      return back;
    }
    case TLayoutStep::lsRatio:
      if (IsLeaf(pane)) return nothing;
      inverse.Ratio = pane->FRatio;
      pane->FRatio = AStep.Ratio;
      pane->ResizeChildren();
      return inverse;
    case TLayoutStep::lsSwap: {
      bool found = false;
      TSplitPanel* other = PaneAt(FRoot, AStep.Other, &found);
      if (!found || !IsLeaf(pane) || !IsLeaf(other)) return nothing;
      TControl* mine = pane->Content();
      TControl* theirs = other->Content();
      if (mine != nullptr) other->InsertContent(mine);
      if (theirs != nullptr) pane->InsertContent(theirs);
      return inverse;
    }
    case TLayoutStep::lsFlip:
      if (IsLeaf(pane)) return nothing;
      pane->Flip();
      return inverse;
    case TLayoutStep::lsContent: {
      if (!IsLeaf(pane)) return nothing;
      inverse.Content = pane->Content();
      Park(inverse.Content);
      Unpark(pane, AStep.Content);
      return inverse;
    }
  }
  return nothing;
}

// --- undo and redo ----------------------------------------------------------

TLayoutChange TMainPanel::Replay(TLayoutChange AChange, bool ABackwards) {
  TLayoutChange done{{}, AChange.Before, AChange.After, AChange.What};
  if (ABackwards) std::reverse(AChange.Steps.begin(), AChange.Steps.end());
  for (TLayoutStep& step : AChange.Steps) done.Steps.push_back(Apply(std::move(step)));
  if (ABackwards) std::reverse(done.Steps.begin(), done.Steps.end());
  return done;
}

void TMainPanel::UndoLayout() { StepHistory(true); }

void TMainPanel::RedoLayout() { StepHistory(false); }

void TMainPanel::StepHistory(bool AUndo) {
  if (FMoveMode) EndMoveMode(true);
  if (!(AUndo ? FHistory.CanUndo() : FHistory.CanRedo())) {
    Application->Announce(AUndo ? "No change to the layout to undo"
                                : "No change to the layout to redo");
    return;
  }
  TRebuilding rebuilding(this);
  Unzoom();
  if (FCurrent != nullptr) FCurrent->DrawMarker(clWhite);
  // The pane the change concerned is current: where it began for an undo,
  // where it ended for a redo.
  TLayoutChange done = Replay(AUndo ? FHistory.TakeUndo() : FHistory.TakeRedo(), AUndo);
  FCurrent = PaneAt(FRoot, AUndo ? done.Before : done.After);
  const std::string what = (AUndo ? "Undone: " : "Redone: ") + done.What;
  if (AUndo)
    FHistory.Undone(std::move(done));
  else
    FHistory.Redone(std::move(done));
  DescribePanes();
  SettleCurrent();
  // Text typed into an editor or grid the undo took away waits for the
  // redo, which the next change lets go: said where the eye is.
  if (AUndo && FHistory.CanRedo() && KeepsText(*FHistory.NewestUndone()))
    Application->ShowNote(FCurrent,
                          "Ctrl+Shift+Y brings its text back, until the layout changes again");
  Tell(what);
  ChangedBack();
}

void TMainPanel::RatioChanging(TSplitPanel* APane, float AOld, float ANew) {
  if (AOld == ANew || (FRebuilding > 0 && !FRatioByKeys)) return;
  if (FMoveMode) EndMoveMode(true);
  // More of the same drag, or of the same run of key presses.
  if (FRatioRun.Pane == APane && FRatioRun.Serial == FHistory.Serial() &&
      FRatioRun.ByKeys == FRatioByKeys)
    return;
  TLayoutChange change;
  TLayoutStep step{TLayoutStep::lsRatio, PathOf(APane)};
  step.Ratio = AOld;
  change.Steps.push_back(step);
  if (FCurrent != nullptr) change.Before = change.After = PlaceOf(FCurrent);
  change.What = "Splitter moved";
  FHistory.Record(std::move(change));
  FRatioRun = {APane, FHistory.Serial(), FRatioByKeys};
}

// --- moving panes -----------------------------------------------------------

TSplitPanel* TMainPanel::LeafAt(int X, int Y) {
  if (FZoomed || FRoot == nullptr) return nullptr;
  // Down the tree by the halves' places.
  TSplitPanel* pane = FRoot;
  const TRect rect = HostRect(pane);
  if (X < rect.Left || X >= rect.Right || Y < rect.Top || Y >= rect.Bottom) return nullptr;
  while (!IsLeaf(pane)) {
    const TRect first = HostRect(pane->FFirst);
    const bool inFirst = pane->SplitsHeight() ? Y < first.Bottom : X < first.Right;
    pane = inFirst ? pane->FFirst : pane->FSecond;
  }
  return pane;
}

TDropPlace TMainPanel::DropPlaceAt(const TSplitPanel* ACarried, int X, int Y) {
  TDropPlace place;
  TSplitPanel* pane = LeafAt(X, Y);
  if (pane == nullptr) return place;
  const TRect rect = HostRect(pane);
  place.Target = pane;
  if (pane == ACarried || rect.Width() <= 0 || rect.Height() <= 0) return place;
  // The middle half each way trades places; the rest goes to the nearest
  // edge, so every point means one outcome and each band is a quarter.
  const double x = (X - rect.Left + 0.5) / rect.Width();
  const double y = (Y - rect.Top + 0.5) / rect.Height();
  const double edges[] = {x, 1 - x, y, 1 - y};
  const TDropSide sides[] = {dsLeft, dsRight, dsTop, dsBottom};
  const auto nearest = std::min_element(std::begin(edges), std::end(edges));
  place.Side = *nearest >= 0.25 ? dsSwap : sides[nearest - std::begin(edges)];
  if (place.Side == dsSwap) {
    place.Wash = rect;
    return place;
  }
  const TSplitPanel* split = SplitFor(ACarried, pane);
  // At the edge of its own sibling that faces it, it would land where it is.
  if (split != pane && split->SplitsHeight() == Stacked(place.Side) &&
      (split->FFirst == ACarried) == (place.Side == dsLeft || place.Side == dsTop)) {
    place.Refusal = "This pane is there already";
    place.Side = dsNone;
    return place;
  }
  if (!RoomToSplit(split, AlignOf(Stacked(place.Side)), 0.5f)) {
    place.Refusal = "No room to split that pane";
    place.Side = dsNone;
    return place;
  }
  place.Wash = HalfOf(HostRect(split), place.Side);
  return place;
}

void TMainPanel::MovePane(TSplitPanel* APane, TSplitPanel* ATarget, TDropSide ASide) {
  if (APane == nullptr || ATarget == nullptr || ASide == dsNone || APane == ATarget ||
      !IsLeaf(APane) || !IsLeaf(ATarget)) {
    SettleCurrent();
    return;
  }
  TLayoutEdit edit(this);
  if (ASide != dsSwap && !RoomToSplit(SplitFor(APane, ATarget), AlignOf(Stacked(ASide)), 0.5f)) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "No room to split that pane", true);
    return;
  }
  const TPanePath from = PathOf(APane);
  const TPanePath to = PathOf(ATarget);
  if (ASide == dsSwap) {
    edit.Do({TLayoutStep::lsSwap, from, to});
    edit.Done(ATarget, "Panes swapped");
    return;
  }
  TLayoutStep step{TLayoutStep::lsMove, from, AfterRemoval(from, to)};
  step.Stacked = Stacked(ASide);
  step.NewFirst = ASide == dsLeft || ASide == dsTop;
  step.Ratio = 0.5f;
  const TLayoutStep& back = edit.Do(step);
  edit.Done(PaneAt(FRoot, back.Path), std::string("Pane moved ") + SideName(ASide) + " the other");
}

void TMainPanel::FlipCurrent() {
  TLayoutEdit edit(this);
  TSplitPanel* parent = FCurrent != nullptr ? ParentPane(FCurrent) : nullptr;
  if (parent == nullptr) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "No split to turn: this pane fills the window", true);
    return;
  }
  edit.Do({TLayoutStep::lsFlip, PathOf(parent)});
  edit.Done(FCurrent, parent->SplitsHeight() ? "Halves turned: top and bottom"
                                             : "Halves turned: side by side");
}

void TMainPanel::ClearCurrent() {
  TLayoutEdit edit(this, true);
  if (FCurrent == nullptr) return;
  if (FCurrent->Content() == nullptr) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "This pane is empty already", true);
    return;
  }
  edit.Do({TLayoutStep::lsContent, PlaceOf(FCurrent)});
  edit.Done(FCurrent, "Pane cleared");
}

void TMainPanel::TurnCurrent() {
  TLayoutEdit edit(this, true);
  if (FCurrent == nullptr) return;
  TControl* content = FCurrent->Content();
  const TContentKind kind = ContentKindOf(content);
  if (kind == ckNone) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "This pane holds no editor or grid to turn", true);
    return;
  }
  const TContentValue value = TurnedValue(content);
  if (value.Kind == ckGrid &&
      static_cast<size_t>(value.ColCount) * static_cast<size_t>(value.RowCount) > MaxTurnedCells) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "Too much text to turn into a grid", true);
    return;
  }
  TLayoutStep step{TLayoutStep::lsContent, PlaceOf(FCurrent)};
  step.Content = CreateContent(FCurrent->Owner(), value);
  edit.Do(step);
  edit.Done(FCurrent, kind == ckMemo ? "Editor turned into a grid" : "Grid turned into an editor");
}

// --- the pointer ------------------------------------------------------------

TSplitPanel* TMainPanel::Carried() {
  bool exact = false;
  TSplitPanel* pane = PaneAt(FRoot, FCarried, &exact);
  return exact && IsLeaf(pane) ? pane : nullptr;
}

void TMainPanel::PressOnPane(TSplitPanel* APane, int X, int Y) {
  if (FRoot == nullptr || IsLeaf(FRoot) || FZoomed || FMoveMode) return;
  const TRect rect = HostRect(APane);
  FCarried = PathOf(APane);
  FPointerMove->Press(rect.Left + X, rect.Top + Y);
}

void TMainPanel::PickUpCurrent() {
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  if (FCurrent == FRoot) {
    SettleCurrent();
    Application->ShowNote(FCurrent, "This is the only pane: there is nowhere to move it", true);
    return;
  }
  FCarried = PathOf(FCurrent);
  SettleCurrent();
  FPointerMove->Arm();
  Application->ShowNote(FCurrent, "Click where this pane should go; Escape cancels");
}

void TMainPanel::CarryPickUp(TObject* /*Sender*/, int X, int Y, bool& Accept) {
  TSplitPanel* pane = LeafAt(X, Y);
  Accept = pane != nullptr && pane != FRoot && !FMoveMode;
  if (!Accept) return;
  // What is picked up is current, as a click makes it.
  FCarried = PathOf(pane);
  SetCurrent(pane);
}

void TMainPanel::CarryOver(TObject* /*Sender*/, int X, int Y, TRect& AWash) {
  TSplitPanel* carried = Carried();
  if (carried == nullptr) return;
  AWash = DropPlaceAt(carried, X, Y).Wash;
}

void TMainPanel::CarryDrop(TObject* /*Sender*/, int X, int Y) {
  TSplitPanel* carried = Carried();
  if (carried == nullptr) return;
  const TDropPlace place = DropPlaceAt(carried, X, Y);
  if (place.Side != dsNone) {
    MovePane(carried, place.Target, place.Side);
    return;
  }
  // On itself nothing is plainer; elsewhere the user hears why.
  SetCurrent(carried);
  // The note is about the pane it lies at; the carried pane, current,
  // keeps its frame in sight.
  if (!place.Refusal.empty())
    Application->ShowNote(place.Target, place.Refusal, true, carried->FPaintBox);
  else if (place.Target != carried)
    Application->Announce("Not moved: put it down on a pane");
}

void TMainPanel::CarryCancel(TObject* /*Sender*/) {
  Application->Announce("Move cancelled");
  if (FCurrent != nullptr && FRoot != nullptr) SettleCurrent();
}

// --- the move mode ----------------------------------------------------------

void TMainPanel::BeginMoveMode() {
  if (FMoveMode) {
    EndMoveMode(true);
    return;
  }
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  if (FCurrent == FRoot) {
    SettleCurrent();
    Application->ShowNote(FCurrent, "This is the only pane: there is nowhere to move it", true);
    return;
  }
  FMoveMode = true;
  FMoveChange = {};
  FMoveChange.Before = FMoveChange.After = PathOf(FCurrent);
  FMoveChange.What = "Pane moved";
  SettleCurrent();
  FPointerMove->ShowWash(HostRect(FCurrent));
  // Short enough to show at a pane of a small window; heard as it shows.
  Application->ShowNote(FCurrent, MoveModeNote);
}

bool TMainPanel::MoveModeKey(unsigned AKey, bool AShift) {
  if (!FMoveMode) return false;
  TPaneDirection direction = pdLeft;
  switch (AKey) {
    case VK_LEFT:
    case 'H':
      direction = pdLeft;
      break;
    case VK_DOWN:
    case 'J':
      direction = pdDown;
      break;
    case VK_UP:
    case 'K':
      direction = pdUp;
      break;
    case VK_RIGHT:
    case 'L':
      direction = pdRight;
      break;
    case 'F':
      FMoveKey = true;
      FlipCurrent();
      FMoveKey = false;
      return true;
    case VK_RETURN:
      EndMoveMode(true);
      return true;
    case VK_ESCAPE:
      EndMoveMode(false);
      return true;
    default:
      return true;  // nothing else reaches the panes meanwhile
  }
  FMoveKey = true;
  TLayoutEdit edit(this);
  static const char* const names[] = {"left", "right", "up", "down"};
  if (!AShift) {
    // A step at a time: it trades places with the pane next door.
    TSplitPanel* next = Neighbour(FCurrent, direction);
    if (next == nullptr) {
      edit.Done(FCurrent, "");
      Application->ShowNote(FCurrent, std::string("No pane ") + names[direction] + " of this one",
                            true);
    } else {
      edit.Do({TLayoutStep::lsSwap, PathOf(FCurrent), PathOf(next)});
      edit.Done(next, std::string("Moved ") + names[direction]);
    }
    FMoveKey = false;
    return true;
  }
  // Along that whole side of the window, a third of its width or height.
  TLayoutStep step{TLayoutStep::lsMove, PathOf(FCurrent), {}};
  step.Stacked = direction == pdUp || direction == pdDown;
  step.NewFirst = direction == pdLeft || direction == pdUp;
  step.Ratio = step.NewFirst ? 1.0f / 3 : 2.0f / 3;
  const bool stacked = step.Stacked;
  const TSplitPanel* root = FRoot;
  if (!RoomToSplit(root, AlignOf(stacked), step.Ratio)) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "No room along that side of the window", true);
  } else {
    const TLayoutStep& back = edit.Do(step);
    edit.Done(PaneAt(FRoot, back.Path), std::string("Laid along the ") +
                                            (direction == pdLeft    ? "left"
                                             : direction == pdRight ? "right"
                                             : direction == pdUp    ? "top"
                                                                    : "bottom") +
                                            " of the window");
  }
  FMoveKey = false;
  return true;
}

void TMainPanel::EndMoveMode(bool AKeep) {
  if (!FMoveMode) return;
  FMoveMode = false;
  TLayoutChange change = std::move(FMoveChange);
  FMoveChange = {};
  Application->HideNote();
  FPointerMove->HideWash();
  if (AKeep) {
    const bool moved = !change.Steps.empty();
    if (moved) FHistory.Record(std::move(change));
    Tell(moved ? "Move kept" : "Move ended");
    return;
  }
  TRebuilding rebuilding(this);
  if (FCurrent != nullptr) FCurrent->DrawMarker(clWhite);
  TLayoutChange undone = Replay(std::move(change), true);
  DropContent(undone);
  FCurrent = PaneAt(FRoot, undone.Before);
  DescribePanes();
  SettleCurrent();
  Tell("Move cancelled: the panes are as they were");
  if (!undone.Steps.empty()) ChangedBack();
}

void TMainPanel::ChangedBack() {
  FPuttingBack = true;
  Changed();
  FPuttingBack = false;
}
