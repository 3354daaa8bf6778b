#pragma once
// The pane tree: TSplitPanel is one pane, TMainPanel the control that holds
// one tree and the current pane.

#include <vector>

#include "widgets/PaintBox.h"
#include "widgets/Panel.h"
#include "widgets/Splitter.h"

class TMainPanel;

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
  // A double-click on the splitter evens out the two halves.
  void SplitterDblClick(TObject* Sender);
  // Gives both halves the same size (within a pixel) and keeps that share.
  void EvenHalves();

  // Divides this pane again in direction AAlign at ARatio: what it shows now
  // goes into one half, a new empty leaf into the other (the first half when
  // ANewFirst). Returns the new leaf. Undoes a removal.
  TSplitPanel* SplitAround(TAlign AAlign, float ARatio, bool ANewFirst);

  // The tree's fields; other panes and the host read and write them directly.
  TSplitPanel** FCurrentRef;  // the host's current-pane reference (borrowed)
  TSplitPanel* FFirst;        // top or left half of a split pane (owned)
  TSplitPanel* FSecond;       // the rest of a split pane (owned)
  TSplitter* FSplitter;       // between the two halves (owned)
  TPaintBox* FPaintBox;       // covers a leaf pane (owned)
  float FRatio;               // first half's share of the pane's height or width

  // A split pane whose halves are stacked (not side by side).
  bool SplitsHeight() const;
  // The host that holds this pane's tree, or null.
  TMainPanel* Host() const;

 private:
  void BindPaintBox();
  // A new splitter right after the first half, bound to this pane.
  void AddSplitter(TAlign AAlign);
  void BindSplitter();
  void AdoptLeaf(TSplitPanel* ASibling);
  void AdoptSplit(TSplitPanel* ASibling);
  void TakeContentsOf(TSplitPanel* ASibling);
};

enum TPaneDirection { pdLeft, pdRight, pdUp, pdDown };

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

  // Keyboard commands. Each first brings a zoomed tree back.
  // The leaf across the current pane's edge in ADirection that shares most
  // of that edge (ties: nearest the middle); none at the window's edge.
  void SelectNeighbour(TPaneDirection ADirection);
  // The next or previous leaf in tree order, round and round.
  void SelectNext(bool AForward);
  // Moves the splitter of the innermost split around the current pane that
  // divides along ADirection's axis, as a drag by APixels would.
  void MoveSplitter(TPaneDirection ADirection, int APixels);
  // Every pane of a row gets the same width, of a column the same height.
  void EvenOut();
  // The current pane alone fills the host; again brings the others back.
  void ToggleZoom();
  void Unzoom();
  bool Zoomed() const { return FZoomed != nullptr; }
  // Puts the last removed pane back where it was, with its content.
  void UndoDelete();
  bool CanUndo() const { return FUndo.Parent != nullptr; }
  // The removed pane's content, kept for an undo, goes for good.
  void ForgetUndo();
  // Names every leaf and splitter for assistive technology.
  void DescribePanes();
  // Names one split pane's splitter (after a drag, only its share changed).
  void DescribeSplitter(TSplitPanel* APane);

  TSplitPanel* FCurrent;
  TSplitPanel* FRoot;

 protected:
  // Content kept for an undo may be destroyed by others (the window closing).
  void Notification(TComponent* AComponent, TOperation AOperation) override;

 private:
  // What a removal took away, enough to put it back.
  struct TRemoval {
    TSplitPanel* Parent = nullptr;  // the split pane the removed one was in
    TAlign Direction = alTop;
    float Ratio = 0.0f;
    bool WasFirst = false;
    float RemovedRatio = 0.0f;
    float SiblingRatio = 0.0f;
    std::vector<TControl*> Contents;  // parked here, hidden
  };
  TRemoval FUndo;
  TSplitPanel* FZoomed = nullptr;
  std::vector<int> FZoomSizes;  // first halves on the way up, before the zoom
  bool FZoomRelayout = false;   // the host changed size while zoomed
};

// A share that the size arithmetic turns into exactly ASize of AExtent.
float RatioFor(int AExtent, int ASize);

// The size arithmetic of the whole tree: extent times ratio, truncated toward
// zero, in double precision.
int PaneShare(int AExtent, float ARatio);
