#include "app/RemovalHistory.h"

#include "widgets/Control.h"

void TRemovalHistory::Removed(TRemoval ARemoval) {
  FRedo.clear();
  RemovedAgain(std::move(ARemoval));
}

void TRemovalHistory::RemovedAgain(TRemoval ARemoval) {
  FUndo.push_back(std::move(ARemoval));
  while (FUndo.size() > Levels) {
    delete FUndo.front().Content;
    FUndo.pop_front();
  }
}

TRemovalHistory::TRemoval TRemovalHistory::TakeUndo() {
  TRemoval removal = std::move(FUndo.back());
  FUndo.pop_back();
  return removal;
}

TPanePath TRemovalHistory::TakeRedo() {
  TPanePath place = std::move(FRedo.back());
  FRedo.pop_back();
  return place;
}

void TRemovalHistory::Clear() {
  std::deque<TRemoval> undo;
  undo.swap(FUndo);
  FRedo.clear();
  for (TRemoval& removal : undo) delete removal.Content;
}

void TRemovalHistory::Forget(const TComponent* AContent) {
  for (TRemoval& removal : FUndo)
    if (removal.Content == AContent) removal.Content = nullptr;
}
