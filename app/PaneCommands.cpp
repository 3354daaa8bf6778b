// What the keyboard adds to the pane tree: moving between panes, moving and
// evening out splitters, zoom, and undoing a removal. Pure tree geometry.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/SplitPanel.h"

namespace {

TSplitPanel* ParentPane(TSplitPanel* APane) { return dynamic_cast<TSplitPanel*>(APane->Parent()); }

bool IsLeaf(const TSplitPanel* APane) { return APane->FFirst == nullptr; }

// A pane's place in the host's coordinates.
TRect HostRect(TSplitPanel* APane) {
  int left = 0, top = 0;
  for (TControl* c = APane; c != nullptr && dynamic_cast<TMainPanel*>(c) == nullptr;
       c = c->Parent()) {
    left += c->Left();
    top += c->Top();
  }
  return {left, top, left + APane->Width(), top + APane->Height()};
}

void CollectLeaves(TSplitPanel* ARoot, std::vector<TSplitPanel*>& ALeaves) {
  std::vector<TSplitPanel*> todo{ARoot};
  while (!todo.empty()) {
    TSplitPanel* pane = todo.back();
    todo.pop_back();
    if (pane == nullptr) continue;
    if (IsLeaf(pane)) {
      ALeaves.push_back(pane);
      continue;
    }
    todo.push_back(pane->FSecond);
    todo.push_back(pane->FFirst);
  }
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
bool TowardsSecond(TPaneDirection ADirection) {
  return ADirection == pdRight || ADirection == pdDown;
}

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
    const int want =
        std::clamp(static_cast<int>(first.Members * member + first.Fixed), 0, std::max(0, extent));
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
    host->DescribeSplitter(this);
    host->SettleCurrent();
    host->Changed();
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
  TRebuilding rebuilding(this);
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
  if (across == nullptr) {  // the window's edge
    SettleCurrent();
    return;
  }
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
  SetCurrent(best != nullptr ? best : FCurrent);
}

void TMainPanel::SelectNext(bool AForward) {
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  std::vector<TSplitPanel*> leaves;
  CollectLeaves(FRoot, leaves);
  const auto it = std::find(leaves.begin(), leaves.end(), FCurrent);
  if (it == leaves.end()) return;
  const size_t count = leaves.size();
  const size_t index = static_cast<size_t>(it - leaves.begin());
  SetCurrent(leaves[(index + (AForward ? 1 : count - 1)) % count]);
}

void TMainPanel::MoveSplitter(TPaneDirection ADirection, int APixels) {
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  const bool sideBySide = SideBySide(ADirection);
  for (TSplitPanel* child = FCurrent; TSplitPanel* parent = ParentPane(child); child = parent) {
    if (parent->FSplitter == nullptr || parent->SplitsHeight() == sideBySide) continue;
    parent->FSplitter->MoveBy(TowardsSecond(ADirection) ? APixels : -APixels);
    break;
  }
  SettleCurrent();
}

void TMainPanel::EvenOut() {
  TRebuilding rebuilding(this);
  Unzoom();
  if (FRoot == nullptr) return;
  TEvener().Even(FRoot, FRoot->Width(), FRoot->Height());
  ResizePanes();
  DescribePanes();
  SettleCurrent();
  Changed();
}

void TMainPanel::ToggleZoom() {
  TRebuilding rebuilding(this);
  if (FZoomed) {
    Unzoom();
    SettleCurrent();
    return;
  }
  MoveCurrentToLeaf();
  if (FCurrent == nullptr || FCurrent == FRoot) return;
  // The pane moves onto the host, over the hidden tree, so it covers the
  // whole pane area whatever its depth; its tree fields stay as they are.
  FZoomPlace = PathOf(FCurrent);
  FZoomed = true;
  FCurrent->SetAlign(alClient);
  FCurrent->SetParent(this);
  FRoot->SetVisible(false);
  SettleCurrent();
}

void TMainPanel::Unzoom() {
  if (!FZoomed) return;
  FZoomed = false;
  TSplitPanel* zoomed = PaneAt(FRoot, FZoomPlace);
  TPanePath parentPlace = FZoomPlace;
  parentPlace.pop_back();
  TSplitPanel* parent = PaneAt(FRoot, parentPlace);
  zoomed->SetAlign(zoomed == parent->FFirst ? parent->FSplitter->Align() : alClient);
  zoomed->SetParent(parent);
  FRoot->SetVisible(true);
  ResizePanes();
}

namespace {
// Where a pane lies, in the words of the halves on the way to it; long ways
// are shortened, so a name stays short in a deep tree.
std::string PlaceName(const std::vector<const char*>& AWords) {
  if (AWords.empty()) return "whole window";
  std::string place;
  auto add = [&](const char* AWord) {
    if (!place.empty()) place += ' ';
    place += AWord;
  };
  const size_t n = AWords.size();
  if (n <= 6) {
    for (const char* word : AWords) add(word);
    return place;
  }
  for (size_t i = 0; i < 3; ++i) add(AWords[i]);
  add(("... " + std::to_string(n - 5) + " more ...").c_str());
  for (size_t i = n - 2; i < n; ++i) add(AWords[i]);
  return place;
}

const char* HalfWord(const TSplitPanel* AParent, const TSplitPanel* AChild) {
  const bool first = AParent->FFirst == AChild;
  if (AParent->SplitsHeight()) return first ? "top" : "bottom";
  return first ? "left" : "right";
}

std::string SplitterName(const TSplitPanel* APane, const std::string& APlace) {
  const bool stacked = APane->SplitsHeight();
  const long percent = std::lround(static_cast<double>(APane->FRatio) * 100.0);
  return std::string(stacked ? "Splitter between top and bottom halves"
                             : "Splitter between left and right halves") +
         (APlace == "whole window" ? "" : " of " + APlace) + (stacked ? ", top " : ", left ") +
         std::to_string(percent) + "%";
}
}  // namespace

void TMainPanel::DescribePanes() {
  if (FRoot == nullptr) return;
  std::vector<TSplitPanel*> leaves;
  CollectLeaves(FRoot, leaves);
  const std::string count = std::to_string(leaves.size());
  size_t index = 0;
  // Depth first, in tree order, with the words of the way down (taken from
  // the tree's fields: a zoomed pane lies on the host meanwhile).
  struct TItem {
    TSplitPanel* Pane;
    size_t Depth;
    const char* Word;
  };
  std::vector<TItem> todo{{FRoot, 0, nullptr}};
  std::vector<const char*> words;
  while (!todo.empty()) {
    const TItem item = todo.back();
    todo.pop_back();
    TSplitPanel* pane = item.Pane;
    words.resize(item.Depth > 0 ? item.Depth - 1 : 0);
    if (item.Word != nullptr) words.push_back(item.Word);
    const std::string place = PlaceName(words);
    if (!IsLeaf(pane) && pane->FSplitter != nullptr) {
      pane->SetAccessibleName(std::string(pane->SplitsHeight() ? "Top and bottom halves, "
                                                               : "Left and right halves, ") +
                              place);
      pane->FSplitter->SetAccessibleName(SplitterName(pane, place));
      todo.push_back({pane->FSecond, item.Depth + 1, HalfWord(pane, pane->FSecond)});
      todo.push_back({pane->FFirst, item.Depth + 1, HalfWord(pane, pane->FFirst)});
      continue;
    }
    const std::string number = std::to_string(++index) + " of " + count;
    TControl* content = pane->Content();
    const TContentKind kind = ContentKindOf(content);
    pane->SetAccessibleName("Pane " + number + ", " + place + ", " +
                            (kind == ckMemo   ? "editor"
                             : kind == ckGrid ? "grid"
                                              : "empty"));
    if (content != nullptr)
      content->SetAccessibleName(std::string(kind == ckGrid ? "Grid" : "Editor") + " in pane " +
                                 number + ", " + place);
  }
}

void TMainPanel::DescribeSplitter(TSplitPanel* APane) {
  if (APane->FSplitter == nullptr) return;
  std::vector<const char*> words;
  for (const TSplitPanel* child = APane;
       TSplitPanel* parent = ParentPane(const_cast<TSplitPanel*>(child)); child = parent)
    words.push_back(HalfWord(parent, child));
  std::reverse(words.begin(), words.end());
  APane->FSplitter->SetAccessibleName(SplitterName(APane, PlaceName(words)));
}
