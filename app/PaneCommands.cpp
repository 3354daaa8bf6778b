// What the keyboard adds to the pane tree: moving between panes, moving and
// evening out splitters, zoom, and undoing a removal. Pure tree geometry.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/SplitPanel.h"

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

namespace {

TSplitPanel* ParentPane(TSplitPanel* APane) { return dynamic_cast<TSplitPanel*>(APane->Parent()); }

bool IsLeaf(const TSplitPanel* APane) { return APane->FFirst == nullptr; }

// A pane's place in the host's coordinates.
TRect HostRect(TSplitPanel* APane) {
  int left = 0, top = 0;
  for (TControl* c = APane; c != nullptr && dynamic_cast<TMainPanel*>(c) == nullptr; c = c->Parent()) {
    left += c->Left();
    top += c->Top();
  }
  return {left, top, left + APane->Width(), top + APane->Height()};
}

void CollectLeaves(TSplitPanel* APane, std::vector<TSplitPanel*>& ALeaves) {
  if (APane == nullptr) return;
  if (IsLeaf(APane)) {
    ALeaves.push_back(APane);
    return;
  }
  CollectLeaves(APane->FFirst, ALeaves);
  CollectLeaves(APane->FSecond, ALeaves);
}

// The leaves of APane along its edge that faces the way we came from: a
// split along the same axis contributes only its half on that side.
void EdgeLeaves(TSplitPanel* APane, bool ASideBySide, bool AFirstSide,
                std::vector<TSplitPanel*>& ALeaves) {
  if (APane == nullptr) return;
  if (IsLeaf(APane)) {
    ALeaves.push_back(APane);
    return;
  }
  if (APane->SplitsHeight() != ASideBySide) {
    EdgeLeaves(AFirstSide ? APane->FFirst : APane->FSecond, ASideBySide, AFirstSide, ALeaves);
    return;
  }
  EdgeLeaves(APane->FFirst, ASideBySide, AFirstSide, ALeaves);
  EdgeLeaves(APane->FSecond, ASideBySide, AFirstSide, ALeaves);
}

bool SideBySide(TPaneDirection ADirection) { return ADirection == pdLeft || ADirection == pdRight; }
bool TowardsSecond(TPaneDirection ADirection) { return ADirection == pdRight || ADirection == pdDown; }

int SplitterThickness(const TSplitPanel* APane) {
  return APane->SplitsHeight() ? APane->FSplitter->Height() : APane->FSplitter->Width();
}

// How much room a pane needs along one axis when each pane of its row (or
// column) is M wide: Members * M + Fixed, splitters and bevels being fixed.
struct TNeed {
  double Members = 1;
  double Fixed = 0;
};

class TEvener {
 public:
  void Even(TSplitPanel* APane, int AWidth, int AHeight) {
    if (IsLeaf(APane) || APane->FSplitter == nullptr) return;
    const bool sideBySide = !APane->SplitsHeight();
    const int extent = sideBySide ? AWidth : AHeight;
    const TNeed whole = Need(APane, sideBySide);
    const TNeed first = Need(APane->FFirst, sideBySide);
    const double member = (extent - whole.Fixed) / whole.Members;
    const int want = std::clamp(static_cast<int>(first.Members * member + first.Fixed), 0,
                                std::max(0, extent));
    APane->FRatio = RatioFor(extent, want);
    const int bevels = 2 * APane->BevelWidth();
    const int firstSize = std::max(0, PaneShare(extent, APane->FRatio));
    const int secondSize = std::max(0, extent - bevels - firstSize - SplitterThickness(APane));
    if (sideBySide) {
      Even(APane->FFirst, firstSize, AHeight - bevels);
      Even(APane->FSecond, secondSize, AHeight - bevels);
    } else {
      Even(APane->FFirst, AWidth - bevels, firstSize);
      Even(APane->FSecond, AWidth - bevels, secondSize);
    }
  }

 private:
  TNeed Need(TSplitPanel* APane, bool ASideBySide) {
    if (IsLeaf(APane) || APane->FSplitter == nullptr || APane->SplitsHeight() == ASideBySide)
      return {};
    auto& cache = ASideBySide ? FWidths : FHeights;
    if (auto it = cache.find(APane); it != cache.end()) return it->second;
    const TNeed a = Need(APane->FFirst, ASideBySide);
    const TNeed b = Need(APane->FSecond, ASideBySide);
    const TNeed need{a.Members + b.Members,
                     a.Fixed + b.Fixed + SplitterThickness(APane) + 2 * APane->BevelWidth()};
    cache[APane] = need;
    return need;
  }
  std::unordered_map<const TSplitPanel*, TNeed> FWidths, FHeights;
};

}  // namespace

// --- TSplitPanel ------------------------------------------------------------

void TSplitPanel::EvenHalves() {
  if (FFirst == nullptr || FSplitter == nullptr) return;
  const bool stacked = SplitsHeight();
  const int room = (stacked ? ClientHeight() : ClientWidth()) - SplitterThickness(this);
  FRatio = RatioFor(stacked ? Height() : Width(), std::max(0, room) / 2);
  ResizeChildren();
  if (TMainPanel* host = Host()) {
    host->MarkCurrent();
    host->DescribePanes();
  }
}

TSplitPanel* TSplitPanel::SplitAround(TAlign AAlign, float ARatio, bool ANewFirst) {
  auto* keeper = new TSplitPanel(Owner(), FCurrentRef);
  auto* fresh = new TSplitPanel(Owner(), FCurrentRef);
  keeper->SetText(ANewFirst ? "BBB" : "AAA");
  fresh->SetText(ANewFirst ? "AAA" : "BBB");
  // The keeper takes over whatever this pane shows: content, or two halves.
  for (TControl* content : Contents()) keeper->InsertContent(content);
  if (FPaintBox != nullptr) {
    delete FPaintBox;
    FPaintBox = nullptr;
  } else {
    delete keeper->FPaintBox;
    keeper->FPaintBox = nullptr;
    keeper->FFirst = FFirst;
    keeper->FSecond = FSecond;
    keeper->FSplitter = FSplitter;
    keeper->FRatio = FRatio;
    keeper->FFirst->SetParent(keeper);
    keeper->FSplitter->SetParent(keeper);
    keeper->FSplitter->SetTop(keeper->FFirst->Top() + keeper->FFirst->Height());
    keeper->FSplitter->SetLeft(keeper->FFirst->Left() + keeper->FFirst->Width());
    keeper->FSplitter->SetAlign(keeper->FFirst->Align());
    keeper->BindSplitter();
    keeper->FSecond->SetParent(keeper);
  }
  FRatio = ARatio;
  FFirst = ANewFirst ? fresh : keeper;
  FSecond = ANewFirst ? keeper : fresh;
  FFirst->SetParent(this);
  FFirst->SetAlign(AAlign);
  AddSplitter(AAlign);
  FSecond->SetParent(this);
  FSecond->SetAlign(alClient);
  ResizeChildren();
  return fresh;
}

// --- TMainPanel ---------------------------------------------------------------

void TMainPanel::SelectNeighbour(TPaneDirection ADirection) {
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  const bool sideBySide = SideBySide(ADirection);
  const bool towardsSecond = TowardsSecond(ADirection);
  // The innermost split across which the move goes.
  TSplitPanel* across = nullptr;
  for (TSplitPanel* child = FCurrent; TSplitPanel* parent = ParentPane(child); child = parent) {
    if (parent->FSplitter == nullptr || parent->SplitsHeight() == sideBySide) continue;
    if ((child == parent->FFirst) == towardsSecond) {
      across = towardsSecond ? parent->FSecond : parent->FFirst;
      break;
    }
  }
  if (across == nullptr) return;  // the window's edge
  std::vector<TSplitPanel*> candidates;
  EdgeLeaves(across, sideBySide, towardsSecond, candidates);
  const TRect here = HostRect(FCurrent);
  const int hereFrom = sideBySide ? here.Top : here.Left;
  const int hereTo = sideBySide ? here.Bottom : here.Right;
  TSplitPanel* best = nullptr;
  int bestOverlap = 0, bestDistance = 0;
  for (TSplitPanel* leaf : candidates) {
    const TRect r = HostRect(leaf);
    const int from = sideBySide ? r.Top : r.Left, to = sideBySide ? r.Bottom : r.Right;
    const int overlap = std::min(to, hereTo) - std::max(from, hereFrom);
    const int distance = std::abs((from + to) - (hereFrom + hereTo));
    if (best == nullptr || overlap > bestOverlap ||
        (overlap == bestOverlap && distance < bestDistance)) {
      best = leaf;
      bestOverlap = overlap;
      bestDistance = distance;
    }
  }
  if (best != nullptr) best->MakeCurrent();
}

void TMainPanel::SelectNext(bool AForward) {
  Unzoom();
  MoveCurrentToLeaf();
  std::vector<TSplitPanel*> leaves;
  CollectLeaves(FRoot, leaves);
  const auto it = std::find(leaves.begin(), leaves.end(), FCurrent);
  if (it == leaves.end()) return;
  const size_t count = leaves.size();
  const size_t index = static_cast<size_t>(it - leaves.begin());
  leaves[(index + (AForward ? 1 : count - 1)) % count]->MakeCurrent();
}

void TMainPanel::MoveSplitter(TPaneDirection ADirection, int APixels) {
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  const bool sideBySide = SideBySide(ADirection);
  for (TSplitPanel* child = FCurrent; TSplitPanel* parent = ParentPane(child); child = parent) {
    if (parent->FSplitter == nullptr || parent->SplitsHeight() == sideBySide) continue;
    parent->FSplitter->MoveBy(TowardsSecond(ADirection) ? APixels : -APixels);
    break;
  }
  MarkCurrent();
  DescribePanes();
}

void TMainPanel::EvenOut() {
  Unzoom();
  if (FRoot == nullptr) return;
  TEvener().Even(FRoot, FRoot->Width(), FRoot->Height());
  ResizePanes();
  MarkCurrent();
  DescribePanes();
}

void TMainPanel::ToggleZoom() {
  if (FZoomed != nullptr) {
    Unzoom();
    return;
  }
  MoveCurrentToLeaf();
  if (FCurrent == nullptr || FCurrent == FRoot) return;
  FZoomed = FCurrent;
  FZoomSizes.clear();
  FZoomRelayout = false;
  // Every pane off the way from the root to the current one steps aside;
  // the sizes it leaves are kept, to come back to exactly.
  for (TSplitPanel* child = FZoomed; TSplitPanel* parent = ParentPane(child); child = parent) {
    FZoomSizes.push_back(parent->SplitsHeight() ? child->Height() : child->Width());
    (child == parent->FFirst ? parent->FSecond : parent->FFirst)->SetVisible(false);
    parent->FSplitter->SetVisible(false);
    if (child == parent->FFirst) child->SetAlign(alClient);
  }
  MarkCurrent();
}

void TMainPanel::Unzoom() {
  if (FZoomed == nullptr) return;
  size_t level = 0;
  for (TSplitPanel* child = FZoomed; TSplitPanel* parent = ParentPane(child);
       child = parent, ++level) {
    if (child == parent->FFirst) {
      child->SetAlign(parent->FSplitter->Align());
      if (parent->SplitsHeight())
        child->SetHeight(FZoomSizes[level]);
      else
        child->SetWidth(FZoomSizes[level]);
    }
    parent->FSplitter->SetVisible(true);
    (child == parent->FFirst ? parent->FSecond : parent->FFirst)->SetVisible(true);
  }
  FZoomed = nullptr;
  if (FZoomRelayout) ResizePanes();
  MarkCurrent();
}

void TMainPanel::UndoDelete() {
  if (!CanUndo()) return;
  Unzoom();
  TRemoval undo = std::move(FUndo);
  FUndo = TRemoval();
  TSplitPanel* back = undo.Parent->SplitAround(undo.Direction, undo.Ratio, undo.WasFirst);
  back->FRatio = undo.RemovedRatio;
  (undo.WasFirst ? undo.Parent->FSecond : undo.Parent->FFirst)->FRatio = undo.SiblingRatio;
  for (TControl* content : undo.Contents) {
    back->InsertContent(content);
    content->SetVisible(true);
  }
  ResizePanes();
  back->MakeCurrent();
}

void TMainPanel::ForgetUndo() {
  std::vector<TControl*> contents = std::move(FUndo.Contents);
  FUndo = TRemoval();
  for (TControl* content : contents) delete content;
}

void TMainPanel::Notification(TComponent* AComponent, TOperation AOperation) {
  TWinControl::Notification(AComponent, AOperation);
  if (AOperation != opRemove) return;
  auto& kept = FUndo.Contents;
  kept.erase(std::remove(kept.begin(), kept.end(), AComponent), kept.end());
}

void TMainPanel::DescribePanes() {
  std::vector<TSplitPanel*> leaves;
  CollectLeaves(FRoot, leaves);
  const std::string count = std::to_string(leaves.size());
  for (size_t i = 0; i < leaves.size(); ++i) {
    TSplitPanel* leaf = leaves[i];
    leaf->SetAccessibleName("Pane " + std::to_string(i + 1) + " of " + count +
                            (leaf == FCurrent ? ", current" : ""));
    // The split above says how it divides its pane.
    TSplitPanel* parent = ParentPane(leaf);
    for (TSplitPanel* child = leaf; parent != nullptr && child == parent->FSecond;
         child = parent, parent = ParentPane(parent))
      DescribeSplitter(parent);
  }
}

void TMainPanel::DescribeSplitter(TSplitPanel* APane) {
  if (APane->FSplitter == nullptr) return;
  const bool stacked = APane->SplitsHeight();
  const long percent = std::lround(static_cast<double>(APane->FRatio) * 100.0);
  APane->FSplitter->SetAccessibleName(
      std::string(stacked ? "Splitter between top and bottom halves, top "
                          : "Splitter between left and right halves, left ") +
      std::to_string(percent) + "%");
}
