#pragma once
// The pane tree: TSplitPanel is one pane, TMainPanel the control that holds
// one tree and the current pane.

#include <vector>

#include "widgets/PaintBox.h"
#include "widgets/Panel.h"
#include "widgets/Splitter.h"

// A leaf pane is covered by a paint box that shows the current-pane frame and
// takes clicks; a split pane holds two child panes with a splitter between.
class TSplitPanel : public TPanel {
 public:
  TSplitPanel(TComponent* AOwner, TSplitPanel** ACurrentRef);
  ~TSplitPanel() override;

  // Draws a one-pixel frame round the paint box, straight to the screen.
  void DrawMarker(TColor AColor);
  void PaintBoxMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PaintBoxPaint(TObject* Sender);

  // Turns this leaf into a split pane: first child aligned AAlign (alTop
  // stacks the halves, alLeft puts them side by side) with ARatio of the size.
  void Split(TAlign AAlign, float ARatio);
  // Gives every first child below this pane its stored share again.
  void ResizeChildren();
  void SplitterCanResize(TObject* Sender, int& NewSize, bool& Accept);
  // After each size a drag applied: both halves show their stored shares.
  void SplitterMoved(TObject* Sender);
  // Takes this pane out of the tree; its sibling's contents take over the
  // parent's area. Destroys this pane. The root is never removed.
  void DeletePane();

  // Puts a content control (an editor, a grid) into this leaf, inside the
  // frame, so the frame stays visible and the pane stays selectable.
  void InsertContent(TControl* AContent);
  // Whatever the pane holds besides its tree parts.
  std::vector<TControl*> Contents() const;
  // Makes this pane current the way a click does: old frame off, new one on.
  void MakeCurrent();
  void ContentMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ContentEnter(TObject* Sender);

  // The tree's fields; other panes and the host read and write them directly.
  TSplitPanel** FCurrentRef;  // the host's current-pane reference (borrowed)
  TSplitPanel* FFirst;        // top or left half of a split pane (owned)
  TSplitPanel* FSecond;       // the rest of a split pane (owned)
  TSplitter* FSplitter;       // between the two halves (owned)
  TPaintBox* FPaintBox;       // covers a leaf pane (owned)
  float FRatio;               // first half's share of the pane's height or width

 private:
  bool SplitsHeight() const;
  void BindPaintBox();
  void BindSplitter();
  void AdoptLeaf(TSplitPanel* ASibling);
  void AdoptSplit(TSplitPanel* ASibling);
  void TakeContentsOf(TSplitPanel* ASibling);
};

// Holds one pane tree and the current pane every pane points at.
class TMainPanel : public TWinControl {
 public:
  explicit TMainPanel(TComponent* AOwner);
  ~TMainPanel() override;

  void SplitCurrent(TAlign AAlign, float ARatio);
  void ResizePanes();
  void DeleteCurrent();

  // A removal can leave a split pane current; commands then act on its first
  // leaf, which this makes current.
  void MoveCurrentToLeaf();
  // Makes sure a leaf is current and its red frame is on the screen.
  void MarkCurrent();

  TSplitPanel* FCurrent;
  TSplitPanel* FRoot;
};

// The size arithmetic of the whole tree: extent times ratio, truncated toward
// zero, in double precision.
int PaneShare(int AExtent, float ARatio);
