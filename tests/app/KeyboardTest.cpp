// The keyboard commands, through their real shortcuts, while the editor has
// the keyboard, checked on the tree and on the screen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "app/Unit1.h"
#include "tests/app/PaneTree.h"
#include "tests/support/Harness.h"
#include "widgets/Dialogs.h"
#include "widgets/Peer.h"

using namespace testing_support;

namespace {

constexpr Qt::KeyboardModifiers kMove = Qt::ControlModifier | Qt::ShiftModifier;

// What the layer tells assistive technology, as it is told.
struct THeard {
  QAccessible::Event Type;
  QAccessibleInterface* Object;
  QAccessibleInterface* Parent;
  QVariant Value;
};
std::vector<THeard> gHeard;
void Hear(QAccessibleEvent* AEvent) {
  QAccessibleInterface* object = AEvent->accessibleInterface();
  gHeard.push_back({AEvent->type(), object, object != nullptr ? object->parent() : nullptr,
                    AEvent->type() == QAccessible::ValueChanged
                        ? static_cast<QAccessibleValueChangeEvent*>(AEvent)->value()
                        : QVariant()});
}
bool Heard(QAccessible::Event AType, QAccessibleInterface* AObject, TControl* AParent) {
  for (const THeard& h : gHeard)
    if (h.Type == AType && h.Object == AObject && h.Parent == AccessibleInterface(AParent))
      return true;
  return false;
}

class Keyboard : public testing::Test {
 protected:
  void SetUp() override {
    // Listening all along, so every change the keys make also runs the
    // layer's telling of it, up to the window's destruction.
    SetAccessibleEventSink(Hear);
    // Typed work makes leaving ask: these windows discard it.
    FAnswers.Buttons = {1, 1, 1, 1};
    SetDialogAnswers(&FAnswers);
    FForm = std::make_unique<TForm1>(nullptr);
    ShowAndSettle(FForm.get());
  }
  void TearDown() override {
    FForm->Close();
    FForm.reset();
    SetDialogAnswers(nullptr);
    SetAccessibleEventSink(nullptr);
    gHeard.clear();
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
  // The base pane's editor with AText typed, split side by side, and a grid
  // in the right half, which is current (both null if that failed).
  std::pair<TMemo*, TStringGrid*> EditorBesideGrid(const std::string& AText) {
    Ctrl(Qt::Key_N);
    Ctrl(Qt::Key_M);
    auto* memo = dynamic_cast<TMemo*>(Host()->FCurrent->Content());
    if (memo == nullptr) return {};
    TypeText(memo, AText);
    Ctrl(Qt::Key_E);
    Ctrl(Qt::Key_L);
    Ctrl(Qt::Key_G);
    auto* grid = dynamic_cast<TStringGrid*>(Host()->FCurrent->Content());
    return {grid != nullptr ? memo : nullptr, grid};
  }
  std::unique_ptr<TForm1> FForm;
  TDialogAnswers FAnswers;
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
  gHeard.clear();
  Ctrl(Qt::Key_O);
  EXPECT_EQ(Dump(), "[[AAA*+1 / BBB] | BBB]");
  EXPECT_TRUE(memo->Focused());
  TSplitPanel* topLeft = Host()->FCurrent;
  TSplitPanel* bottomLeft = Host()->FRoot->FFirst->FSecond;
  TSplitPanel* right = Host()->FRoot->FSecond;
  // Assistive technology hears of the halves and the splitter joining the
  // pane split, and of the editor moving into its half.
  TSplitPanel* left = Host()->FRoot->FFirst;
  for (TControl* c : std::initializer_list<TControl*>{topLeft, left->FSplitter, bottomLeft})
    EXPECT_TRUE(Heard(QAccessible::ObjectCreated, AccessibleInterface(c), left)) << c->Text();
  EXPECT_TRUE(Heard(QAccessible::ObjectDestroyed, AccessibleInterface(memo), left));
  EXPECT_TRUE(Heard(QAccessible::ObjectCreated, AccessibleInterface(memo), topLeft));

  // Moves: the neighbour across each edge; nothing at the window's edge.
  struct Move {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    TSplitPanel* From;
    TSplitPanel* To;
    const char* Said = nullptr;  // why nothing moved, for a screen reader
  };
  const Move moves[] = {
      {Qt::Key_L, kMove, topLeft, right},
      {Qt::Key_H, kMove, right, topLeft},  // the larger overlap, then the nearer
      {Qt::Key_J, kMove, topLeft, bottomLeft},
      {Qt::Key_J, kMove, bottomLeft, bottomLeft, "No pane below"},
      {Qt::Key_K, kMove, topLeft, topLeft, "No pane above"},
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
    if (m.Said != nullptr) {
      EXPECT_EQ(Application->LastAnnouncement(), m.Said);
    }
  }

  // Keyboard resizing moves the innermost split along that axis by 10
  // pixels and stores what a drag there would.
  Host()->SetCurrent(topLeft);
  const int width = left->Width(), height = topLeft->Height();
  gHeard.clear();
  Keys(Qt::Key_L, kMove | Qt::AltModifier);
  EXPECT_EQ(Application->LastAnnouncement(),
            "left " + std::to_string(std::lround(Host()->FRoot->FRatio * 100.0)) + " %");
  Keys(Qt::Key_K, kMove | Qt::AltModifier);
  EXPECT_EQ(Application->LastAnnouncement(),
            "top " + std::to_string(std::lround(left->FRatio * 100.0)) + " %");
  EXPECT_EQ(left->Width(), width + 10);
  EXPECT_EQ(topLeft->Height(), height - 10);
  EXPECT_EQ(Host()->FRoot->FRatio, RatioFor(Host()->FRoot->Width(), width + 10));
  // Each moved splitter tells its new value, and its new share by name.
  for (TSplitter* moved : {Host()->FRoot->FSplitter, left->FSplitter}) {
    QAccessibleInterface* a = AccessibleInterface(moved);
    const auto value = std::find_if(gHeard.begin(), gHeard.end(), [&](const THeard& h) {
      return h.Type == QAccessible::ValueChanged && h.Object == a;
    });
    ASSERT_NE(value, gHeard.end());
    EXPECT_EQ(value->Value.toInt(), moved->FindResizedControl() == left ? width + 10 : height - 10);
    EXPECT_TRUE(Heard(QAccessible::NameChanged, a, moved->Parent()));
  }
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo}));

  // Zoom and back, exactly.
  const TRect before = topLeft->BoundsRect();
  Ctrl(Qt::Key_X);
  EXPECT_EQ(Application->LastAnnouncement(), "Zoomed. Pane 1 of 3, zoomed, editor");
  EXPECT_EQ(memo->AccessibleName(), "Pane 1 of 3, zoomed, editor");
  EXPECT_FALSE(Host()->FRoot->Visible());
  EXPECT_EQ(topLeft->BoundsRect(), Host()->ClientRect()) << "all of the pane area, exactly";
  EXPECT_TRUE(memo->Focused());
  ExpectFramed();
  Ctrl(Qt::Key_X);
  EXPECT_EQ(Application->LastAnnouncement(), "Zoom off. Pane 1 of 3, top left, editor");
  EXPECT_TRUE(Host()->FRoot->Visible());
  EXPECT_EQ(topLeft->BoundsRect(), before);
  EXPECT_TRUE(memo->Focused());
  // Going to another pane brings the tree back too, and says so.
  Ctrl(Qt::Key_X);
  Keys(Qt::Key_L, kMove);
  EXPECT_FALSE(Host()->Zoomed());
  EXPECT_EQ(Application->LastAnnouncement(), "Zoom off. " + right->AccessibleName());

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
  QAccessibleInterface* gone = AccessibleInterface(topLeft);
  gHeard.clear();
  Ctrl(Qt::Key_W);
  EXPECT_EQ(memo->Parent(), nullptr) << "kept for an undo, outside the window";
  EXPECT_FALSE(memo->Visible());
  EXPECT_TRUE(Heard(QAccessible::ObjectDestroyed, gone, left)) << "the pane removed goes";
  EXPECT_EQ(Application->LastAnnouncement(), "Pane deleted. Pane 1 of 3, left, empty");
  Ctrl(Qt::Key_T);
  EXPECT_EQ(Application->LastAnnouncement(), "Undone: Pane deleted. Pane 1 of 4, top left, editor");
  EXPECT_TRUE(Heard(QAccessible::ObjectCreated, AccessibleInterface(Host()->FCurrent), left))
      << "the pane back comes";
  EXPECT_EQ(Dump(), whole);
  EXPECT_EQ(Host()->FRoot->FFirst->FRatio, ratio);
  EXPECT_EQ(memo->Text(), "typed");
  EXPECT_TRUE(memo->Visible());
  EXPECT_EQ(memo->Parent(), Host()->FCurrent);
  ExpectFramed();
  // Undo goes on further back, through the evening out; redo does that
  // again, then takes the pane out again, and undo brings it back once more.
  const float evened = Host()->FRoot->FRatio;
  Ctrl(Qt::Key_T);
  EXPECT_EQ(Application->LastAnnouncement().rfind("Undone: Evened out. ", 0), 0u)
      << Application->LastAnnouncement();
  EXPECT_NE(Host()->FRoot->FRatio, evened);
  Ctrl(Qt::Key_Y);
  EXPECT_EQ(Host()->FRoot->FRatio, evened);
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
  for (const char* keys :
       {"Save the workspace (Ctrl+S)", "(Ctrl+Shift+S)", "Open a workspace (Ctrl+O)",
        "Go to the pane on the left (Ctrl+Shift+H)", "(Ctrl+Alt+Shift+J)"})
    EXPECT_NE(FForm->Panel1->Hint().find(keys), std::string::npos) << keys;
  EXPECT_EQ(Host()->FCurrent->AccessibleName(), "Pane 1 of 4, top left, editor");
  EXPECT_EQ(memo->AccessibleName(), "Pane 1 of 4, top left, editor");
  EXPECT_EQ(Host()->FRoot->FSecond->AccessibleName(), "") << "a split pane is only a frame";
  EXPECT_EQ(Host()->FRoot->FSecond->FSplitter->AccessibleName(),
            "Splitter between left and right halves of right, left 50%");
  EXPECT_EQ(splitter->AccessibleName(), "Splitter between left and right halves, left 50%");
  // The splitter has no window of its own: it is found the way assistive
  // technology walks the window, among the children of the pane it divides.
  QAccessibleInterface* pane = AccessibleInterface(Host()->FRoot);
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
  EXPECT_EQ(pane->role(), QAccessible::Pane);
  EXPECT_EQ(AccessibleInterface(FForm->Panel1)->role(), QAccessible::ToolBar);
  EXPECT_EQ(AccessibleInterface(FForm->MainPanel())->role(), QAccessible::Client)
      << "left as its widget has it";

  // The splitter's value: the left half's width, within what a drag allows;
  // set by assistive technology, it moves the splitter as a drag does.
  QAccessibleValueInterface* value = separator->valueInterface();
  ASSERT_NE(value, nullptr);
  const int most = Host()->FRoot->ClientWidth() - splitter->Width() - splitter->MinSize();
  struct Setting {
    int Asked, Got;
  };
  for (const Setting& set :
       {Setting{first + 25, first + 25}, Setting{-5, splitter->MinSize()}, Setting{100000, most}}) {
    value->setCurrentValue(set.Asked);
    Settle();
    EXPECT_EQ(Host()->FRoot->FFirst->Width(), set.Got) << "asked " << set.Asked;
    EXPECT_EQ(value->currentValue().toInt(), set.Got);
    EXPECT_EQ(value->minimumValue().toInt(), splitter->MinSize());
    EXPECT_EQ(value->maximumValue().toInt(), most);
    EXPECT_EQ(PaneShare(Host()->FRoot->Width(), Host()->FRoot->FRatio), set.Got);
  }
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo}));

  // The toolbar's buttons: named by caption, described by their tooltip,
  // their press bound to the keys of their command; pressing one from
  // assistive technology runs the command.
  const std::pair<TButton*, const char*> buttons[] = {
      {FForm->Button1, "Ctrl+Shift+N"}, {FForm->Button2, "Ctrl+Shift+O"},
      {FForm->Button3, "Ctrl+Shift+E"}, {FForm->Button4, "Ctrl+Shift+W"},
      {FForm->Button5, "Ctrl+Q"},       {FForm->Button6, "Ctrl+Shift+M"},
      {FForm->Button7, "Ctrl+Shift+G"}};
  for (const auto& [button, keys] : buttons) {
    QAccessibleInterface* a = AccessibleInterface(button);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(), button->Text());
    EXPECT_EQ(a->text(QAccessible::Description).toStdString(), button->Hint());
    ASSERT_NE(a->actionInterface(), nullptr);
    EXPECT_EQ(a->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
              QStringList{keys});
    EXPECT_TRUE(a->actionInterface()
                    ->keyBindingsForAction(QAccessibleActionInterface::setFocusAction())
                    .isEmpty())
        << "the keys run the command; they do not focus the button";
  }
  const std::string unsplit = Dump();
  AccessibleInterface(FForm->Button3)
      ->actionInterface()
      ->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(QTest::qWaitFor([&] { return Dump() != unsplit; }, 10000));
  EXPECT_EQ(Dump(), "[[[AAA*+1 | BBB] / BBB] | [AAA | BBB]]");

  // Leave.
  Keys(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(FForm->Visible());
}

// Ctrl+Tab goes through the panes' editors and grids in the panes' order,
// then to the toolbar; a pane brought back by an undo was skipped.
TEST_F(Keyboard, CtrlTabVisitsEveryPanesContentInOrderAlsoAfterAnUndo) {
  Ctrl(Qt::Key_N);
  Ctrl(Qt::Key_E);
  Ctrl(Qt::Key_M);
  Ctrl(Qt::Key_L);
  Ctrl(Qt::Key_E);
  Ctrl(Qt::Key_L);
  Ctrl(Qt::Key_M);
  Ctrl(Qt::Key_H);
  Ctrl(Qt::Key_G);  // the middle pane's grid is made last
  TSplitPanel* right = Host()->FRoot->FSecond;
  const std::vector<TControl*> contents = {Host()->FRoot->FFirst->Content(),
                                           right->FFirst->Content(), right->FSecond->Content()};
  auto walk = [&](bool AForward) {
    std::vector<QWidget*> seen;
    Host()->SetCurrent(AForward ? Host()->FRoot->FFirst : Host()->FRoot->FSecond->FSecond);
    for (int i = 0; i < 3; ++i) {
      Keys(Qt::Key_Tab, AForward ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
      seen.push_back(QApplication::focusWidget());
    }
    return seen;
  };
  const std::vector<QWidget*> forward = {contents[1]->Handle(), contents[2]->Handle(),
                                         FForm->Button1->Handle()};
  const std::vector<QWidget*> back = {contents[1]->Handle(), contents[0]->Handle(),
                                      FForm->Button7->Handle()};
  EXPECT_EQ(walk(true), forward);
  EXPECT_EQ(walk(false), back);
  for (int removed = 0; removed < 3; ++removed) {
    SCOPED_TRACE("pane " + std::to_string(removed + 1) + " removed and brought back");
    const TSplitPanel* panes[] = {Host()->FRoot->FFirst, Host()->FRoot->FSecond->FFirst,
                                  Host()->FRoot->FSecond->FSecond};
    Host()->SetCurrent(const_cast<TSplitPanel*>(panes[removed]));
    Ctrl(Qt::Key_W);
    Ctrl(Qt::Key_T);
    EXPECT_EQ(walk(true), forward) << Dump();
    EXPECT_EQ(walk(false), back) << Dump();
  }
  // Tab on the toolbar goes the same way: from its first button back to
  // the last pane's content, from its last on to the first pane's.
  FForm->Button1->SetFocus();
  Keys(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), contents[2]->Handle());
  FForm->Button7->SetFocus();
  Keys(Qt::Key_Tab, Qt::NoModifier);
  EXPECT_EQ(QApplication::focusWidget(), contents[0]->Handle());
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({contents.begin(), contents.end()}));
}

}  // namespace

namespace {

TEST_F(Keyboard, TheMoveModeSplitterRunsAndTurnsAreEachOneStepOfTheLayoutsUndo) {
  auto [memo, grid] = EditorBesideGrid("typed");
  ASSERT_NE(grid, nullptr);
  // The grid's cell holds the keyboard: the mode begins and ends there too.
  Ctrl(Qt::Key_R);
  EXPECT_TRUE(Host()->InMoveMode());
  EXPECT_EQ(Application->LastAnnouncement().rfind("Move: arrows swap", 0), 0u)
      << Application->LastAnnouncement();
  Keys(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(Host()->InMoveMode());
  Ctrl(Qt::Key_H);
  const std::string before = Dump();
  ASSERT_EQ(before, "[AAA*+1 | BBB+1]");
  const TPaneTree tree = Snapshot(Host()->FRoot);

  // The move mode: letters move the pane and never reach its editor; the
  // pane travels with the keys; Escape puts everything back.
  struct TMove {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Tree;  // afterwards
  };
  const TMove moves[] = {
      {Qt::Key_L, Qt::NoModifier, "[AAA+1 | BBB*+1]"},      // swapped with the grid
      {Qt::Key_Right, Qt::NoModifier, "[AAA+1 | BBB*+1]"},  // the window's edge
      {Qt::Key_K, Qt::ShiftModifier, "[AAA*+1 / BBB+1]"},   // along the top, a third
      {Qt::Key_F, Qt::NoModifier, "[AAA*+1 | BBB+1]"},      // turned side by side
      {Qt::Key_X, Qt::NoModifier, "[AAA*+1 | BBB+1]"},      // nothing, and no typing
  };
  Ctrl(Qt::Key_R);
  ASSERT_TRUE(Host()->InMoveMode());
  for (const TMove& move : moves) {
    Keys(move.Key, move.Modifiers);
    EXPECT_EQ(Dump(), move.Tree)
        << QKeySequence(move.Key | move.Modifiers).toString().toStdString();
    EXPECT_EQ(memo->Parent(), Host()->FCurrent) << "the pane moved is current";
    EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo, grid}));
  }
  EXPECT_EQ(Host()->FRoot->FRatio, 1.0f / 3);
  Keys(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(Host()->InMoveMode());
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(Snapshot(Host()->FRoot) == tree) << "every share and content as it was";
  EXPECT_EQ(memo->Text(), "typed");
  EXPECT_TRUE(memo->Focused());

  // Kept, the whole mode is one step of undo.
  Ctrl(Qt::Key_R);
  Keys(Qt::Key_L, Qt::NoModifier);
  Keys(Qt::Key_J, Qt::ShiftModifier);
  Keys(Qt::Key_Return, Qt::NoModifier);
  EXPECT_FALSE(Host()->InMoveMode());
  const std::string moved = Dump();
  EXPECT_EQ(moved, "[AAA+1 / BBB*+1]") << "along the bottom";
  Ctrl(Qt::Key_T);
  EXPECT_EQ(Dump(), before);
  Ctrl(Qt::Key_Y);
  EXPECT_EQ(Dump(), moved);
  Ctrl(Qt::Key_T);

  // Each drag of a splitter is a step; so is a run of presses on one.
  TSplitter* splitter = Host()->FRoot->FSplitter;
  std::vector<float> ratios{Host()->FRoot->FRatio};
  Drag(splitter, 1, 10, 40, 0, 3);
  ratios.push_back(Host()->FRoot->FRatio);
  Drag(splitter, 1, 10, -90, 0, 3);
  ratios.push_back(Host()->FRoot->FRatio);
  for (int i = 0; i < 3; ++i)
    Keys(Qt::Key_L, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  ratios.push_back(Host()->FRoot->FRatio);
  EXPECT_EQ(std::set<float>(ratios.begin(), ratios.end()).size(), ratios.size()) << "each moved";
  // The editor's typing stays with its own undo.
  TypeText(memo, " more");
  for (size_t i = ratios.size() - 1; i > 0; --i) {
    Ctrl(Qt::Key_T);
    EXPECT_EQ(Host()->FRoot->FRatio, ratios[i - 1]) << "undo " << ratios.size() - i;
  }
  EXPECT_EQ(memo->Text(), "typed more");
  Ctrl(Qt::Key_Y);
  EXPECT_EQ(Host()->FRoot->FRatio, ratios[1]);

  // An editor turned into a grid of its lines and fields, and back; the
  // undo brings back the very editor.
  memo->SetText("a\tb\nc\n");
  Host()->TurnCurrent();
  auto* turned = dynamic_cast<TStringGrid*>(Host()->FCurrent->Content());
  ASSERT_NE(turned, nullptr);
  EXPECT_EQ(turned->Cells(1, 1) + turned->Cells(2, 1) + turned->Cells(1, 2), "abc");
  Host()->TurnCurrent();
  auto* back = dynamic_cast<TMemo*>(Host()->FCurrent->Content());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Text(), "a\tb\nc\n");
  Host()->ClearCurrent();
  EXPECT_EQ(Host()->FCurrent->Content(), nullptr);
  for (int i = 0; i < 3; ++i) Ctrl(Qt::Key_T);
  EXPECT_EQ(Host()->FCurrent->Content(), memo);
  EXPECT_TRUE(memo->Visible());
  EXPECT_TRUE(memo->Focused());
  EXPECT_EQ(Application->LastAnnouncement().rfind("Undone: Editor turned into a grid. ", 0), 0u)
      << Application->LastAnnouncement();
  // The grid that undo took away holds text: the note says how to get it
  // back. An empty editor taken away goes without a word.
  EXPECT_NE(Application->LastNote().find("Ctrl+Shift+Y"), std::string::npos)
      << Application->LastNote();
  Host()->SplitCurrentIfRoom(alTop, 0.5f);
  Host()->SetCurrent(static_cast<TSplitPanel*>(Host()->FCurrent->Parent())->FSecond);
  ASSERT_NE(Host()->PutContent(ckMemo), nullptr);
  Application->ShowNote(nullptr, "none yet");
  Ctrl(Qt::Key_T);
  EXPECT_EQ(Host()->FCurrent->Content(), nullptr);
  EXPECT_EQ(Application->LastNote(), "none yet");
}

}  // namespace

namespace {

// Carries a pane by the pointer: a press on AFrom at its point (X, Y), with
// AModifiers, moved in steps to the point (AToX, AToY) of ATo, then released,
// or Escape there first.
void Carry(TControl* AFrom, int X, int Y, Qt::KeyboardModifiers AModifiers, TControl* ATo, int AToX,
           int AToY, bool AEscape = false) {
  QWidget* widget = AFrom->Handle();
  QWidget* window = widget->window();
  const QPoint start = widget->mapFrom(window, WindowPos(AFrom, X, Y));
  const QPoint end = widget->mapFrom(window, WindowPos(ATo, AToX, AToY));
  QTest::mousePress(widget, Qt::LeftButton, AModifiers, start);
  for (int i = 1; i <= 4; ++i) QTest::mouseMove(widget, start + (end - start) * i / 4);
  Settle();
  if (AEscape) QTest::keyClick(widget, Qt::Key_Escape);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, end);
  Settle();
}

TEST_F(Keyboard, APaneIsCarriedByThePointerToWhereTheWashShowsAndTheUndoPutsItBack) {
  auto [memo, grid] = EditorBesideGrid("notes");
  ASSERT_NE(grid, nullptr);
  Ctrl(Qt::Key_O);
  const std::string before = "[AAA+1 | [AAA*+1 / BBB]]";
  ASSERT_EQ(Dump(), before);
  const TPaneTree tree = Snapshot(Host()->FRoot);
  TSplitPanel* left = Host()->FRoot->FFirst;
  TSplitPanel* bottomRight = Host()->FRoot->FSecond->FSecond;

  struct TCase {
    const char* Name;
    bool FromEditor;  // else from the empty pane, with a plain drag
    bool ToLeft;      // onto the left pane, else onto the bottom right one
    double X, Y;      // where on it, as a share of its width and height
    bool Escape;
    const char* Tree;  // afterwards ("" for unchanged)
  };
  const TCase cases[] = {
      {"the editor's pane onto the middle of the empty one: they trade places", true, false, 0.5,
       0.5, false, "[AAA | [AAA+1 / BBB*+1]]"},
      {"the editor's pane onto the empty one's left edge: beside it", true, false, 0.1, 0.5, false,
       "[AAA+1 / [AAA*+1 | BBB]]"},
      {"the empty pane onto the editor's bottom edge: below it", false, true, 0.5, 0.9, false,
       "[[AAA+1 / BBB*] | BBB+1]"},
      {"Escape before the drop", true, false, 0.5, 0.5, true, ""},
      {"onto itself", false, false, 0.3, 0.3, false, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(Dump().find('*') != std::string::npos, true);
    TSplitPanel* to = c.ToLeft ? left : bottomRight;
    const int toX = static_cast<int>(to->Width() * c.X), toY = static_cast<int>(to->Height() * c.Y);
    if (c.FromEditor)
      Carry(memo, 20, 20, Qt::ControlModifier | Qt::ShiftModifier, to, toX, toY, c.Escape);
    else
      Carry(bottomRight->FPaintBox, 30, 30, Qt::NoModifier, to, toX, toY, c.Escape);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo, grid}));
    EXPECT_EQ(memo->Text(), "notes") << "the press in the editor typed or moved nothing";
    const std::string after = Dump();
    if (*c.Tree == 0) {
      EXPECT_EQ(after.find('/') != std::string::npos, true);
      EXPECT_TRUE(Snapshot(Host()->FRoot) == tree) << after;
      continue;
    }
    EXPECT_EQ(after, c.Tree);
    // What was carried is current, with the keys in it.
    EXPECT_EQ(Host()->FCurrent->Content(), c.FromEditor ? memo : nullptr);
    if (c.FromEditor) {
      EXPECT_TRUE(memo->Focused());
    }
    Ctrl(Qt::Key_T);
    std::string undone = Dump();
    undone.erase(std::remove(undone.begin(), undone.end(), '*'), undone.end());
    EXPECT_EQ(undone, "[AAA+1 | [AAA+1 / BBB]]");
    EXPECT_TRUE(Snapshot(Host()->FRoot) == tree) << "every share and content back";
    left = Host()->FRoot->FFirst;
    bottomRight = Host()->FRoot->FSecond->FSecond;
  }

  // Onto the edge of its sibling that faces it, a pane would land where it
  // is: nothing changes, and the note says so.
  TSplitPanel* topRight = Host()->FRoot->FSecond->FFirst;
  Carry(bottomRight->FPaintBox, 30, 30, Qt::NoModifier, topRight, topRight->Width() / 2,
        topRight->Height() * 9 / 10);
  EXPECT_TRUE(Snapshot(Host()->FRoot) == tree) << Dump();
  EXPECT_EQ(Application->LastNote(), "This pane is there already");

  // The pane's menu: Move This Pane picks the current one up; the next
  // click puts it down the same way.
  Host()->SetCurrent(left);
  Host()->PickUpCurrent();
  ASSERT_TRUE(Host()->PointerMove()->Active());
  QWidget* face = bottomRight->Handle();
  const QPoint middle = face->mapFrom(
      face->window(), WindowPos(bottomRight, bottomRight->Width() / 2, bottomRight->Height() / 2));
  QTest::mouseMove(face, middle);
  QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, middle);
  Settle();
  EXPECT_EQ(Dump(), "[AAA | [AAA+1 / BBB*+1]]");
  EXPECT_EQ(memo->Parent(), Host()->FCurrent);
}

}  // namespace
