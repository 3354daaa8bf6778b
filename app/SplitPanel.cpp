#include "app/SplitPanel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "widgets/Application.h"
#include "widgets/Memo.h"
#include "widgets/StringGrid.h"

int PaneShare(int AExtent, float ARatio) {
  const double share = static_cast<double>(AExtent) * static_cast<double>(ARatio);
  // A ratio is not clamped; keep a wild one from overflowing the conversion.
  if (!std::isfinite(share)) return 0;
  if (share >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (share <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(share);
}

float RatioFor(int AExtent, int ASize) {
  if (AExtent <= 0) return 0.5f;
  // The middle of the pixel: the truncating arithmetic lands on ASize.
  float ratio = static_cast<float>((ASize + 0.5) / AExtent);
  for (int i = 0; i < 64 && PaneShare(AExtent, ratio) > ASize; ++i)
    ratio = std::nextafter(ratio, 0.0f);
  for (int i = 0; i < 64 && PaneShare(AExtent, ratio) < ASize; ++i)
    ratio = std::nextafter(ratio, 2.0f);
  return ratio;
}

// --- TSplitPanel ------------------------------------------------------------

TSplitPanel::TSplitPanel(TComponent* AOwner, TSplitPanel** ACurrentRef)
    : TPanel(AOwner, TWindowless{}),
      FCurrentRef(ACurrentRef),
      FFirst(nullptr),
      FSecond(nullptr),
      FSplitter(nullptr),
      FPaintBox(nullptr),
      FRatio(0.0f) {
  SetText("AAA");
  // An empty current pane holds the keyboard itself (and ignores typing).
  SetFocusable(true);
  SetAccessibleRole(arPane);
  FPaintBox = new TPaintBox(AOwner);
  FPaintBox->SetParent(this);
  FPaintBox->SetAlign(alClient);
  BindPaintBox();
}

TSplitPanel::~TSplitPanel() {
  delete FFirst;
  delete FSecond;
  delete FSplitter;
  delete FPaintBox;
}

void TSplitPanel::BindPaintBox() {
  FPaintBox->OnMouseDown = TMouseEvent(this, &TSplitPanel::PaintBoxMouseDown);
  FPaintBox->OnPaint = TNotifyEvent(this, &TSplitPanel::PaintBoxPaint);
}

bool TSplitPanel::SplitsHeight() const {
  return FSplitter->Align() == alTop || FSplitter->Align() == alBottom;
}

void TSplitPanel::DrawMarker(TColor AColor) {
  if (FPaintBox == nullptr) return;
  TCanvas* canvas = FPaintBox->Canvas();
  canvas->Pen()->SetColor(AColor);
  const int w = FPaintBox->Width();
  const int h = FPaintBox->Height();
  canvas->MoveTo(0, 0);
  canvas->LineTo(w - 1, 0);
  canvas->LineTo(w - 1, h - 1);
  canvas->LineTo(0, h - 1);
  canvas->LineTo(0, 0);
}

void TSplitPanel::PaintBoxMouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/,
                                    int X, int Y) {
  if (FCurrentRef == nullptr) return;
  if (*FCurrentRef != nullptr) (*FCurrentRef)->DrawMarker(clWhite);
  *FCurrentRef = this;
  DrawMarker(clRed);
  // The keyboard follows the frame.
  TMainPanel* host = Host();
  if (host == nullptr) return;
  host->SettleCurrent();
  // Dragged on, past the desktop's distance, an empty pane is picked up.
  if (Button == mbLeft && Content() == nullptr && FPaintBox != nullptr)
    host->PressOnPane(this, X + FPaintBox->Left(), Y + FPaintBox->Top());
}

TMainPanel* TSplitPanel::Host() const {
  const TWinControl* top = this;
  while (dynamic_cast<const TSplitPanel*>(top) != nullptr) top = top->Parent();
  return dynamic_cast<TMainPanel*>(const_cast<TWinControl*>(top));
}

std::vector<TControl*> TSplitPanel::Contents() const {
  std::vector<TControl*> contents;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c != FFirst && c != FSecond && c != FSplitter && c != FPaintBox) contents.push_back(c);
  }
  return contents;
}

TControl* TSplitPanel::Content() const {
  const std::vector<TControl*> contents = Contents();
  return contents.empty() ? nullptr : contents.back();
}

void TSplitPanel::InsertContent(TControl* AContent) {
  // One pixel in from the paint box on every side: the frame's ring.
  AContent->SetMargins({1, 1, 1, 1});
  AContent->SetParent(this);
}

void TSplitPanel::PaintBoxPaint(TObject* /*Sender*/) {
  if (FCurrentRef != nullptr && *FCurrentRef == this) DrawMarker(clRed);
}

void TSplitPanel::Split(TAlign AAlign, float ARatio) {
  FRatio = ARatio;

  FFirst = new TSplitPanel(Owner(), FCurrentRef);
  FFirst->SetParent(this);
  FFirst->SetAlign(AAlign);
  FFirst->SetText("AAA");
  FFirst->SetWidth(PaneShare(Width(), FRatio));
  // What this pane showed goes on showing in the half that becomes current.
  for (TControl* content : Contents()) FFirst->InsertContent(content);
  delete FPaintBox;
  FPaintBox = nullptr;

  AddSplitter(AAlign);

  FSecond = new TSplitPanel(Owner(), FCurrentRef);
  FSecond->SetParent(this);
  FSecond->SetAlign(alClient);
  FSecond->SetText("BBB");

  ResizeChildren();
}

void TSplitPanel::ResizeChildren() {
  if (FFirst == nullptr || FSplitter == nullptr) return;
  if (SplitsHeight())
    FFirst->SetHeight(PaneShare(Height(), FRatio));
  else
    FFirst->SetWidth(PaneShare(Width(), FRatio));
  FFirst->ResizeChildren();
  FSplitter->SetTop(FFirst->Top() + FFirst->Height());
  FSplitter->SetLeft(FFirst->Left() + FFirst->Width());
  if (FSecond != nullptr) FSecond->ResizeChildren();
}

void TSplitPanel::AddSplitter(TAlign AAlign) {
  FSplitter = new TSplitter(Owner());
  FSplitter->SetParent(this);
  FSplitter->SetAlign(AAlign);
  // At the first child's far edge, so the alignment keeps it after the child.
  FSplitter->SetTop(FFirst->Top() + FFirst->Height());
  FSplitter->SetLeft(FFirst->Left() + FFirst->Width());
  BindSplitter();
}

void TSplitPanel::BindSplitter() {
  FSplitter->OnCanResize = TCanResizeEvent(this, &TSplitPanel::SplitterCanResize);
  FSplitter->OnMoved = TNotifyEvent(this, &TSplitPanel::SplitterMoved);
  FSplitter->OnDblClick = TNotifyEvent(this, &TSplitPanel::SplitterDblClick);
  FSplitter->OnMouseDown = TMouseEvent(this, &TSplitPanel::SplitterMouseDown);
}

void TSplitPanel::SplitterMouseDown(TObject* /*Sender*/, TMouseButton /*Button*/,
                                    TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  // Each drag is a step of undo of its own.
  if (TMainPanel* host = Host()) host->EndRatioRun();
}

void TSplitPanel::SplitterMoved(TObject* /*Sender*/) {
  if (FFirst != nullptr) FFirst->ResizeChildren();
  if (FSecond != nullptr) FSecond->ResizeChildren();
  if (TMainPanel* host = Host()) {
    // Panes on either side may now lie elsewhere in the window.
    host->DescribePanes();
    host->Changed();
  }
}

void TSplitPanel::SplitterCanResize(TObject* /*Sender*/, int& NewSize, bool& /*Accept*/) {
  if (FSplitter == nullptr) return;
  const int extent = SplitsHeight() ? Height() : Width();
  if (extent <= 0) return;
  // The share that gives back the very pixel the drag reached: the plain
  // quotient can fall just below it and lose a pixel at the next layout.
  const float ratio = RatioFor(extent, NewSize);
  if (TMainPanel* host = Host()) host->RatioChanging(this, FRatio, ratio);
  FRatio = ratio;
}

void TSplitPanel::SplitterDblClick(TObject* /*Sender*/) { EvenHalves(); }

void TSplitPanel::DeletePane() {
  // Only a pane inside a split pane can go; the root's parent is the host.
  if (Parent() == nullptr || Parent()->ClassName() != "TSplitPanel") return;
  auto* parent = static_cast<TSplitPanel*>(Parent());

  delete FPaintBox;
  FPaintBox = nullptr;

  // With this pane's paint box gone, the tests can only pick the sibling.
  if (parent->FFirst != nullptr && parent->FFirst->FPaintBox != nullptr)
    parent->AdoptLeaf(parent->FFirst);
  else if (parent->FFirst != nullptr && parent->FFirst->FFirst != nullptr)
    parent->AdoptSplit(parent->FFirst);
  else if (parent->FSecond != nullptr && parent->FSecond->FPaintBox != nullptr)
    parent->AdoptLeaf(parent->FSecond);
  else if (parent->FSecond != nullptr && parent->FSecond->FFirst != nullptr)
    parent->AdoptSplit(parent->FSecond);
  // This pane is destroyed by now (or left alone); touch nothing of it.
}

void TSplitPanel::TakeContentsOf(TSplitPanel* ASibling) {
  // Whatever else the sibling shows (an editor, a grid) moves too, in its
  // stacking order and with its alignment, so the user loses nothing.
  for (TControl* c : ASibling->Contents()) InsertContent(c);
}

// Called on the parent: the sibling is a leaf; its paint box moves up and the
// parent becomes a leaf again.
void TSplitPanel::AdoptLeaf(TSplitPanel* ASibling) {
  TakeContentsOf(ASibling);
  FPaintBox = ASibling->FPaintBox;
  FPaintBox->SetParent(this);
  BindPaintBox();
  ASibling->FPaintBox = nullptr;

  *FCurrentRef = this;

  TSplitPanel* first = FFirst;
  TSplitPanel* second = FSecond;
  TSplitter* splitter = FSplitter;
  FFirst = nullptr;
  FSecond = nullptr;
  FSplitter = nullptr;
  delete first;
  delete second;
  delete splitter;
}

// Called on the parent: the sibling is split; its halves, splitter and ratio
// move up and the parent is divided the way the sibling was.
void TSplitPanel::AdoptSplit(TSplitPanel* ASibling) {
  TSplitPanel* oldFirst = FFirst;
  TSplitPanel* oldSecond = FSecond;
  TSplitter* oldSplitter = FSplitter;

  // Contents first: they lay under the sibling's halves and stay under them.
  TakeContentsOf(ASibling);
  TakeHalvesOf(ASibling);
  *FCurrentRef = FFirst;

  ASibling->FPaintBox = nullptr;
  delete oldFirst;
  delete oldSecond;
  delete oldSplitter;
}

void TSplitPanel::TakeHalvesOf(TSplitPanel* AFrom) {
  FFirst = AFrom->FFirst;
  FSecond = AFrom->FSecond;
  FSplitter = AFrom->FSplitter;
  FRatio = AFrom->FRatio;
  AFrom->FFirst = nullptr;
  AFrom->FSecond = nullptr;
  AFrom->FSplitter = nullptr;
  FFirst->SetParent(this);
  if (FSplitter != nullptr) {
    FSplitter->SetParent(this);
    // After the first half, so the alignment keeps it there.
    FSplitter->SetTop(FFirst->Top() + FFirst->Height());
    FSplitter->SetLeft(FFirst->Left() + FFirst->Width());
    FSplitter->SetAlign(FFirst->Align());
    BindSplitter();
  }
  if (FSecond != nullptr) FSecond->SetParent(this);
}

// --- TMainPanel -------------------------------------------------------------

TMainPanel::TMainPanel(TComponent* AOwner)
    : TWinControl(AOwner), FCurrent(nullptr), FRoot(nullptr) {
  FRoot = new TSplitPanel(AOwner, nullptr);
  FRoot->FCurrentRef = &FCurrent;
  FRoot->SetParent(this);
  FRoot->SetAlign(alClient);
  FRoot->SetText("BASEPANEL");
  FCurrent = FRoot;
  FPointerMove = new TPointerMove(this);
  FPointerMove->SetArea(this);
  FPointerMove->OnPickUp = TPickUpEvent(this, &TMainPanel::CarryPickUp);
  FPointerMove->OnOver = TDropTargetEvent(this, &TMainPanel::CarryOver);
  FPointerMove->OnDrop = TPointEvent(this, &TMainPanel::CarryDrop);
  FPointerMove->OnCancel = TNotifyEvent(this, &TMainPanel::CarryCancel);
}

TMainPanel::~TMainPanel() {
  FRebuilding = 1;  // nothing the going tree does is the user's
  FMoveMode = false;
  FHistory.Clear();
  delete FRoot;
}

TRebuilding::TRebuilding(TMainPanel* AHost) : FHost(AHost) {
  if (FHost->FRebuilding++ == 0) {
    Application->HideNote();
    FHost->FLeftZoom = false;
  }
}

void TMainPanel::MoveCurrentToLeaf() {
  // Splitting or removing a split pane would orphan or destroy the wrong panes.
  if (FCurrent == nullptr) return;
  while (FCurrent->FPaintBox == nullptr && FCurrent->FFirst != nullptr) FCurrent = FCurrent->FFirst;
}

void TMainPanel::SetCurrent(TSplitPanel* APane) {
  if (APane == nullptr) return;
  // A note is about the pane it was shown at; presses on a splitter from
  // another pane are a change of their own.
  if (APane != FCurrent) {
    Application->HideNote();
    EndRatioRun();
  }
  if (FCurrent != nullptr) FCurrent->DrawMarker(clWhite);
  FCurrent = APane;
  SettleCurrent();
}

void TMainPanel::SettleCurrent() {
  // A click elsewhere ends the move mode, keeping what it did.
  if (FMoveMode && FRebuilding == 0) EndMoveMode(true);
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  FCurrent->DrawMarker(clRed);
  FocusCurrent();
}

void TMainPanel::FocusCurrent() {
  auto* target = dynamic_cast<TWinControl*>(FCurrent->Content());
  if (target == nullptr || !target->Visible()) target = FCurrent;
  target->SetFocus();
}

void TMainPanel::AddContent(TSplitPanel* APane, TControl* AContent) {
  // Bound to the host, which outlives every pane: the pane is found from the
  // content's parent when an event comes, wherever the content has moved.
  AContent->OnMouseDown = TMouseEvent(this, &TMainPanel::ContentMouseDown);
  if (auto* windowed = dynamic_cast<TWinControl*>(AContent))
    windowed->OnEnter = TNotifyEvent(this, &TMainPanel::ContentEnter);
  if (auto* memo = dynamic_cast<TMemo*>(AContent))
    memo->OnChange = TNotifyEvent(this, &TMainPanel::ContentChange);
  if (auto* grid = dynamic_cast<TStringGrid*>(AContent))
    grid->OnChange = TNotifyEvent(this, &TMainPanel::ContentChange);
  APane->InsertContent(AContent);
}

void TMainPanel::Changed() { OnChange(this); }

void TMainPanel::ContentChange(TObject* Sender) {
  // What a command does to content is the command's change; what the user
  // does is told with the editor or grid it happened in.
  if (FRebuilding == 0) OnChange(Sender);
}

TWorkspace TMainPanel::Workspace() const {
  TWorkspace workspace;
  workspace.AreaWidth = Width();
  workspace.AreaHeight = Height();
  workspace.Panes = Snapshot(FRoot);
  // The current pane's place in the panes' order.
  std::vector<const TSplitPanel*> todo{FRoot};
  for (int index = 0; !todo.empty(); ++index) {
    const TSplitPanel* pane = todo.back();
    todo.pop_back();
    if (pane == FCurrent) {
      workspace.Current = index;
      break;
    }
    if (pane->FFirst != nullptr && pane->FSecond != nullptr) {
      todo.push_back(pane->FSecond);
      todo.push_back(pane->FFirst);
    }
  }
  return workspace;
}

bool TMainPanel::Open(const TWorkspace& AWorkspace, TProgress* AProgress) {
  if (AWorkspace.Panes.empty()) return true;
  TRebuilding rebuilding(this);
  // Built and laid out apart, at the size it will have, then shown in one
  // go: every widget placed while it shows costs Qt a walk up the tree.
  // The panes on the screen stay whole meanwhile: work stopped half way
  // (cancelled, or the program ending, which keeps them) leaves them be.
  auto* root = new TSplitPanel(Owner(), &FCurrent);
  root->SetText("BASEPANEL");
  root->SetBounds(0, 0, ClientWidth(), ClientHeight());
  // Qt takes a while to destroy thousands of nested widgets; when the
  // system ends the program, the panes never shown go with the window.
  auto stopped = [root] {
    if (!Application->Ending()) delete root;
    return false;
  };
  if (!Build(AWorkspace.Panes, root, this, AProgress)) return stopped();
  root->ResizeChildren();
  SyncPeers();
  if (AProgress != nullptr) {
    if (!AProgress->Step(static_cast<long>(AWorkspace.Panes.size()))) return stopped();
    // Qt places the new panes in one go; for thousands, that takes a while.
    const auto leaves = std::count_if(AWorkspace.Panes.begin(), AWorkspace.Panes.end(),
                                      [](const TPaneNode& ANode) { return ANode.Leaf; });
    AProgress->Finishing("Showing " + std::to_string(leaves) + " panes\u2026");
  }
  Unzoom();
  if (FMoveMode) EndMoveMode(true);
  FHistory.Clear();
  FCurrent = nullptr;
  delete FRoot;
  FRoot = root;
  FCurrent = FRoot;
  FRoot->SetAlign(alClient);
  FRoot->SetParent(this);
  std::vector<TSplitPanel*> todo{FRoot};
  for (int index = 0; !todo.empty(); ++index) {
    TSplitPanel* pane = todo.back();
    todo.pop_back();
    if (index == AWorkspace.Current) {
      FCurrent = pane;
      break;
    }
    if (pane->FFirst != nullptr && pane->FSecond != nullptr) {
      todo.push_back(pane->FSecond);
      todo.push_back(pane->FFirst);
    }
  }
  ResizePanes();
  // Shares the file gives may squeeze the current pane out of sight, where
  // it would take the keys unseen: the largest pane takes its place, and a
  // note says so. The shares stay as the file has them.
  const bool outOfSight = !InSight(FCurrent);
  if (outOfSight) {
    // (Of those in sight: a long thin pane may be larger than any of them
    // and still too thin for its frame.)
    TSplitPanel* largest = nullptr;
    for (std::vector<TSplitPanel*> leaves{FRoot}; !leaves.empty();) {
      TSplitPanel* pane = leaves.back();
      leaves.pop_back();
      if (pane->FFirst != nullptr && pane->FSecond != nullptr) {
        leaves.push_back(pane->FSecond);
        leaves.push_back(pane->FFirst);
      } else if (InSight(pane) &&
                 (largest == nullptr ||
                  pane->Width() * pane->Height() > largest->Width() * largest->Height())) {
        largest = pane;
      }
    }
    // A window too small for any pane to show keeps the file's.
    if (largest != nullptr) FCurrent = largest;
  }
  DescribePanes();
  SettleCurrent();
  if (outOfSight && InSight(FCurrent))
    Application->ShowNote(FCurrent,
                          "The current pane was too small to see; this one is current instead");
  return true;
}

bool TMainPanel::InSight(const TSplitPanel* APane) {
  // Its red frame round at least one pixel.
  return APane->FPaintBox != nullptr && APane->FPaintBox->Width() >= 3 &&
         APane->FPaintBox->Height() >= 3;
}

namespace {
// The pane of this tree that shows ASender, or null (content kept for an
// undo lies outside the window).
TSplitPanel* PaneOfContent(TObject* ASender, TSplitPanel** ACurrentRef) {
  const auto* content = dynamic_cast<TControl*>(ASender);
  auto* pane = content != nullptr ? dynamic_cast<TSplitPanel*>(content->Parent()) : nullptr;
  return pane != nullptr && pane->FCurrentRef == ACurrentRef ? pane : nullptr;
}
}  // namespace

void TMainPanel::ContentMouseDown(TObject* Sender, TMouseButton /*Button*/, TShiftState /*Shift*/,
                                  int /*X*/, int /*Y*/) {
  if (FRebuilding > 0) return;
  if (TSplitPanel* pane = PaneOfContent(Sender, &FCurrent)) SetCurrent(pane);
}

void TMainPanel::ContentEnter(TObject* Sender) {
  // Focus moved by a command is the command's; a click has made the pane
  // current already.
  if (FRebuilding > 0) return;
  TSplitPanel* pane = PaneOfContent(Sender, &FCurrent);
  // Content kept hidden for an undo can still be handed the keyboard late,
  // by a grid's delayed cell editor say; the keyboard goes back.
  if (pane == nullptr)
    FocusCurrent();
  else if (pane != FCurrent)
    SetCurrent(pane);
}

TControl* TMainPanel::PutContent(TContentKind AKind) {
  if (FCurrent == nullptr) return nullptr;
  TRebuilding rebuilding(this);
  MoveCurrentToLeaf();
  if (const TControl* existing = FCurrent->Content()) {
    // Never covers or replaces what the user has there.
    Application->ShowNote(FCurrent,
                          ContentKindOf(existing) == ckGrid ? "This pane already holds a grid"
                                                            : "This pane already holds an editor",
                          true);
    SettleCurrent();
    return nullptr;
  }
  TContentValue value;
  value.Kind = AKind;
  TControl* content = CreateContent(FCurrent->Owner(), value);
  if (content == nullptr) return nullptr;
  TLayoutEdit edit(this);
  TLayoutStep step{TLayoutStep::lsContent, PathOf(FCurrent)};
  step.Content = content;
  edit.Do(step);
  edit.Done(FCurrent, AKind == ckGrid ? "Grid added" : "Editor added");
  return content;
}

void TMainPanel::SplitCurrent(TAlign AAlign, float ARatio) {
  if (FCurrent == nullptr) return;
  TLayoutEdit edit(this);
  TPanePath second = PathOf(FCurrent);
  FCurrent->Split(AAlign, ARatio);
  // Taken back, the new half goes and the first gives the pane its content.
  second.push_back(true);
  edit.Did({TLayoutStep::lsRemove, second});
  edit.Done(FCurrent->FFirst != nullptr ? FCurrent->FFirst : FCurrent,
            AAlign == alTop || AAlign == alBottom ? "Split into top and bottom halves"
                                                  : "Split into left and right halves");
}

bool TMainPanel::RoomToSplit(const TSplitPanel* APane, TAlign AAlign, float ARatio) {
  const bool stacked = AAlign == alTop || AAlign == alBottom;
  const int extent = stacked ? APane->Height() : APane->Width();
  const int room =
      (stacked ? APane->ClientHeight() : APane->ClientWidth()) - TSplitter::DefaultThickness;
  const int first = PaneShare(extent, ARatio);
  return first >= TSplitter::DefaultMinSize && room - first >= TSplitter::DefaultMinSize;
}

void TMainPanel::SplitCurrentIfRoom(TAlign AAlign, float ARatio) {
  if (FCurrent == nullptr) return;
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  if (!RoomToSplit(FCurrent, AAlign, ARatio)) {
    Application->ShowNote(FCurrent, "No room to split this pane", true);
    SettleCurrent();
    return;
  }
  SplitCurrent(AAlign, ARatio);
}

void TMainPanel::ResizePanes() {
  // While zoomed the tree lies hidden; it is laid out when it shows again.
  if (FRoot == nullptr || FZoomed) return;
  FRoot->ResizeChildren();
}

void TMainPanel::DeleteCurrent() { RemoveCurrent(); }

void TMainPanel::RemoveCurrent() {
  TLayoutEdit edit(this);
  if (FCurrent == nullptr || FCurrent == FRoot) {
    edit.Done(FCurrent, "");
    Application->ShowNote(FCurrent, "The only pane stays: it fills the window", true);
    return;
  }
  // What the pane showed waits outside the window, where assistive
  // technology does not find it, until an undo brings it back.
  edit.Do({TLayoutStep::lsRemove, PathOf(FCurrent)});
  // The sibling's place: the removal made it current.
  edit.Done(FCurrent, "Pane deleted");
}

void TMainPanel::Notification(TComponent* AComponent, TOperation AOperation) {
  TWinControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove) FHistory.Forget(AComponent);
}
