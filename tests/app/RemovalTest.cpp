#include <gtest/gtest.h>

#include <set>

#include "tests/app/HostFixture.h"

using namespace testing_support;

namespace {

// Learns which components were destroyed.
class TGraveyard : public TComponent {
 public:
  TGraveyard() : TComponent(nullptr) {}
  void Watch(TComponent* AComponent) { FreeNotification(AComponent); }
  bool Gone(const TComponent* AComponent) const { return Dead.count(AComponent) > 0; }
  std::set<const TComponent*> Dead;

 protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override {
    if (AOperation == opRemove) Dead.insert(AComponent);
  }
};

class Removal : public HostTest {
 protected:
  void Click(TSplitPanel* APane) { APane->PaintBoxMouseDown(APane->FPaintBox, mbLeft, 0, 1, 1); }
  TMemo* PutMemo(TSplitPanel* APane, const std::string& AText) {
    auto* memo = new TMemo(W.Owner);
    memo->SetAlign(alClient);
    Host()->AddContent(APane, memo);
    memo->SetText(AText);
    FContents.Contents.insert(memo);
    FGraveyard.Dead.erase(memo);  // the allocator may hand out a dead one's address
    FGraveyard.Watch(memo);
    return memo;
  }
  pane_tree::CheckOptions FContents;
  TGraveyard FGraveyard;
};

TEST_F(Removal, RootIsNeverRemoved) {
  TPaintBox* box = W.Root()->FPaintBox;
  Host()->DeleteCurrent();
  EXPECT_EQ(W.Root()->FPaintBox, box);
  EXPECT_EQ(W.Current(), W.Root());
  Host()->SplitCurrent(alTop, 0.5f);
  Host()->DeleteCurrent();
  Application->ShowNote(nullptr, "none yet");
  Host()->DeleteCurrent();  // root is a leaf again and current: nothing happens
  EXPECT_EQ(pane_tree::Dump(Host()), "BASEPANEL*");
  // Said where the eye is, as every refused command is.
  EXPECT_EQ(Application->LastNote(), "The only pane stays: it fills the window");
  // Called on the root directly, too.
  W.Root()->DeletePane();
  EXPECT_NE(W.Root()->FPaintBox, nullptr);
  EXPECT_TREE_SOUND(Host());
}

class LeafSibling : public Removal, public testing::WithParamInterface<std::tuple<TAlign, bool>> {};

TEST_P(LeafSibling, ParentBecomesALeafShowingTheSiblingsPaintBox) {
  const auto [align, removeSecond] = GetParam();
  Show();
  Host()->SplitCurrent(align, 0.5f);
  TSplitPanel* root = W.Root();
  TSplitPanel* removed = removeSecond ? root->FSecond : root->FFirst;
  TSplitPanel* sibling = removeSecond ? root->FFirst : root->FSecond;
  TPaintBox* survivorBox = sibling->FPaintBox;
  if (removeSecond) Click(removed);
  Host()->DeleteCurrent();
  EXPECT_EQ(root->FPaintBox, survivorBox);
  EXPECT_EQ(root->FFirst, nullptr);
  EXPECT_EQ(root->Text(), "BASEPANEL");
  EXPECT_EQ(W.Current(), root);
  EXPECT_EQ(pane_tree::Dump(Host()), "BASEPANEL*");
  EXPECT_TREE_SOUND(Host());
  Settle();
  EXPECT_EQ(RedBox(root->FPaintBox), QRect(0, 0, 598, 398)) << "red frame at the next paint";
  // The adopted paint box answers clicks for the root, and splits like any.
  Click(root);
  EXPECT_EQ(W.Current(), root);
  Host()->SplitCurrent(alLeft, 0.5f);
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* | BBB]");
  EXPECT_TREE_SOUND(Host());
}

INSTANTIATE_TEST_SUITE_P(Cases, LeafSibling,
                         testing::Combine(testing::Values(alTop, alLeft), testing::Bool()));

TEST_F(Removal, SplitSiblingFirstHalfMovesUpWithItsRatioAndSplitter) {
  Show();
  Host()->SplitCurrent(alTop, 0.5f);
  Host()->SplitCurrent(alLeft, 0.5f);  // the top half, side by side
  TSplitPanel* top = W.Root()->FFirst;
  TSplitPanel* left = top->FFirst;
  TSplitPanel* right = top->FSecond;
  TSplitter* splitter = top->FSplitter;
  Drag(splitter, 1, 10, -100, 0);  // left half 199 of 598
  const float ratio = top->FRatio;
  EXPECT_EQ(ratio, RatioFor(598, 199));
  Click(W.Root()->FSecond);
  Host()->DeleteCurrent();
  TSplitPanel* root = W.Root();
  EXPECT_EQ(root->FFirst, left);
  EXPECT_EQ(root->FSecond, right);
  EXPECT_EQ(root->FSplitter, splitter);
  EXPECT_EQ(root->FRatio, ratio);
  EXPECT_EQ(W.Current(), left);
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* | BBB]");
  EXPECT_EQ(left->Width(), PaneShare(600, ratio));
  EXPECT_EQ(left->Height(), 398);
  EXPECT_TREE_SOUND(Host());
  // The adopted splitter now reports to the root.
  const int before = left->Width();
  Drag(splitter, 1, 10, 100, 0);
  EXPECT_EQ(left->Width(), before + 100);
  EXPECT_EQ(root->FRatio, RatioFor(600, before + 100));
}

TEST_F(Removal, SplitSiblingSecondHalfMovesUpToo) {
  Host()->SplitCurrent(alTop, 0.5f);
  Click(W.Root()->FSecond);
  Host()->SplitCurrent(alLeft, 0.5f);
  TSplitPanel* left = W.Root()->FSecond->FFirst;
  Click(W.Root()->FFirst);
  Host()->DeleteCurrent();
  EXPECT_EQ(W.Root()->FFirst, left);
  EXPECT_EQ(W.Current(), left);
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* | BBB]");
  EXPECT_TREE_SOUND(Host());
}

// Root stacked; its second half side by side; that one's left half stacked;
// then the root's first half removed: the sibling's first half was split, so
// the removal alone would leave a split pane current.
TSplitPanel* RemoveBesideASplitPane(HostWindow& AWindow) {
  TMainPanel* host = AWindow.Host;
  host->SplitCurrent(alTop, 0.5f);
  TSplitPanel* second = AWindow.Root()->FSecond;
  second->PaintBoxMouseDown(second->FPaintBox, mbLeft, 0, 1, 1);
  host->SplitCurrent(alLeft, 0.5f);
  host->SplitCurrent(alTop, 0.5f);
  TSplitPanel* first = AWindow.Root()->FFirst;
  first->PaintBoxMouseDown(first->FPaintBox, mbLeft, 0, 1, 1);
  host->DeleteCurrent();
  return AWindow.Current();
}

TEST_F(Removal, ARemovalBesideASplitPaneFramesItsFirstLeafAtOnce) {
  Show();
  TSplitPanel* current = RemoveBesideASplitPane(W);
  EXPECT_EQ(current, W.Root()->FFirst->FFirst);
  EXPECT_EQ(pane_tree::Dump(Host()), "[[AAA* / BBB] | BBB]");
  // On the screen before any repaint, and still after one.
  const QSize ring(current->FPaintBox->Width(), current->FPaintBox->Height());
  EXPECT_EQ(RedBox(current->FPaintBox).size(), ring);
  Settle();
  EXPECT_EQ(RedBox(current->FPaintBox).size(), ring);
  for (TSplitPanel* leaf : pane_tree::Leaves(W.Root()))
    if (leaf != current) {
      EXPECT_TRUE(RedBox(leaf->FPaintBox).isEmpty());
    }
  EXPECT_TREE_SOUND(Host());
}

TEST_F(Removal, SplittingAfterThatSplitsTheFramedLeaf) {
  TSplitPanel* leaf = RemoveBesideASplitPane(W);
  Host()->SplitCurrent(alLeft, 0.5f);
  EXPECT_EQ(W.Current(), leaf->FFirst);
  EXPECT_EQ(pane_tree::Dump(Host()), "[[[AAA* | BBB] / BBB] | BBB]");
  EXPECT_TREE_SOUND(Host());
}

TEST_F(Removal, DeletingAfterThatRemovesTheFramedLeafAndNothingElse) {
  RemoveBesideASplitPane(W);
  TSplitPanel* right = W.Root()->FSecond;
  Host()->DeleteCurrent();
  EXPECT_EQ(W.Root()->FSecond, right) << "another pane than the current one was removed";
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* | BBB]");
  EXPECT_TREE_SOUND(Host());
}

TEST_F(Removal, ContentOfTheSurvivingSiblingMovesUpAndKeepsItsText) {
  Host()->SplitCurrent(alTop, 0.5f);
  TMemo* doomed = PutMemo(W.Root()->FFirst, "in the removed pane");
  TMemo* kept = PutMemo(W.Root()->FSecond, "typed by the user");
  Host()->DeleteCurrent();
  // The removed pane's own content is kept out of sight while the removal
  // can be undone, and goes once it cannot.
  ASSERT_FALSE(FGraveyard.Gone(doomed));
  EXPECT_FALSE(doomed->Visible());
  EXPECT_EQ(doomed->Parent(), nullptr) << "outside the window, out of every tree";
  Host()->ClearHistory();
  EXPECT_TRUE(FGraveyard.Gone(doomed));
  ASSERT_FALSE(FGraveyard.Gone(kept));
  EXPECT_EQ(kept->Parent(), W.Root());
  EXPECT_EQ(kept->Text(), "typed by the user");
  EXPECT_EQ(kept->Align(), alClient);
  EXPECT_EQ(kept->Width(), 596) << "one pixel inside the frame on each side";
  EXPECT_TREE_SOUND(Host(), FContents);

  // Content of a pane that is split goes into its first half, which then
  // moves up with the sibling's halves.
  Host()->SplitCurrent(alTop, 0.5f);
  TSplitPanel* second = W.Root()->FSecond;
  Click(second);
  TMemo* moved = PutMemo(second, "into the first half");
  Host()->SplitCurrent(alLeft, 0.5f);
  EXPECT_EQ(moved->Parent(), second->FFirst);
  TSplitPanel* half = second->FFirst;
  Click(W.Root()->FFirst);
  Host()->DeleteCurrent();
  Host()->ClearHistory();
  ASSERT_FALSE(FGraveyard.Gone(moved));
  EXPECT_TRUE(FGraveyard.Gone(kept)) << "it went into the removed first half";
  EXPECT_EQ(W.Root()->FFirst, half);
  EXPECT_EQ(moved->Parent(), half);
  EXPECT_EQ(moved->Text(), "into the first half");
  EXPECT_TREE_SOUND(Host(), FContents);
}

}  // namespace
