#include "app/SplitPanel.h"

#include <cmath>
#include <limits>
#include <vector>

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

// --- TSplitPanel ------------------------------------------------------------

TSplitPanel::TSplitPanel(TComponent* AOwner, TSplitPanel** ACurrentRef)
    : TPanel(AOwner),
      FCurrentRef(ACurrentRef),
      FFirst(nullptr),
      FSecond(nullptr),
      FSplitter(nullptr),
      FPaintBox(nullptr),
      FRatio(0.0f) {
  SetText("AAA");
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

void TSplitPanel::PaintBoxMouseDown(TObject* /*Sender*/, TMouseButton /*Button*/,
                                    TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  MakeCurrent();
}

void TSplitPanel::MakeCurrent() {
  if (FCurrentRef == nullptr) return;
  if (*FCurrentRef != nullptr) (*FCurrentRef)->DrawMarker(clWhite);
  *FCurrentRef = this;
  DrawMarker(clRed);
  // Which pane is current is part of every leaf's accessible name.
  if (TMainPanel* host = Host()) host->DescribePanes();
}

TMainPanel* TSplitPanel::Host() const {
  const TWinControl* top = this;
  while (dynamic_cast<const TSplitPanel*>(top) != nullptr) top = top->Parent();
  return dynamic_cast<TMainPanel*>(const_cast<TWinControl*>(top));
}

void TSplitPanel::ContentMouseDown(TObject* /*Sender*/, TMouseButton /*Button*/,
                                   TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  MakeCurrent();
}

void TSplitPanel::ContentEnter(TObject* /*Sender*/) {
  // A click into the content has made the pane current already.
  if (FCurrentRef != nullptr && *FCurrentRef != this) MakeCurrent();
}

std::vector<TControl*> TSplitPanel::Contents() const {
  std::vector<TControl*> contents;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c != FFirst && c != FSecond && c != FSplitter && c != FPaintBox) contents.push_back(c);
  }
  return contents;
}

void TSplitPanel::InsertContent(TControl* AContent) {
  // One pixel in from the paint box on every side: the frame's ring.
  AContent->SetMargins({1, 1, 1, 1});
  AContent->SetParent(this);
  AContent->OnMouseDown = TMouseEvent(this, &TSplitPanel::ContentMouseDown);
  if (auto* windowed = dynamic_cast<TWinControl*>(AContent))
    windowed->OnEnter = TNotifyEvent(this, &TSplitPanel::ContentEnter);
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
}

void TSplitPanel::SplitterMoved(TObject* /*Sender*/) {
  if (FFirst != nullptr) FFirst->ResizeChildren();
  if (FSecond != nullptr) FSecond->ResizeChildren();
  if (TMainPanel* host = Host()) host->DescribeSplitter(this);
}

void TSplitPanel::SplitterCanResize(TObject* /*Sender*/, int& NewSize, bool& /*Accept*/) {
  if (FSplitter == nullptr) return;
  const int extent = SplitsHeight() ? Height() : Width();
  if (extent <= 0) return;
  FRatio = static_cast<float>(static_cast<double>(NewSize) / static_cast<double>(extent));
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

  FFirst = ASibling->FFirst;
  FFirst->SetParent(this);
  FSecond = ASibling->FSecond;
  if (FSecond != nullptr) FSecond->SetParent(this);
  FSplitter = ASibling->FSplitter;
  FRatio = ASibling->FRatio;
  if (FSplitter != nullptr) {
    FSplitter->SetParent(this);
    FSplitter->SetTop(FFirst->Top() + FFirst->Height());
    FSplitter->SetLeft(FFirst->Left() + FFirst->Width());
    FSplitter->SetAlign(FFirst->Align());
    BindSplitter();
  }

  *FCurrentRef = FFirst;

  ASibling->FFirst = nullptr;
  ASibling->FSecond = nullptr;
  ASibling->FSplitter = nullptr;
  ASibling->FPaintBox = nullptr;
  delete oldFirst;
  delete oldSecond;
  delete oldSplitter;
}

// --- TMainPanel -------------------------------------------------------------

TMainPanel::TMainPanel(TComponent* AOwner) : TWinControl(AOwner), FCurrent(nullptr), FRoot(nullptr) {
  FRoot = new TSplitPanel(AOwner, nullptr);
  FRoot->FCurrentRef = &FCurrent;
  FRoot->SetParent(this);
  FRoot->SetAlign(alClient);
  FRoot->SetText("BASEPANEL");
  FCurrent = FRoot;
}

TMainPanel::~TMainPanel() {
  ForgetUndo();
  delete FRoot;
}

void TMainPanel::MoveCurrentToLeaf() {
  // Splitting or removing a split pane would orphan or destroy the wrong panes.
  if (FCurrent == nullptr) return;
  while (FCurrent->FPaintBox == nullptr && FCurrent->FFirst != nullptr) FCurrent = FCurrent->FFirst;
}

void TMainPanel::MarkCurrent() {
  MoveCurrentToLeaf();
  if (FCurrent != nullptr) FCurrent->DrawMarker(clRed);
}

void TMainPanel::SplitCurrent(TAlign AAlign, float ARatio) {
  if (FCurrent == nullptr) return;
  Unzoom();
  ForgetUndo();
  MoveCurrentToLeaf();
  FCurrent->Split(AAlign, ARatio);
  if (FCurrent->FFirst != nullptr) {
    FCurrent = FCurrent->FFirst;
    FCurrent->DrawMarker(clRed);
  }
  DescribePanes();
}

void TMainPanel::ResizePanes() {
  if (FRoot == nullptr) return;
  if (FZoomed != nullptr) FZoomRelayout = true;
  FRoot->ResizeChildren();
}

void TMainPanel::DeleteCurrent() {
  Unzoom();
  if (FCurrent != nullptr) {
    MoveCurrentToLeaf();
    TSplitPanel* removed = FCurrent;
    auto* parent = dynamic_cast<TSplitPanel*>(removed->Parent());
    if (parent != nullptr && parent->FSplitter != nullptr && removed != FRoot) {
      // Keep what an undo needs: where the pane was and what it showed.
      ForgetUndo();
      TSplitPanel* sibling = parent->FFirst == removed ? parent->FSecond : parent->FFirst;
      FUndo.Parent = parent;
      FUndo.Direction = parent->FSplitter->Align();
      FUndo.Ratio = parent->FRatio;
      FUndo.WasFirst = parent->FFirst == removed;
      FUndo.RemovedRatio = removed->FRatio;
      FUndo.SiblingRatio = sibling != nullptr ? sibling->FRatio : 0.0f;
      FUndo.Contents = removed->Contents();
      for (TControl* content : FUndo.Contents) {
        content->SetVisible(false);
        content->SetParent(this);
        content->FreeNotification(this);
      }
    }
    removed->DeletePane();
  }
  ResizePanes();
  // A split pane may be left current; the user's anchor is a framed leaf.
  MarkCurrent();
  DescribePanes();
}
