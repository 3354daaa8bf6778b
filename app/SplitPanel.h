#pragma once
// The pane tree: TSplitPanel is one pane, TMainPanel the control that holds
// one tree and the current pane.

#include <string>
#include <vector>

#include "app/PaneValue.h"
#include "app/RemovalHistory.h"
#include "app/Workspace.h"
#include "widgets/Application.h"
#include "widgets/PaintBox.h"
#include "widgets/Panel.h"
#include "widgets/Progress.h"
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
  // frame, so the frame stays visible and the pane stays selectable. Its
  // events go to the host (TMainPanel::AddContent binds them).
  void InsertContent(TControl* AContent);
  // Whatever the pane holds besides its tree parts.
  std::vector<TControl*> Contents() const;
  // The editor or grid the pane shows, or null.
  TControl* Content() const;
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
  // The split commands: split the current pane unless a half would come out
  // smaller than a splitter lets a drag make it; then nothing changes and a
  // note at the pane says so. A window made small may still squeeze panes.
  void SplitCurrentIfRoom(TAlign AAlign, float ARatio);
  // Whether splitting APane so would leave both halves at least MinSize.
  static bool RoomToSplit(const TSplitPanel* APane, TAlign AAlign, float ARatio);
  void ResizePanes();
  void DeleteCurrent();

  // The one place that makes a pane current: its frame replaces the old one
  // and the keyboard goes into it (its editor or grid, else the pane).
  void SetCurrent(TSplitPanel* APane);
  // What every command ends with: a leaf current (a removal can leave a
  // split pane current), its red frame on the screen, the keyboard in it.
  void SettleCurrent();
  // A removal can leave a split pane current; commands then act on its first
  // leaf, which this makes current.
  void MoveCurrentToLeaf();

  // Puts a new editor or grid into the current pane. A pane holds one at
  // most: where it has one already, that one stays and gets the keyboard,
  // and a note says so. Returns the new control, or null.
  TControl* PutContent(TContentKind AKind);
  // Hands a content control to APane, its events bound to this host.
  void AddContent(TSplitPanel* APane, TControl* AContent);
  void ContentMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ContentEnter(TObject* Sender);

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
  bool Zoomed() const { return FZoomed; }
  // Puts the removed panes back, newest first, each with its content.
  void UndoDelete();
  bool CanUndo() const { return FHistory.CanUndo(); }
  // Takes out again the pane the last undo put back.
  void RedoDelete();
  bool CanRedo() const { return FHistory.CanRedo(); }
  const TRemovalHistory& History() const { return FHistory; }
  // Nothing can be undone or redone any more; kept content goes.
  void ClearHistory() { FHistory.Clear(); }
  // Names every pane, splitter, editor and grid for assistive technology:
  // where it is (from the shares, whatever the window's size) and what it
  // holds. Names that stay the same cost no event.
  void DescribePanes();
  // Tells assistive technology what a command did, and where the keyboard
  // is now (the current pane's name).
  void Tell(const std::string& AWhat);

  // The panes, their shares and content, and the current one, as a
  // workspace; and the other way round: AWorkspace (with panes, whole, as
  // ReadWorkspace gives it) replaces the tree, and nothing can be undone.
  // With AProgress, the new panes are built a step at a time; if it says
  // stop, they go and the panes shown stay as they were: false.
  TWorkspace Workspace() const;
  bool Open(const TWorkspace& AWorkspace, TProgress* AProgress = nullptr);
  // Whether a leaf shows on the screen: its frame round at least one pixel.
  static bool InSight(const TSplitPanel* APane);
  // Raised when anything a workspace holds changes: panes, shares, content.
  // The sender is the editor or grid whose content the user changed, else
  // the host.
  TNotifyEvent OnChange;
  void Changed();
  void ContentChange(TObject* Sender);

  TSplitPanel* FCurrent;
  TSplitPanel* FRoot;

 protected:
  // Content kept for an undo may be destroyed by others (the window closing).
  void Notification(TComponent* AComponent, TOperation AOperation) override;

 private:
  friend class TRebuilding;
  // Removes the current pane; AByUser ends what could be redone.
  void RemoveCurrent(bool AByUser);
  // Hands the keyboard to the current pane's content, or the pane itself.
  void FocusCurrent();
  // Set while a command moves panes and content about: the focus and input
  // events that causes are the command's, not the user's.
  int FRebuilding = 0;
  TRemovalHistory FHistory;
  // While zoomed: where the zoomed pane belongs in the tree; it lies on the
  // host meanwhile, the rest of the tree hidden beneath.
  bool FZoomed = false;
  TPanePath FZoomPlace;
  // The running command brought a zoomed tree back: what it tells says so.
  bool FLeftZoom = false;
};

// Marks a host command that moves panes and content about, for as long as it
// runs. A note left by the command before goes.
class TRebuilding {
 public:
  explicit TRebuilding(TMainPanel* AHost);
  ~TRebuilding() { --FHost->FRebuilding; }
  TRebuilding(const TRebuilding&) = delete;
  TRebuilding& operator=(const TRebuilding&) = delete;

 private:
  TMainPanel* FHost;
  // Assistive technology hears where the keyboard ends, not its way there.
  TCommandScope FScope;
};

// A share that the size arithmetic turns into exactly ASize of AExtent.
float RatioFor(int AExtent, int ASize);

// The size arithmetic of the whole tree: extent times ratio, truncated toward
// zero, in double precision.
int PaneShare(int AExtent, float ARatio);
