#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "widgets/Widgets.h"

namespace {

struct Geometry {
  int Left, Top, Width, Height;
  bool operator==(const Geometry&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Geometry& g) {
  return os << "(" << g.Left << "," << g.Top << " " << g.Width << "x" << g.Height << ")";
}
Geometry Of(const TControl* c) { return {c->Left(), c->Top(), c->Width(), c->Height()}; }

class Alignment : public testing::Test {
 protected:
  std::unique_ptr<TComponent> FOwner = std::make_unique<TComponent>(nullptr);
  // A plain container: its client area is its whole rect.
  TWinControl* Container(int W, int H) {
    auto* c = new TWinControl(FOwner.get());
    c->SetBounds(0, 0, W, H);
    return c;
  }
  template <class T>
  T* Child(TWinControl* AParent, TAlign AAlign, int W, int H) {
    auto* c = new T(FOwner.get());
    c->SetBounds(0, 0, W, H);
    c->SetParent(AParent);
    c->SetAlign(AAlign);
    return c;
  }
};

TEST_F(Alignment, DocksInTheOrderTopBottomLeftRightClient) {
  TWinControl* parent = Container(200, 100);
  auto* client = Child<TPanel>(parent, alClient, 10, 10);
  auto* right = Child<TPanel>(parent, alRight, 30, 10);
  auto* left = Child<TPanel>(parent, alLeft, 20, 10);
  auto* bottom = Child<TPanel>(parent, alBottom, 10, 15);
  auto* top = Child<TPanel>(parent, alTop, 10, 25);
  EXPECT_EQ(Of(top), (Geometry{0, 0, 200, 25}));
  EXPECT_EQ(Of(bottom), (Geometry{0, 85, 200, 15}));
  EXPECT_EQ(Of(left), (Geometry{0, 25, 20, 60}));
  EXPECT_EQ(Of(right), (Geometry{170, 25, 30, 60}));
  EXPECT_EQ(Of(client), (Geometry{20, 25, 150, 60}));

  // Every change re-applies the layout at once: the next read sees it.
  top->SetHeight(35);
  EXPECT_EQ(Of(client), (Geometry{20, 35, 150, 50}));
  parent->SetWidth(300);
  EXPECT_EQ(Of(right), (Geometry{270, 35, 30, 50}));
  left->SetVisible(false);
  EXPECT_EQ(Of(client), (Geometry{0, 35, 270, 50}));
  left->SetVisible(true);
  right->SetParent(nullptr);
  EXPECT_EQ(Of(client), (Geometry{20, 35, 280, 50}));
  delete top;
  EXPECT_EQ(Of(client), (Geometry{20, 0, 280, 85}));
}

TEST_F(Alignment, SameAlignedControlsStackByPositionAndChangedOneLeadsOnTies) {
  TWinControl* parent = Container(100, 200);
  auto* a = Child<TPanel>(parent, alTop, 10, 30);
  auto* b = Child<TPanel>(parent, alTop, 10, 40);
  // b arrives at a's position and, being the one changed, goes ahead.
  EXPECT_EQ(b->Top(), 0);
  EXPECT_EQ(a->Top(), 40);
  a->SetTop(-5);
  EXPECT_EQ(a->Top(), 0);
  EXPECT_EQ(b->Top(), 30);
  auto* c = Child<TSplitter>(parent, alTop, 3, 3);
  EXPECT_EQ(c->Height(), 3);
  c->SetTop(0);
  EXPECT_EQ(c->Top(), 0);
  EXPECT_EQ(a->Top(), 3);
  // Placed at a's far edge it lands right after a, as a split places it.
  c->SetTop(a->Top() + a->Height());
  EXPECT_EQ(Of(a), (Geometry{0, 0, 100, 30}));
  EXPECT_EQ(Of(c), (Geometry{0, 30, 100, 3}));
  EXPECT_EQ(Of(b), (Geometry{0, 33, 100, 40}));

  TWinControl* row = Container(200, 50);
  auto* l1 = Child<TPanel>(row, alLeft, 50, 1);
  auto* l2 = Child<TPanel>(row, alLeft, 60, 1);
  l1->SetLeft(l2->Left() + l2->Width());
  EXPECT_EQ(l2->Left(), 0);
  EXPECT_EQ(l1->Left(), 60);
}

TEST_F(Alignment, ClientControlsOverlapAndSizesNeverGoNegative) {
  TWinControl* parent = Container(120, 80);
  auto* top = Child<TPanel>(parent, alTop, 10, 30);
  auto* one = Child<TMemo>(parent, alClient, 1, 1);
  auto* two = Child<TStringGrid>(parent, alClient, 1, 1);
  EXPECT_EQ(Of(one), (Geometry{0, 30, 120, 50}));
  EXPECT_EQ(Of(two), Of(one));
  top->SetHeight(500);
  EXPECT_EQ(one->Height(), 0);
  EXPECT_EQ(two->Width(), 120);
  parent->SetBounds(0, 0, -10, -10);
  EXPECT_EQ(parent->Width(), 0);
  EXPECT_EQ(top->Width(), 0);
}

TEST_F(Alignment, PanelClientAreaIsInsetByItsBevel) {
  auto* panel = new TPanel(FOwner.get());
  panel->SetBounds(0, 0, 100, 60);
  EXPECT_EQ(panel->ClientRect(), (TRect{1, 1, 99, 59}));
  auto* top = Child<TPanel>(panel, alTop, 5, 20);
  auto* fill = Child<TPaintBox>(panel, alClient, 5, 5);
  EXPECT_EQ(Of(top), (Geometry{1, 1, 98, 20}));
  EXPECT_EQ(Of(fill), (Geometry{1, 21, 98, 38}));
}

class TResizeProbe : public TObject {
 public:
  TControl* Watched = nullptr;
  TControl* Sibling = nullptr;
  TControl* Grandchild = nullptr;
  std::vector<Geometry> SiblingSeen;
  std::vector<Geometry> GrandchildSeen;
  void Resized(TObject* /*ASender*/) {
    SiblingSeen.push_back(Of(Sibling));
    GrandchildSeen.push_back(Of(Grandchild));
  }
};

TEST_F(Alignment, OnResizeComesAfterEveryControlHasItsNewPlace) {
  // Like the main window: a panel and a host side by side, both filling the
  // form; the panel's resize handler reads the host and what is inside it.
  TWinControl* form = Container(300, 200);
  auto* panel = Child<TPanel>(form, alClient, 1, 1);
  auto* host = Child<TWinControl>(form, alClient, 1, 1);
  auto* inner = Child<TPanel>(host, alClient, 1, 1);
  TResizeProbe probe;
  probe.Sibling = host;
  probe.Grandchild = inner;
  panel->OnResize = TNotifyEvent(&probe, &TResizeProbe::Resized);
  form->SetBounds(0, 0, 400, 250);
  ASSERT_EQ(probe.SiblingSeen.size(), 1u);
  EXPECT_EQ(probe.SiblingSeen[0], (Geometry{0, 0, 400, 250}));
  EXPECT_EQ(probe.GrandchildSeen[0], (Geometry{0, 0, 400, 250}));
  // No size change, no notification.
  form->SetLeft(10);
  EXPECT_EQ(probe.SiblingSeen.size(), 1u);
}

}  // namespace
