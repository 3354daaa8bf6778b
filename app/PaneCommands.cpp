// What the keyboard adds to the pane tree: moving between panes, moving and
// evening out splitters, zoom, and undoing a removal. Pure tree geometry.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/SplitPanel.h"
#include "widgets/Application.h"

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
  const float ratio = RatioFor(stacked ? Height() : Width(), std::max(0, room) / 2);
  TMainPanel* host = Host();
  if (host == nullptr) {
    FRatio = ratio;
    ResizeChildren();
    return;
  }
  TLayoutEdit edit(host);
  TLayoutStep step{TLayoutStep::lsRatio, PathOf(this)};
  step.Ratio = ratio;
  edit.Do(step);
  edit.Done(host->FCurrent, "Halves evened out");
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
    keeper->TakeHalvesOf(this);
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

void TSplitPanel::Flip() {
  if (FFirst == nullptr || FSplitter == nullptr) return;
  const TAlign align = SplitsHeight() ? alLeft : alTop;
  FFirst->SetAlign(align);
  FSplitter->SetTop(FFirst->Top() + FFirst->Height());
  FSplitter->SetLeft(FFirst->Left() + FFirst->Width());
  FSplitter->SetAlign(align);
  ResizeChildren();
}

// --- TMainPanel ---------------------------------------------------------------

void TMainPanel::SelectNeighbour(TPaneDirection ADirection) {
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  TSplitPanel* best = Neighbour(FCurrent, ADirection);
  if (best == nullptr) {  // the window's edge
    Application->Announce(ADirection == pdLeft    ? "No pane to the left"
                          : ADirection == pdRight ? "No pane to the right"
                          : ADirection == pdUp    ? "No pane above"
                                                  : "No pane below");
    SettleCurrent();
    return;
  }
  SetCurrent(best);
  if (FLeftZoom) Tell("");  // the keys went on in the whole tree again
}

TSplitPanel* TMainPanel::Neighbour(TSplitPanel* APane, TPaneDirection ADirection) {
  const bool sideBySide = SideBySide(ADirection);
  const bool towardsSecond = TowardsSecond(ADirection);
  // The innermost split across which the move goes.
  TSplitPanel* across = nullptr;
  for (TSplitPanel* child = APane; TSplitPanel* parent = ParentPane(child); child = parent) {
    if (parent->FSplitter == nullptr || parent->SplitsHeight() == sideBySide) continue;
    if ((child == parent->FFirst) == towardsSecond) {
      across = towardsSecond ? parent->FSecond : parent->FFirst;
      break;
    }
  }
  if (across == nullptr) return nullptr;  // the window's edge
  std::vector<TSplitPanel*> candidates;
  EdgeLeaves(across, sideBySide, towardsSecond, candidates);
  const TRect here = HostRect(APane);
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
  return best;
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
  if (count == 1) Application->Announce("This is the only pane");
  SetCurrent(leaves[(index + (AForward ? 1 : count - 1)) % count]);
  if (FLeftZoom) Tell("");
}

void TMainPanel::MoveSplitter(TPaneDirection ADirection, int APixels) {
  TRebuilding rebuilding(this);
  Unzoom();
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  const bool sideBySide = SideBySide(ADirection);
  TSplitPanel* moved = nullptr;
  for (TSplitPanel* child = FCurrent; TSplitPanel* parent = ParentPane(child); child = parent) {
    if (parent->FSplitter == nullptr || parent->SplitsHeight() == sideBySide) continue;
    // Presses in a row on one splitter are one step of undo.
    if (FRatioRun.Pane != parent || !FRatioRun.ByKeys) EndRatioRun();
    FRatioByKeys = true;
    parent->FSplitter->MoveBy(TowardsSecond(ADirection) ? APixels : -APixels);
    FRatioByKeys = false;
    moved = parent;
    break;
  }
  // What a sighted user sees move, said: the first half's new share.
  if (moved != nullptr)
    Application->Announce(
        std::string(FLeftZoom ? "Zoom off. " : "") + (moved->SplitsHeight() ? "top " : "left ") +
        std::to_string(std::lround(static_cast<double>(moved->FRatio) * 100.0)) + " %");
  else
    Application->Announce(sideBySide ? "No splitter to move left or right here"
                                     : "No splitter to move up or down here");
  SettleCurrent();
}

void TMainPanel::EvenOut() {
  if (FRoot == nullptr) return;
  TLayoutEdit edit(this);
  std::vector<std::pair<TSplitPanel*, float>> before;
  for (std::vector<TSplitPanel*> todo{FRoot}; !todo.empty();) {
    TSplitPanel* pane = todo.back();
    todo.pop_back();
    if (IsLeaf(pane)) continue;
    before.emplace_back(pane, pane->FRatio);
    todo.push_back(pane->FSecond);
    todo.push_back(pane->FFirst);
  }
  TEvener().Even(FRoot, FRoot->Width(), FRoot->Height());
  ResizePanes();
  for (const auto& [pane, ratio] : before) {
    if (pane->FRatio == ratio) continue;
    TLayoutStep step{TLayoutStep::lsRatio, PathOf(pane)};
    step.Ratio = ratio;
    edit.Did(step);
  }
  edit.Done(FCurrent, "Evened out");
}

void TMainPanel::ToggleZoom() {
  TRebuilding rebuilding(this);
  if (FZoomed) {
    Unzoom();
    FLeftZoom = false;  // said below
    SettleCurrent();
    Tell("Zoom off");
    return;
  }
  MoveCurrentToLeaf();
  if (FCurrent == nullptr) return;
  if (FCurrent == FRoot) {
    Application->Announce("Nothing to zoom: this pane fills the window");
    return;
  }
  // The pane moves onto the host, over the hidden tree, so it covers the
  // whole pane area whatever its depth; its tree fields stay as they are.
  FZoomPlace = PathOf(FCurrent);
  FZoomed = true;
  FCurrent->SetAlign(alClient);
  FCurrent->SetParent(this);
  FRoot->SetVisible(false);
  DescribePanes();
  SettleCurrent();
  Tell("Zoomed");
}

void TMainPanel::Unzoom() {
  if (!FZoomed) return;
  FZoomed = false;
  FLeftZoom = true;
  TSplitPanel* zoomed = PaneAt(FRoot, FZoomPlace);
  TPanePath parentPlace = FZoomPlace;
  parentPlace.pop_back();
  TSplitPanel* parent = PaneAt(FRoot, parentPlace);
  zoomed->SetAlign(zoomed == parent->FFirst ? parent->FSplitter->Align() : alClient);
  zoomed->SetParent(parent);
  FRoot->SetVisible(true);
  ResizePanes();
  DescribePanes();
}

namespace {
// Which edges of the pane area a pane reaches: at each split on its way
// down, the first half keeps the edge before the splitter, the second the
// edge after it.
struct TEdges {
  bool Left = true, Right = true, Top = true, Bottom = true;
  TEdges Half(bool AStacked, bool AFirst) const {
    TEdges half = *this;
    if (AStacked)
      (AFirst ? half.Bottom : half.Top) = false;
    else
      (AFirst ? half.Right : half.Left) = false;
    return half;
  }
};

// A pane's part of the pane area along each axis, from the shares on its
// way down (so it does not change with the window's size).
struct TShare {
  double Left = 0, Right = 1, Top = 0, Bottom = 1;
  TShare Half(bool AStacked, bool AFirst, double ARatio) const {
    TShare half = *this;
    if (AStacked)
      (AFirst ? half.Bottom : half.Top) = Top + (Bottom - Top) * ARatio;
    else
      (AFirst ? half.Right : half.Left) = Left + (Right - Left) * ARatio;
    return half;
  }
};

// Where a pane lies in the pane area, in a word or two, however deep it is:
// along each axis the edge it reaches (none if both, being the whole width
// or height), or the third its middle lies in if it reaches neither.
std::string PlaceName(const TShare& APart, const TEdges& AEdges) {
  auto word = [](bool AAtStart, bool AAtEnd, double AFrom, double ATo, const char* AStart,
                 const char* AMiddle, const char* AEnd) -> const char* {
    if (AAtStart && AAtEnd) return nullptr;
    if (AAtStart) return AStart;
    if (AAtEnd) return AEnd;
    const double middle = (AFrom + ATo) / 2;
    return middle < 1.0 / 3 ? AStart : middle > 2.0 / 3 ? AEnd : AMiddle;
  };
  const char* across =
      word(AEdges.Left, AEdges.Right, APart.Left, APart.Right, "left", "centre", "right");
  const char* down =
      word(AEdges.Top, AEdges.Bottom, APart.Top, APart.Bottom, "top", "middle", "bottom");
  if (across == nullptr && down == nullptr) return "whole window";
  if (down == nullptr) return across;
  if (across == nullptr) return down;
  const std::string both = std::string(down) + " " + across;
  return both == "middle centre" ? "centre" : both;
}

// A leaf's name: its number, where it is and what it holds.
std::string LeafName(size_t AIndex, const std::string& ACount, bool AZoomed, const TShare& APart,
                     const TEdges& AEdges, TContentKind AKind) {
  return "Pane " + std::to_string(AIndex) + " of " + ACount + ", " +
         (AZoomed ? std::string("zoomed") : PlaceName(APart, AEdges)) + ", " +
         (AKind == ckMemo   ? "editor"
          : AKind == ckGrid ? "grid"
                            : "empty");
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
  // Nobody listening: the names wait until something asks for them.
  if (!Application->AssistiveTechnologyListening()) {
    FNamesStale = true;
    return;
  }
  NamePanes();
}

void TMainPanel::EnsureNames() {
  if (FNamesStale) NamePanes();
}

std::string TMainPanel::NameOf(const TSplitPanel* ALeaf) const {
  if (!FNamesStale) return ALeaf->AccessibleName();
  std::vector<TSplitPanel*> leaves;
  CollectLeaves(FRoot, leaves);
  const auto index = std::find(leaves.begin(), leaves.end(), ALeaf) - leaves.begin() + 1;
  TShare part;
  TEdges edges;
  const TSplitPanel* pane = FRoot;
  for (const bool second : PlaceOf(ALeaf)) {
    if (pane == nullptr || IsLeaf(pane)) break;
    const bool stacked = pane->SplitsHeight();
    part = part.Half(stacked, !second, pane->FRatio);
    edges = edges.Half(stacked, !second);
    pane = second ? pane->FSecond : pane->FFirst;
  }
  return LeafName(static_cast<size_t>(index), std::to_string(leaves.size()),
                  FZoomed && ALeaf == FCurrent, part, edges, ContentKindOf(ALeaf->Content()));
}

void TMainPanel::NamePanes() {
  FNamesStale = false;
  if (FRoot == nullptr) return;
  std::vector<TSplitPanel*> leaves;
  CollectLeaves(FRoot, leaves);
  const std::string count = std::to_string(leaves.size());
  size_t index = 0;
  // Depth first, in tree order, each pane's place from the shares on its
  // way down (the tree's fields: a zoomed pane lies on the host meanwhile).
  struct TItem {
    TSplitPanel* Pane;
    TShare Part;
    TEdges Edges;
  };
  std::vector<TItem> todo{{FRoot, TShare(), TEdges()}};
  while (!todo.empty()) {
    const TItem item = todo.back();
    todo.pop_back();
    TSplitPanel* pane = item.Pane;
    if (!IsLeaf(pane) && pane->FSplitter != nullptr) {
      // A split pane is only a frame for its halves: unnamed, a screen
      // reader passes over it; its splitter says what it divides.
      pane->SetAccessibleName("");
      pane->FSplitter->SetAccessibleName(SplitterName(pane, PlaceName(item.Part, item.Edges)));
      const bool stacked = pane->SplitsHeight();
      const double ratio = pane->FRatio;
      todo.push_back(
          {pane->FSecond, item.Part.Half(stacked, false, ratio), item.Edges.Half(stacked, false)});
      todo.push_back(
          {pane->FFirst, item.Part.Half(stacked, true, ratio), item.Edges.Half(stacked, true)});
      continue;
    }
    TControl* content = pane->Content();
    const TContentKind kind = ContentKindOf(content);
    const bool zoomed = FZoomed && pane == FCurrent;
    const std::string name = LeafName(++index, count, zoomed, item.Part, item.Edges, kind);
    pane->SetAccessibleName(name);
    // The editor or grid has its pane's name: read once, not twice.
    if (content != nullptr) content->SetAccessibleName(name);
  }
}

void TMainPanel::Tell(const std::string& AWhat) {
  std::string text = FLeftZoom ? "Zoom off. " : "";
  FLeftZoom = false;
  if (!AWhat.empty()) text += AWhat + ". ";
  if (FCurrent != nullptr) text += NameOf(FCurrent);
  Application->Announce(text);
}
