#pragma once
// The pane tree as a value: what undo keeps of a removal and what a
// workspace file holds. Panes are found by their place, never kept by address.

#include <string>
#include <vector>

class TComponent;
class TProgress;
class TControl;
class TMainPanel;
class TSplitPanel;

enum TContentKind { ckNone, ckMemo, ckGrid };

// What a leaf shows.
struct TContentValue {
  TContentKind Kind = ckNone;
  std::string Text;  // the editor's text
  int Caret = 0;     // where its caret is, and where its selection
  int Anchor = 0;    // began, in the editor's characters
  // Scrolled to: the editor's character at its top; the grid's rows and
  // columns out of sight above and to the left.
  int Top = 0;
  int Left = 0;
  int Scale = 100;                 // the text's size, in percent of the usual
  std::vector<std::string> Cells;  // the grid's cells row by row, fixed ones included
  int ColCount = 5;                // the grid's size, fixed ones included
  int RowCount = 5;
  int Col = 1;  // the grid's current cell
  int Row = 1;
  // The widths of the grid's columns that take typing, where not all the
  // default.
  std::vector<int> Widths;
  bool operator==(const TContentValue&) const = default;
};

// One pane: a split (which way, and its first half's share) or a leaf.
struct TPaneNode {
  bool Leaf = true;
  bool Stacked = false;  // a split's halves lie above each other
  float Ratio = 0.0f;
  TContentValue Content;  // a leaf's
  // Ratios compare bit for bit: a round trip must give the very same float.
  bool operator==(const TPaneNode& AOther) const;
};

// A whole tree, its panes in preorder: a split is followed by its first
// half's panes, then its second half's. Flat, so nothing that reads or builds
// one recurses on its depth.
using TPaneTree = std::vector<TPaneNode>;

// A pane's place: from the root, false for the first half and true for the
// second at each split on the way.
using TPanePath = std::vector<bool>;

TContentKind ContentKindOf(const TControl* AContent);
TContentValue ContentValueOf(const TControl* AContent);
// A new editor or grid showing AValue; null for ckNone.
TControl* CreateContent(TComponent* AOwner, const TContentValue& AValue);

// The panes from APane down, as a value.
TPaneTree Snapshot(const TSplitPanel* APane);
// Empty when ATree is one whole tree (every split followed by both its
// halves, nothing after the last leaf), else what is wrong.
std::string TreeProblem(const TPaneTree& ATree);
// Makes APane, a leaf, show ATree through the tree's own split; content is
// made from the values and handed to AHost. ATree must be whole. With
// AProgress, each pane is a step; false when it said stop, and APane then
// holds part of the tree.
bool Build(const TPaneTree& ATree, TSplitPanel* APane, TMainPanel* AHost,
           TProgress* AProgress = nullptr);

TPanePath PathOf(const TSplitPanel* APane);
// The pane at APath, or the last one on the way where the tree ends sooner
// (AExact tells which).
TSplitPanel* PaneAt(TSplitPanel* ARoot, const TPanePath& APath, bool* AExact = nullptr);
