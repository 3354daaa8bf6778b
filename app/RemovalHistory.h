#pragma once
// What pane removals took, so they can be put back one after another, newest
// first, and taken out again. Holds places and values, never panes.

#include <cstddef>
#include <deque>
#include <vector>

#include "app/PaneValue.h"

class TComponent;

class TRemovalHistory {
 public:
  // One removal of a leaf: the split it was a half of, and what it showed.
  struct TRemoval {
    TPanePath Place;  // the split pane, which now shows what the sibling did
    bool Stacked = false;
    float Ratio = 0.0f;
    bool WasFirst = false;
    TControl* Content = nullptr;  // kept hidden for the undo; owned here
  };

  // How many removals can be undone; older ones are let go.
  static constexpr std::size_t Levels = 256;

  TRemovalHistory() = default;
  TRemovalHistory(const TRemovalHistory&) = delete;
  TRemovalHistory& operator=(const TRemovalHistory&) = delete;
  ~TRemovalHistory() { Clear(); }

  // A removal by the user: it can be undone, and ends what could be redone.
  void Removed(TRemoval ARemoval);
  bool CanUndo() const { return !FUndo.empty(); }
  // The newest removal, now the caller's (its content included).
  TRemoval TakeUndo();

  // A pane put back at APlace, to be taken out again by a redo.
  void Restored(TPanePath APlace) { FRedo.push_back(std::move(APlace)); }
  bool CanRedo() const { return !FRedo.empty(); }
  TPanePath TakeRedo();
  // The tree changed shape: the places kept for a redo mean nothing now.
  void ForgetRedo() { FRedo.clear(); }
  // A redo's removal: undoable again, and the other redos stay.
  void RemovedAgain(TRemoval ARemoval);

  // Destroys all kept content.
  void Clear();
  // AContent was destroyed elsewhere (its owner went first).
  void Forget(const TComponent* AContent);

  const std::deque<TRemoval>& Removals() const { return FUndo; }

 private:
  std::deque<TRemoval> FUndo;
  std::vector<TPanePath> FRedo;
};
