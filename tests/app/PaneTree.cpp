#include "tests/app/PaneTree.h"

#include <cmath>
#include <functional>
#include <sstream>

namespace pane_tree {

namespace {
bool Stacked(const TSplitPanel* APane) {
  return APane->FSplitter != nullptr &&
         (APane->FSplitter->Align() == alTop || APane->FSplitter->Align() == alBottom);
}

void DumpPane(const TSplitPanel* APane, const TSplitPanel* ACurrent, std::ostringstream& AOut) {
  if (APane == nullptr) {
    AOut << "<null>";
    return;
  }
  if (APane->FFirst != nullptr || APane->FSecond != nullptr) {
    AOut << "[";
    DumpPane(APane->FFirst, ACurrent, AOut);
    AOut << (Stacked(APane) ? " / " : " | ");
    DumpPane(APane->FSecond, ACurrent, AOut);
    AOut << "]";
    if (APane == ACurrent) AOut << "*";
    return;
  }
  AOut << APane->Text();
  if (APane == ACurrent) AOut << "*";
  const int extra = APane->ControlCount() - (APane->FPaintBox != nullptr ? 1 : 0);
  if (extra > 0) AOut << "+" << extra;
}

// The edges of the pane area a pane reaches: left, right, top, bottom.
struct TReach {
  bool L = true, R = true, T = true, B = true;
};

// The names a described tree has: leaves numbered in tree order, each with
// the edge it reaches or the third of the area (in shares) its middle lies in, and its editor or
// grid named as the pane; split panes unnamed, their splitters saying their share.
struct TNamer {
  int Count;
  int Index = 0;
  std::vector<std::string>& Problems;

  void Expect(const TControl* AControl, const std::string& AName) {
    if (AControl->AccessibleName() != AName)
      Problems.push_back(AControl->ClassName() + " named \"" + AControl->AccessibleName() +
                         "\", not \"" + AName + "\"");
  }
  // The pane's part of the area: [ALeft, ARight] x [ATop, ABottom] in
  // shares of the whole.
  std::string Place(double ALeft, double ATop, double ARight, double ABottom, TReach AReach) const {
    if (AReach.L && AReach.R && AReach.T && AReach.B) return "whole window";
    const double x = (ALeft + ARight) / 2, y = (ATop + ABottom) / 2;
    const std::string across = AReach.L      ? "left"
                               : AReach.R    ? "right"
                               : x < 1.0 / 3 ? "left"
                               : x > 2.0 / 3 ? "right"
                                             : "centre";
    const std::string down = AReach.T      ? "top"
                             : AReach.B    ? "bottom"
                             : y < 1.0 / 3 ? "top"
                             : y > 2.0 / 3 ? "bottom"
                                           : "middle";
    if (AReach.T && AReach.B) return across;
    if (AReach.L && AReach.R) return down;
    return down + " " + across == "middle centre" ? "centre" : down + " " + across;
  }
  void Name(const TSplitPanel* APane, double ALeft = 0, double ATop = 0, double ARight = 1,
            double ABottom = 1, TReach AReach = TReach()) {
    const std::string place = Place(ALeft, ATop, ARight, ABottom, AReach);
    if (APane->FFirst == nullptr) {
      const TControl* content = APane->Content();
      const bool grid = content != nullptr && content->ClassName() == "TStringGrid";
      const std::string name = "Pane " + std::to_string(++Index) + " of " + std::to_string(Count) +
                               ", " + place +
                               (content == nullptr ? ", empty"
                                : grid             ? ", grid"
                                                   : ", editor");
      Expect(APane, name);
      if (content != nullptr) Expect(content, name);
      return;
    }
    const bool stacked = Stacked(APane);
    Expect(APane, "");
    const std::string percent =
        std::to_string(std::lround(static_cast<double>(APane->FRatio) * 100.0));
    Expect(APane->FSplitter, std::string(stacked ? "Splitter between top and bottom halves"
                                                 : "Splitter between left and right halves") +
                                 (place == "whole window" ? "" : " of " + place) +
                                 (stacked ? ", top " : ", left ") + percent + "%");
    TReach first = AReach, second = AReach;
    (stacked ? first.B : first.R) = false;
    (stacked ? second.T : second.L) = false;
    const double ratio = APane->FRatio;
    if (stacked) {
      const double cut = ATop + (ABottom - ATop) * ratio;
      Name(APane->FFirst, ALeft, ATop, ARight, cut, first);
      Name(APane->FSecond, ALeft, cut, ARight, ABottom, second);
    } else {
      const double cut = ALeft + (ARight - ALeft) * ratio;
      Name(APane->FFirst, ALeft, ATop, cut, ABottom, first);
      Name(APane->FSecond, cut, ATop, ARight, ABottom, second);
    }
  }
};

void Walk(TSplitPanel* APane, const std::function<void(TSplitPanel*)>& AVisit) {
  if (APane == nullptr) return;
  AVisit(APane);
  Walk(APane->FFirst, AVisit);
  Walk(APane->FSecond, AVisit);
}
}  // namespace

std::string Dump(const TMainPanel* AHost) {
  std::ostringstream out;
  DumpPane(AHost->FRoot, AHost->FCurrent, out);
  return out.str();
}

std::vector<TSplitPanel*> Leaves(TSplitPanel* ARoot) {
  std::vector<TSplitPanel*> leaves;
  Walk(ARoot, [&](TSplitPanel* p) {
    if (p->FFirst == nullptr) leaves.push_back(p);
  });
  return leaves;
}

std::vector<TSplitPanel*> SplitPanes(TSplitPanel* ARoot) {
  std::vector<TSplitPanel*> panes;
  Walk(ARoot, [&](TSplitPanel* p) {
    if (p->FFirst != nullptr) panes.push_back(p);
  });
  return panes;
}

TSplitPanel* FirstLeaf(TSplitPanel* APane) {
  while (APane->FFirst != nullptr) APane = APane->FFirst;
  return APane;
}

std::vector<std::string> Check(const TMainPanel* AHost, const CheckOptions& AOptions) {
  std::vector<std::string> problems;
  auto fail = [&](const TSplitPanel* p, const std::string& what) {
    std::ostringstream line;
    line << p->Text() << " (" << p->Left() << "," << p->Top() << " " << p->Width() << "x"
         << p->Height() << "): " << what;
    problems.push_back(line.str());
  };
  if (AHost->FRoot == nullptr) return {"no root"};
  if (AHost->FRoot->Parent() != AHost) problems.push_back("root is not parented to the host");
  if (AHost->FRoot->Text() != "BASEPANEL") problems.push_back("root caption changed");
  TComponent* owner = AHost->Owner();
  bool currentFound = false;
  Walk(AHost->FRoot, [&](TSplitPanel* p) {
    if (p == AHost->FCurrent) currentFound = true;
    if (p->FCurrentRef != &AHost->FCurrent) fail(p, "FCurrentRef is not the host's");
    if (p->Owner() != owner) fail(p, "pane has another owner");
    const bool leaf = p->FPaintBox != nullptr;
    if (leaf == (p->FFirst != nullptr) || (p->FFirst != nullptr) != (p->FSecond != nullptr) ||
        (p->FFirst != nullptr) != (p->FSplitter != nullptr)) {
      fail(p, "neither a leaf nor a split pane");
      return;
    }
    // Nothing lies in a pane but its parts and known content, and content
    // shows inside the frame of a leaf, never under a split pane's halves.
    for (int i = 0; i < p->ControlCount(); ++i) {
      TControl* c = p->Controls(i);
      if (c == p->FFirst || c == p->FSecond || c == p->FSplitter || c == p->FPaintBox) continue;
      if (AOptions.Contents.count(c) == 0) fail(p, "holds a stray " + c->ClassName());
      if (!leaf) fail(p, "content hidden under a split pane's halves");
      if (!c->Visible()) fail(p, "content is hidden");
      if (c->OnMouseDown.Object() != AHost) fail(p, "content's clicks are not the host's");
      if (leaf && c->Align() == alClient) {
        const TRect box = p->FPaintBox->BoundsRect();
        const TRect inside{box.Left + 1, box.Top + 1, box.Left + 1 + std::max(0, box.Width() - 2),
                           box.Top + 1 + std::max(0, box.Height() - 2)};
        if (c->BoundsRect() != inside) fail(p, "content does not sit inside the frame");
      }
    }
    if (leaf) {
      TPaintBox* box = p->FPaintBox;
      if (box->Parent() != p || box->Align() != alClient) fail(p, "paint box misplaced");
      if (box->Owner() != owner) fail(p, "paint box has another owner");
      if (box->OnMouseDown.Object() != p || box->OnPaint.Object() != p)
        fail(p, "paint box handlers bound elsewhere");
      const TRect client = p->ClientRect();
      if (box->Left() != client.Left || box->Top() != client.Top ||
          box->Width() != std::max(0, client.Width()) ||
          box->Height() != std::max(0, client.Height()))
        fail(p, "paint box does not fill the pane");
      return;
    }
    const TSplitPanel* first = p->FFirst;
    const TSplitPanel* second = p->FSecond;
    const TSplitter* splitter = p->FSplitter;
    if (first->Parent() != p || second->Parent() != p || splitter->Parent() != p)
      fail(p, "children not parented to their pane");
    if (splitter->Owner() != owner) fail(p, "splitter has another owner");
    if (splitter->OnCanResize.Object() != p) fail(p, "splitter bound to another pane");
    if ((first->Align() != alTop && first->Align() != alLeft) ||
        splitter->Align() != first->Align() || second->Align() != alClient)
      fail(p, "alignments do not describe a split");
    if (!AOptions.Laidout) return;
    const bool stacked = first->Align() == alTop;
    const TRect client = p->ClientRect();
    const int firstSize = stacked ? first->Height() : first->Width();
    const int expected = PaneShare(stacked ? p->Height() : p->Width(), p->FRatio);
    if (firstSize != std::max(0, expected))
      fail(p, "first half is " + std::to_string(firstSize) + ", not its share " +
                  std::to_string(expected));
    // A half of no extent may end up behind its splitter; nothing shows then.
    if (firstSize == 0) return;
    const int splitterAt = stacked ? splitter->Top() : splitter->Left();
    const int firstEnd = stacked ? first->Top() + first->Height() : first->Left() + first->Width();
    if (splitterAt != firstEnd) fail(p, "splitter not right after the first half");
    const int secondStart = stacked ? second->Top() : second->Left();
    const int secondSize = stacked ? second->Height() : second->Width();
    const int end = stacked ? client.Bottom : client.Right;
    if (secondStart != firstEnd + 3 || secondSize != std::max(0, end - secondStart))
      fail(p, "second half does not fill the rest");
  });
  if (AOptions.Named) {
    TNamer namer{static_cast<int>(Leaves(AHost->FRoot).size()), 0, problems};
    namer.Name(AHost->FRoot);
  }
  if (!currentFound)
    problems.push_back("current pane is not in the tree");
  else if (AHost->FCurrent->FPaintBox == nullptr)
    problems.push_back("current pane is not a leaf");
  return problems;
}

}  // namespace pane_tree
