// The keyboard commands, through their real shortcuts, while the editor has
// the keyboard, checked on the tree and on the screen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

#include "app/Unit1.h"
#include "tests/app/PaneTree.h"
#include "tests/support/Harness.h"
#include "widgets/Peer.h"

using namespace testing_support;

namespace {

constexpr Qt::KeyboardModifiers kMove = Qt::ControlModifier | Qt::ShiftModifier;

class Keyboard : public testing::Test {
 protected:
  void SetUp() override {
    FForm = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(FForm.get());
  }
  void TearDown() override {
    FForm->Close();
    FForm.reset();
  }
  // Keys go wherever the keyboard is, as a user's would.
  void Keys(Qt::Key AKey, Qt::KeyboardModifiers AModifiers) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : FForm->Handle(), AKey, AModifiers);
    Settle();
  }
  void Ctrl(Qt::Key AKey) { Keys(AKey, Qt::ControlModifier | Qt::ShiftModifier); }
  TMainPanel* Host() const { return FForm->MainPanel(); }
  std::string Dump() const { return pane_tree::Dump(Host()); }
  void ExpectFramed() {
    TPaintBox* box = Host()->FCurrent->FPaintBox;
    EXPECT_EQ(RedBox(box).size(), QSize(box->Width(), box->Height())) << Dump();
  }
  std::unique_ptr<TForm1> FForm;
};

TEST_F(Keyboard, ToolbarCommandsMovesResizingZoomEvenOutAndUndoWorkFromTheKeys) {
  Ctrl(Qt::Key_N);
  Ctrl(Qt::Key_M);
  auto* memo = dynamic_cast<TMemo*>(Host()->FCurrent->Content());
  ASSERT_NE(memo, nullptr);
  TypeText(memo, "typed");
  // Splits while typing: the editor follows into the current half and keeps
  // the keyboard, so the keys go on working.
  Ctrl(Qt::Key_E);
  Ctrl(Qt::Key_O);
  EXPECT_EQ(Dump(), "[[AAA*+1 / BBB] | BBB]");
  EXPECT_TRUE(memo->Focused());
  TSplitPanel* topLeft = Host()->FCurrent;
  TSplitPanel* bottomLeft = Host()->FRoot->FFirst->FSecond;
  TSplitPanel* right = Host()->FRoot->FSecond;

  // Moves: the neighbour across each edge; nothing at the window's edge.
  struct Move {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    TSplitPanel* From;
    TSplitPanel* To;
  };
  const Move moves[] = {
      {Qt::Key_L, kMove, topLeft, right},
      {Qt::Key_H, kMove, right, topLeft},  // the larger overlap, then the nearer
      {Qt::Key_J, kMove, topLeft, bottomLeft},
      {Qt::Key_J, kMove, bottomLeft, bottomLeft},
      {Qt::Key_K, kMove, topLeft, topLeft},
      {Qt::Key_F6, Qt::NoModifier, bottomLeft, right},
      {Qt::Key_F6, Qt::NoModifier, right, topLeft},  // round again
      {Qt::Key_F6, Qt::ShiftModifier, topLeft, right},
  };
  for (const Move& m : moves) {
    Host()->SetCurrent(m.From);
    Keys(m.Key, m.Modifiers);
    EXPECT_EQ(Host()->FCurrent, m.To) << "key " << m.Key << " from " << pane_tree::Dump(Host());
    ExpectFramed();
    // The keyboard goes with the frame: into the editor, or the empty pane.
    EXPECT_TRUE(m.To->Focused()) << "key " << m.Key;
  }

  // Keyboard resizing moves the innermost split along that axis by 10
  // pixels and stores what a drag there would.
  Host()->SetCurrent(topLeft);
  TSplitPanel* left = Host()->FRoot->FFirst;
  const int width = left->Width(), height = topLeft->Height();
  Keys(Qt::Key_L, kMove | Qt::AltModifier);
  Keys(Qt::Key_K, kMove | Qt::AltModifier);
  EXPECT_EQ(left->Width(), width + 10);
  EXPECT_EQ(topLeft->Height(), height - 10);
  EXPECT_EQ(Host()->FRoot->FRatio, RatioFor(Host()->FRoot->Width(), width + 10));
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo}));

  // Zoom and back, exactly.
  const TRect before = topLeft->BoundsRect();
  Ctrl(Qt::Key_X);
  EXPECT_FALSE(Host()->FRoot->Visible());
  EXPECT_EQ(topLeft->BoundsRect(), Host()->ClientRect()) << "all of the pane area, exactly";
  EXPECT_TRUE(memo->Focused());
  ExpectFramed();
  Ctrl(Qt::Key_X);
  EXPECT_TRUE(Host()->FRoot->Visible());
  EXPECT_EQ(topLeft->BoundsRect(), before);
  EXPECT_TRUE(memo->Focused());

  // Even out: a row made by halving twice (50/25/25) becomes thirds.
  Host()->SetCurrent(right);
  Ctrl(Qt::Key_E);
  Ctrl(Qt::Key_B);
  const int a = Host()->FRoot->FFirst->Width(), b = right->FFirst->Width(),
            c = right->FSecond->Width();
  EXPECT_LE(std::max({a, b, c}) - std::min({a, b, c}), 2) << a << " " << b << " " << c;
  EXPECT_LE(std::abs(topLeft->Height() - bottomLeft->Height()), 2);
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo}));

  // Undo of a removal: the pane, its place, ratio and editor come back.
  Host()->SetCurrent(topLeft);
  const std::string whole = Dump();
  const float ratio = left->FRatio;
  Ctrl(Qt::Key_W);
  EXPECT_EQ(memo->Parent(), Host()) << "kept for an undo";
  EXPECT_FALSE(memo->Visible());
  Ctrl(Qt::Key_T);
  EXPECT_EQ(Dump(), whole);
  EXPECT_EQ(Host()->FRoot->FFirst->FRatio, ratio);
  EXPECT_EQ(memo->Text(), "typed");
  EXPECT_TRUE(memo->Visible());
  EXPECT_EQ(memo->Parent(), Host()->FCurrent);
  ExpectFramed();
  Ctrl(Qt::Key_T);  // nothing more to undo
  EXPECT_EQ(Dump(), whole);
  // Redo takes it out again, and undo brings it back once more.
  Ctrl(Qt::Key_Y);
  EXPECT_FALSE(memo->Visible());
  EXPECT_NE(Dump(), whole);
  Ctrl(Qt::Key_T);
  EXPECT_EQ(Dump(), whole);
  EXPECT_TRUE(memo->Focused());

  // A double-click on a splitter evens its two halves.
  TSplitter* splitter = Host()->FRoot->FSplitter;
  DoubleClick(splitter, 1, 10);
  const int first = Host()->FRoot->FFirst->Width(), second = Host()->FRoot->FSecond->Width();
  EXPECT_LE(std::abs(first - second), 1);
  EXPECT_EQ(PaneShare(Host()->FRoot->Width(), Host()->FRoot->FRatio), first);

  // What the user and assistive technology are told.
  EXPECT_EQ(FForm->Button2->Hint(), "Split into top and bottom halves (Ctrl+Shift+O)");
  EXPECT_EQ(FForm->Button5->Hint(), "Leave the program (Ctrl+Q)");
  EXPECT_EQ(Host()->FCurrent->AccessibleName(), "Pane 1 of 4, left top, editor");
  EXPECT_EQ(memo->AccessibleName(), "Editor in pane 1 of 4, left top");
  EXPECT_EQ(Host()->FRoot->FSecond->AccessibleName(), "Left and right halves, right");
  EXPECT_EQ(splitter->AccessibleName(), "Splitter between left and right halves, left 50%");
  // The splitter has no window of its own: it is found the way assistive
  // technology walks the window, among the children of the pane it divides.
  QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(Host()->FRoot->Handle());
  ASSERT_NE(pane, nullptr);
  QAccessibleInterface* separator = nullptr;
  for (int i = 0; i < pane->childCount(); ++i)
    if (pane->child(i)->role() == QAccessible::Separator) separator = pane->child(i);
  ASSERT_NE(separator, nullptr);
  EXPECT_EQ(separator, AccessibleInterface(splitter));
  EXPECT_EQ(pane->indexOfChild(separator), pane->childCount() - 1);
  EXPECT_EQ(separator->parent(), pane);
  EXPECT_EQ(separator->text(QAccessible::Name).toStdString(), splitter->AccessibleName());
  EXPECT_EQ(separator->rect().topLeft(),
            splitter->Handle()->mapToGlobal(QPoint(splitter->Left(), splitter->Top())));

  // Leave.
  Keys(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(FForm->Visible());
}

}  // namespace
