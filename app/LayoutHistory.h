#pragma once
// Every change to the layout as steps that can be taken back: splits,
// removals, shares, moves, swaps, flips and the editors and grids put in,
// cleared or turned. Holds places and values, never panes; an editor or grid
// a step took out waits here, outside the window, until a step brings it back.

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/PaneValue.h"

class TComponent;

// One change to the tree, as a value. Applying a step gives the step that
// takes it back again (see TMainPanel::Apply).
struct TLayoutStep {
  enum TKind {
    lsInsert,   // Path is split around (NewFirst: the new leaf is its first half),
                // the new leaf shows Content
    lsRemove,   // the leaf at Path goes; its sibling takes over their parent's area
    lsMove,     // the leaf at Path goes, and comes back where lsInsert at Other would put it
    lsRatio,    // the split at Path gets Ratio
    lsSwap,     // the leaves at Path and Other trade what they show
    lsFlip,     // the split at Path turns: stacked halves side by side, and back
    lsContent,  // the leaf at Path shows Content (null: nothing) instead of what it did
  };
  TLayoutStep() = default;
  TLayoutStep(TKind AKind, TPanePath APath = {},
              TPanePath AOther = {})  // NOLINT: a step reads as its kind
      : Kind(AKind), Path(std::move(APath)), Other(std::move(AOther)) {}

  TKind Kind = lsRatio;
  TPanePath Path;
  TPanePath Other;
  bool Stacked = false;
  float Ratio = 0.5f;
  bool NewFirst = false;
  TControl* Content = nullptr;  // kept outside the window; owned by the history
};

// A command's steps, in the order they were applied, and the current pane
// before and after it.
struct TLayoutChange {
  std::vector<TLayoutStep> Steps;
  TPanePath Before;
  TPanePath After;
  std::string What;  // "Pane deleted", "Pane moved"...
};

class TLayoutHistory {
 public:
  // How many changes can be undone; older ones are let go.
  static constexpr std::size_t Levels = 256;

  TLayoutHistory() = default;
  TLayoutHistory(const TLayoutHistory&) = delete;
  TLayoutHistory& operator=(const TLayoutHistory&) = delete;
  ~TLayoutHistory() { Clear(); }

  // A new change, AChange.Steps being what takes it back: it can be undone,
  // and ends what could be redone.
  void Record(TLayoutChange AChange);
  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  // The newest change, now the caller's (its kept content included).
  TLayoutChange TakeUndo();
  TLayoutChange TakeRedo();
  // An undone change, its steps those that do it again; and a redone one.
  void Undone(TLayoutChange AChange) { FRedo.push_back(std::move(AChange)); }
  void Redone(TLayoutChange AChange);
  // Counts every change recorded or moved: the newest is still the one
  // recorded when this gave ASerial.
  std::size_t Serial() const { return FSerial; }
  // What undo would take back, for the newest change.
  TLayoutChange* Newest() { return FUndo.empty() ? nullptr : &FUndo.back(); }
  // What redo would do again, for the change undone last.
  const TLayoutChange* NewestUndone() const { return FRedo.empty() ? nullptr : &FRedo.back(); }

  // Destroys all kept content.
  void Clear();
  // AContent was destroyed elsewhere (its owner went first).
  void Forget(const TComponent* AContent);
  // Whether AContent waits here for an undo or a redo.
  bool Keeps(const TControl* AContent) const;
  std::size_t UndoCount() const { return FUndo.size(); }

 private:
  std::deque<TLayoutChange> FUndo;
  std::vector<TLayoutChange> FRedo;
  std::size_t FSerial = 0;
};

// Destroys the content a change's steps keep.
void DropContent(TLayoutChange& AChange);
