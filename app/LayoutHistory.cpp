#include "app/LayoutHistory.h"

#include "widgets/Control.h"

void DropContent(TLayoutChange& AChange) {
  for (TLayoutStep& step : AChange.Steps) {
    delete step.Content;
    step.Content = nullptr;
  }
}

void TLayoutHistory::Record(TLayoutChange AChange) {
  std::vector<TLayoutChange> redo;
  redo.swap(FRedo);
  for (TLayoutChange& change : redo) DropContent(change);
  Redone(std::move(AChange));
}

void TLayoutHistory::Redone(TLayoutChange AChange) {
  ++FSerial;
  FUndo.push_back(std::move(AChange));
  while (FUndo.size() > Levels) {
    DropContent(FUndo.front());
    FUndo.pop_front();
  }
}

TLayoutChange TLayoutHistory::TakeUndo() {
  ++FSerial;
  TLayoutChange change = std::move(FUndo.back());
  FUndo.pop_back();
  return change;
}

TLayoutChange TLayoutHistory::TakeRedo() {
  ++FSerial;
  TLayoutChange change = std::move(FRedo.back());
  FRedo.pop_back();
  return change;
}

void TLayoutHistory::Clear() {
  ++FSerial;
  std::deque<TLayoutChange> undo;
  std::vector<TLayoutChange> redo;
  undo.swap(FUndo);
  redo.swap(FRedo);
  for (TLayoutChange& change : undo) DropContent(change);
  for (TLayoutChange& change : redo) DropContent(change);
}

void TLayoutHistory::Forget(const TComponent* AContent) {
  auto forget = [AContent](TLayoutChange& AChange) {
    for (TLayoutStep& step : AChange.Steps)
      if (step.Content == AContent) step.Content = nullptr;
  };
  for (TLayoutChange& change : FUndo) forget(change);
  for (TLayoutChange& change : FRedo) forget(change);
}

bool TLayoutHistory::Keeps(const TControl* AContent) const {
  auto keeps = [AContent](const TLayoutChange& AChange) {
    for (const TLayoutStep& step : AChange.Steps)
      if (step.Content == AContent) return true;
    return false;
  };
  for (const TLayoutChange& change : FUndo)
    if (keeps(change)) return true;
  for (const TLayoutChange& change : FRedo)
    if (keeps(change)) return true;
  return false;
}
