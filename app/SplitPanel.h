#pragma once
// The pane tree: TSplitPanel is one pane, TMainPanel the control that holds
// one tree and the current pane.

#include <string>
#include <vector>

#include "app/LayoutHistory.h"
#include "app/PaneValue.h"
#include "app/Workspace.h"
#include "widgets/Application.h"
#include "widgets/PaintBox.h"
#include "widgets/Panel.h"
#include "widgets/PointerMove.h"
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
  // ANewFirst). Returns the new leaf. Undoes a removal, puts a moved pane in.
  TSplitPanel* SplitAround(TAlign AAlign, float ARatio, bool ANewFirst);
  // A split pane's halves, stacked, come side by side, and the other way
  // round; the first half keeps its share.
  void Flip();

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
  void SplitterMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // Gives this pane the halves, splitter and share of AFrom, which is left
  // a bare leaf without a paint box.
  void TakeHalvesOf(TSplitPanel* AFrom);
  // A new splitter right after the first half, bound to this pane.
  void AddSplitter(TAlign AAlign);
  void BindSplitter();
  void AdoptLeaf(TSplitPanel* ASibling);
  void AdoptSplit(TSplitPanel* ASibling);
  void TakeContentsOf(TSplitPanel* ASibling);
};

enum TPaneDirection { pdLeft, pdRight, pdUp, pdDown };

// Where a carried pane would land on another: in the middle the two trade
// places; nearer an edge, the other pane is split on that side at half and
// the carried pane takes that half.
enum TDropSide { dsNone, dsSwap, dsLeft, dsRight, dsTop, dsBottom };
struct TDropPlace {
  TSplitPanel* Target = nullptr;
  TDropSide Side = dsNone;
  TRect Wash;           // what the carried pane would cover, in the host's coordinates
  std::string Refusal;  // why a drop here would change nothing, where not plain
};

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
  // Every change to the layout can be taken back, newest first, and done
  // again: the pane it concerned is current afterwards.
  void UndoLayout();
  bool CanUndo() const { return FHistory.CanUndo(); }
  void RedoLayout();
  bool CanRedo() const { return FHistory.CanRedo(); }
  const TLayoutHistory& History() const { return FHistory; }
  // Nothing can be undone or redone any more; kept content goes.
  void ClearHistory() { FHistory.Clear(); }

  // Applies one step to the tree and gives the step that takes it back
  // (LayoutEdits.cpp); commands go through TLayoutEdit.
  TLayoutStep Apply(TLayoutStep AStep);

  // Moving panes about. The current pane (a leaf) goes to ATarget's place
  // as ASide says; a drop on itself or where the split has no room changes
  // nothing and says why.
  void MovePane(TSplitPanel* APane, TSplitPanel* ATarget, TDropSide ASide);
  // What a drop of ACarried at X, Y (the host's coordinates) would do.
  TDropPlace DropPlaceAt(const TSplitPanel* ACarried, int X, int Y);
  // The split that holds the current pane turns (see TSplitPanel::Flip).
  void FlipCurrent();
  // The current pane's editor or grid goes, into the undo history.
  void ClearCurrent();
  // The current pane's editor becomes a grid of its lines and tab-separated
  // fields, or its grid an editor of its rows; the old one goes into the
  // undo history.
  void TurnCurrent();
  // The keyboard's move mode: picks up the current pane; MoveModeKey takes
  // its keys (false: not one of them); it ends keeping the result (one step
  // of undo) or putting everything back as it was.
  void BeginMoveMode();
  bool InMoveMode() const { return FMoveMode; }
  bool MoveModeKey(unsigned AKey, bool AShift);
  void EndMoveMode(bool AKeep);
  // Carrying a pane with the pointer: a left press at X, Y on an empty
  // pane's face (a drag past the desktop's distance picks it up), or the
  // current pane picked up by the pane's menu, put down by the next click.
  // Ctrl+Shift and a press picks up any pane, its editor's or grid's too.
  void PressOnPane(TSplitPanel* APane, int X, int Y);
  void PickUpCurrent();
  TPointerMove* PointerMove() const { return FPointerMove; }
  // The leaf at X, Y of the host, or null.
  TSplitPanel* LeafAt(int X, int Y);
  // The leaf across APane's edge in ADirection (see SelectNeighbour), or null.
  TSplitPanel* Neighbour(TSplitPanel* APane, TPaneDirection ADirection);

  // A splitter is about to give APane's first half another share: a drag
  // or a run of key presses on one splitter is one step of undo.
  void RatioChanging(TSplitPanel* APane, float AOld, float ANew);
  // The next share change is a step of its own (a new drag begins).
  void EndRatioRun() { FRatioRun = {}; }
  // APane's place in the tree, a zoomed pane's included.
  TPanePath PlaceOf(const TSplitPanel* APane) const;
  // Names every pane, splitter, editor and grid for assistive technology:
  // where it is (from the shares, whatever the window's size) and what it
  // holds. Names that stay the same cost no event. Unless assistive
  // technology listens, they are only marked out of date, for EnsureNames.
  void DescribePanes();
  void EnsureNames();
  // What ALeaf is called, out of date or not.
  std::string NameOf(const TSplitPanel* ALeaf) const;
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
  // True while OnChange tells of a change that put panes back as they were
  // before (a move cancelled, an undo or redo): the workspace may be just
  // what was last saved again.
  bool PuttingBack() const { return FPuttingBack; }
  void ContentChange(TObject* Sender);

  TSplitPanel* FCurrent;
  TSplitPanel* FRoot;

 protected:
  // Content kept for an undo may be destroyed by others (the window closing).
  void Notification(TComponent* AComponent, TOperation AOperation) override;

 private:
  friend class TRebuilding;
  friend class TLayoutEdit;
  void RemoveCurrent();
  // Undo and redo: applies AChange's steps (backwards for an undo) and
  // gives the change that takes that back.
  TLayoutChange Replay(TLayoutChange AChange, bool ABackwards);
  void StepHistory(bool AUndo);
  void CarryPickUp(TObject* Sender, int X, int Y, bool& Accept);
  void CarryOver(TObject* Sender, int X, int Y, TRect& AWash);
  void CarryDrop(TObject* Sender, int X, int Y);
  void CarryCancel(TObject* Sender);
  // What the pointer carries: the pane picked up, by its place.
  TPointerMove* FPointerMove = nullptr;
  TPanePath FCarried;
  // The carried pane, if its place still holds a leaf.
  TSplitPanel* Carried();
  // Content kept for an undo waits outside the window; and comes back.
  void Park(TControl* AContent);
  void Unpark(TSplitPanel* APane, TControl* AContent);
  // Set while the move mode's own keys change the layout.
  bool FMoveKey = false;
  // Hands the keyboard to the current pane's content, or the pane itself.
  void FocusCurrent();
  // Set while a command moves panes and content about: the focus and input
  // events that causes are the command's, not the user's.
  int FRebuilding = 0;
  TLayoutHistory FHistory;
  void NamePanes();
  bool FNamesStale = false;
  // The share change the newest step of undo holds, while more of the same
  // drag or key run joins it.
  struct TRatioRun {
    const TSplitPanel* Pane = nullptr;
    std::size_t Serial = 0;
    bool ByKeys = false;
  } FRatioRun;
  bool FRatioByKeys = false;
  bool FPuttingBack = false;
  void ChangedBack();
  // The move mode: what it did so far, to keep as one step or put back.
  bool FMoveMode = false;
  TLayoutChange FMoveChange;
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

// One change to the layout, from its start to its end: the rebuild guard,
// zoom off, a leaf current; then its steps, each applied with its inverse
// kept; at Done the layout, the names, the current pane, what is said and
// the window marked changed, and the change in the undo history.
class TLayoutEdit {
 public:
  // AKeepZoom: a change to the zoomed pane's content leaves it zoomed.
  explicit TLayoutEdit(TMainPanel* AHost, bool AKeepZoom = false);
  TLayoutEdit(const TLayoutEdit&) = delete;
  TLayoutEdit& operator=(const TLayoutEdit&) = delete;
  // Applies AStep; undo will apply what this gives back, which it returns.
  const TLayoutStep& Do(TLayoutStep AStep);
  // Keeps AInverse for a step the command applied itself.
  void Did(TLayoutStep AInverse);
  bool Empty() const { return FChange.Steps.empty(); }
  // Ends the change with ACurrent current, telling AWhat.
  void Done(TSplitPanel* ACurrent, const std::string& AWhat);

 private:
  TMainPanel* FHost;
  TRebuilding FRebuilding;
  TLayoutChange FChange;
};

// A share that the size arithmetic turns into exactly ASize of AExtent.
float RatioFor(int AExtent, int ASize);

// The size arithmetic of the whole tree: extent times ratio, truncated toward
// zero, in double precision.
int PaneShare(int AExtent, float ARatio);
