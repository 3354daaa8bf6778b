#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/Unit1.h"
#include "tests/app/PaneTree.h"
#include "tests/support/Harness.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Memo.h"
#include "widgets/Peer.h"
#include "widgets/StringGrid.h"

using namespace testing_support;

namespace {

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    // Typed work makes leaving ask: these windows discard it.
    FAnswers.Buttons = {1, 1, 1, 1};
    SetDialogAnswers(&FAnswers);
    FForm = std::make_unique<TForm1>(nullptr);
  }
  void TearDown() override {
    FForm->Close();
    FForm.reset();
    SetDialogAnswers(nullptr);
  }
  TDialogAnswers FAnswers;
  void Press(TButton* AButton) { Click(AButton, 5, 5); }
  TMainPanel* Host() const { return FForm->MainPanel(); }
  std::unique_ptr<TForm1> FForm;
};

struct Expected {
  const char* Name;
  int Left, Top, Width, Height;
  TAlign Align;
  const char* Caption;
  int TabOrder;
};

TEST_F(MainWindow, LayoutLoadsWithEveryControlValueAndBinding) {
  TForm1& f = *FForm;
  EXPECT_EQ(f.Text(), "Panes") << "the program's name, not the form designer's default";
  EXPECT_EQ(f.Left(), 249);
  EXPECT_EQ(f.Top(), 114);
  EXPECT_EQ(f.Width(), 696);
  EXPECT_EQ(f.Height(), 480);
  EXPECT_EQ(f.ClientWidth(), 688);
  EXPECT_EQ(f.ClientHeight(), 446);
  // The layout asks for 100, which cut off the last buttons; the window
  // keeps all seven whole: the last ends at 448 + 57, then the toolbar's
  // left margin of 24 and the frame.
  EXPECT_EQ(f.MinWidth(), 448 + 57 + 24 + TForm::FrameWidth);
  EXPECT_EQ(f.MinHeight(), 150);
  EXPECT_EQ(f.Color(), clBtnFace);
  EXPECT_EQ(f.Font().Name, "MS Sans Serif");
  EXPECT_EQ(f.Font().Height, -11);
  EXPECT_EQ(f.Font().Color, clWindowText);
  EXPECT_EQ(f.OnClose.Object(), &f);

  const Expected table[] = {
      {"Splitter1", 0, 57, 688, 389, alClient, "", -1},
      {"Panel1", 0, 0, 688, 57, alTop, "Panel1", 0},
      {"Button1", 24, 8, 57, 41, alNone, "建立", 0},
      {"Button2", 88, 8, 73, 41, alNone, "水平分割", 1},
      {"Button3", 168, 8, 73, 41, alNone, "垂直分割", 2},
      {"Button4", 248, 8, 73, 41, alNone, "刪除視窗", 3},
      {"Button5", 328, 8, 57, 41, alNone, "離開", 4},
      {"Button6", 392, 8, 49, 41, alNone, "MEMO", 5},
      {"Button7", 448, 8, 57, 41, alNone, "StringGrid", 6},
      {"Panel2", 0, 57, 688, 389, alClient, "Panel2", 1},
  };
  TControl* fields[] = {f.Splitter1, f.Panel1,  f.Button1, f.Button2, f.Button3,
                        f.Button4,   f.Button5, f.Button6, f.Button7, f.Panel2};
  for (size_t i = 0; i < std::size(table); ++i) {
    const Expected& e = table[i];
    TControl* c = fields[i];
    ASSERT_NE(c, nullptr) << e.Name;
    SCOPED_TRACE(e.Name);
    EXPECT_EQ(c->Name(), e.Name);
    EXPECT_EQ(c->Left(), e.Left);
    EXPECT_EQ(c->Top(), e.Top);
    EXPECT_EQ(c->Width(), e.Width);
    EXPECT_EQ(c->Height(), e.Height);
    EXPECT_EQ(c->Align(), e.Align);
    EXPECT_EQ(c->Text(), e.Caption);
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      EXPECT_EQ(w->TabOrder(), e.TabOrder);
    }
    EXPECT_EQ(c->Owner(), &f);
  }
  // Stream order is creation order.
  EXPECT_EQ(f.Controls(0), f.Splitter1);
  EXPECT_EQ(f.Controls(1), f.Panel1);
  EXPECT_EQ(f.Controls(2), f.Panel2);
  EXPECT_EQ(f.Button1->Parent(), f.Panel1);
  EXPECT_EQ(f.Splitter1->Cursor(), crHSplit);
  TButton* buttons[] = {f.Button1, f.Button2, f.Button3, f.Button4,
                        f.Button5, f.Button6, f.Button7};
  for (TButton* b : buttons) EXPECT_EQ(b->OnClick.Object(), &f) << b->Name();
  EXPECT_EQ(f.Panel2->OnResize.Object(), &f);
}

TEST_F(MainWindow, CommandsBeforeCreateDoNothingAndCreateWorksOnce) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button2);
  Press(FForm->Button3);
  Press(FForm->Button4);
  Press(FForm->Button6);
  Press(FForm->Button7);
  FForm->SetClientSize(500, 400);
  EXPECT_EQ(Host(), nullptr);
  EXPECT_EQ(FForm->Panel2->ComponentCount(), 0) << "nothing made before the base pane";
  Press(FForm->Button1);
  TMainPanel* host = Host();
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->Parent(), FForm.get());
  EXPECT_EQ(host->Owner(), FForm->Panel2);
  EXPECT_EQ(host->Align(), alClient);
  EXPECT_EQ(host->Top(), 57);
  EXPECT_EQ(host->Height(), 400 - 57);
  Press(FForm->Button1);
  EXPECT_EQ(Host(), host);
  EXPECT_EQ(pane_tree::Dump(host), "BASEPANEL*");
}

TEST_F(MainWindow, SplittingAndClickingMoveTheRedFrameOnScreen) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  Settle();
  TSplitPanel* root = Host()->FRoot;
  EXPECT_FALSE(RedBox(root->FPaintBox).isEmpty());
  Press(FForm->Button2);
  Press(FForm->Button3);
  EXPECT_EQ(pane_tree::Dump(Host()), "[[AAA* | BBB] / BBB]");
  TSplitPanel* topLeft = root->FFirst->FFirst;
  TSplitPanel* bottom = root->FSecond;
  EXPECT_EQ(RedBox(topLeft->FPaintBox).size(),
            QSize(topLeft->FPaintBox->Width(), topLeft->FPaintBox->Height()));
  Click(bottom->FPaintBox, 40, 40);
  EXPECT_EQ(Host()->FCurrent, bottom);
  EXPECT_TRUE(RedBox(topLeft->FPaintBox).isEmpty());
  EXPECT_FALSE(RedBox(bottom->FPaintBox).isEmpty());
  Press(FForm->Button4);
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* | BBB]");
  EXPECT_TREE_SOUND(Host());

  // Nobody listens: the panes' names wait, what is said still names the
  // pane; once a screen reader starts, every pane has its name.
  ASSERT_FALSE(Application->AssistiveTechnologyListening());
  Press(FForm->Button3);
  EXPECT_EQ(Application->LastAnnouncement(),
            "Split into left and right halves. Pane 1 of 3, left, empty");
  EXPECT_NE(Host()->FCurrent->AccessibleName(), "Pane 1 of 3, left, empty") << "not yet";
  SetAccessibleEventSink([](QAccessibleEvent*) {});
  Settle();
  pane_tree::CheckOptions named;
  named.Named = true;
  EXPECT_TREE_SOUND(Host(), named);
  EXPECT_EQ(Host()->FCurrent->AccessibleName(), "Pane 1 of 3, left, empty");
  SetAccessibleEventSink(nullptr);
}

// The whole ring of a pane's paint box is red on the screen.
void ExpectFramed(TSplitPanel* APane) {
  const QSize ring(APane->FPaintBox->Width(), APane->FPaintBox->Height());
  EXPECT_EQ(RedBox(APane->FPaintBox).size(), ring) << APane->Text();
}

template <class T>
T* ContentOf(TSplitPanel* APane) {
  return dynamic_cast<T*>(APane->Content());
}

TEST_F(MainWindow, EveryPaneHoldsItsOwnEditorOrGridAndTypingGoesWhereTheFrameIs) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  EXPECT_TRUE(Host()->FRoot->Focused()) << "the empty base pane holds the keyboard";
  Press(FForm->Button3);
  TSplitPanel* left = Host()->FCurrent;
  TSplitPanel* right = Host()->FRoot->FSecond;
  EXPECT_TRUE(left->Focused());
  Press(FForm->Button6);
  auto* memo = ContentOf<TMemo>(left);
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->Align(), alClient);
  EXPECT_EQ(memo->Owner(), FForm->Panel2);
  EXPECT_EQ(memo->Width(), left->Width() - 4) << "inside the bevel and the frame";
  EXPECT_TRUE(memo->Focused()) << "typing goes into the new editor";
  TypeText(memo, "hello panes");
  EXPECT_EQ(memo->Text(), "hello panes");
  ExpectFramed(left);

  // The other pane gets an editor of its own; typing follows the frame.
  Click(right->FPaintBox, 10, 10);
  EXPECT_EQ(Host()->FCurrent, right);
  EXPECT_TRUE(right->Focused()) << "an empty pane takes the keyboard from the editor";
  TypeText(right, "lost?");
  EXPECT_EQ(memo->Text(), "hello panes") << "typing after a click on another pane";
  Press(FForm->Button6);
  auto* second = ContentOf<TMemo>(right);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, memo);
  TypeText(second, "right");
  EXPECT_EQ(second->Text(), "right");
  EXPECT_EQ(memo->Text(), "hello panes");

  // A content command on a pane that holds something leaves it there, gives
  // it the keyboard and says so.
  Press(FForm->Button7);
  EXPECT_EQ(right->Content(), second);
  EXPECT_TRUE(second->Visible());
  EXPECT_TRUE(second->Focused());
  EXPECT_EQ(Application->LastNote(), "This pane already holds an editor");
  Press(FForm->Button6);
  EXPECT_EQ(right->Content(), second);
  EXPECT_EQ(right->Contents().size(), 1u);

  // Clicks on the content and focus coming in move the frame with them.
  ClickOnTop(memo, 30, 30);
  EXPECT_EQ(Host()->FCurrent, left);
  ExpectFramed(left);
  EXPECT_TRUE(RedBox(right->FPaintBox).isEmpty());
  second->SetFocus();
  Settle();
  EXPECT_EQ(Host()->FCurrent, right);
  ExpectFramed(right);
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo, second}));
}

TEST_F(MainWindow, AGridKeepsItsCellsAndCurrentCellThroughCommandsAndLetsCtrlTabOut) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  Press(FForm->Button3);
  TSplitPanel* left = Host()->FCurrent;
  Press(FForm->Button7);
  auto* grid = ContentOf<TStringGrid>(left);
  ASSERT_NE(grid, nullptr);
  EXPECT_TRUE(grid->Focused());
  // Enter keeps what was typed and goes down a row, as in a spreadsheet.
  TypeText(grid, "7");
  PressKey(grid, Qt::Key_Return);
  EXPECT_EQ(grid->Cells(1, 1), "7");
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(1, 2));
  // Splits by key and by button, moves and zoom leave the current cell be.
  auto keys = [&](Qt::Key AKey, Qt::KeyboardModifiers AModifiers) {
    QTest::keyClick(QApplication::focusWidget(), AKey, AModifiers);
    Settle();
  };
  keys(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  Press(FForm->Button3);
  keys(Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
  keys(Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
  keys(Qt::Key_F6, Qt::NoModifier);
  keys(Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_EQ(grid->Parent(), Host()->FCurrent);
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(1, 2));
  EXPECT_EQ(grid->Cells(1, 1), "7");
  // Typing into the grid edits its current cell; Ctrl+Tab leaves the grid
  // for the toolbar, Ctrl+Shift+Tab comes back the other way.
  keys(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(QApplication::focusWidget(), FForm->Button1->Handle());
  keys(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(grid->Focused());
  keys(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), FForm->Button7->Handle());
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(1, 2));
  // Typing at once after a click on the current cell keeps every letter
  // (Qt's own edit of a clicked current cell came a moment later and lost
  // them); Ctrl+Tab leaves a cell being edited too, and the cell keeps what
  // was typed.
  grid->SetFocus();
  ClickOnTop(grid, 64 + 32, 24 + 12);
  TypeText(grid, "hello");
  QTest::qWait(QApplication::doubleClickInterval() + 200);
  EXPECT_EQ(grid->Cells(1, 1), "hello") << "the cell being edited reads as typed so far";
  keys(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_FALSE(grid->Focused());
  EXPECT_EQ(grid->Cells(1, 1), "hello");
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(1, 1));
  // Nor does a click and a quick move to another pane leave a late edit
  // behind that takes the keyboard back.
  grid->SetFocus();
  ClickOnTop(grid, 64 + 32, 24 + 12);
  EXPECT_TRUE(grid->Focused());
  keys(Qt::Key_F6, Qt::NoModifier);
  QTest::qWait(QApplication::doubleClickInterval() + 200);
  EXPECT_NE(Host()->FCurrent, grid->Parent());
  EXPECT_TRUE(Host()->FCurrent->Focused()) << "a late cell edit took the keyboard";
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({grid}));
}

TEST_F(MainWindow, SplittingAndDeletingAroundContentNeverHidesIt) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  Press(FForm->Button6);
  auto* memo = ContentOf<TMemo>(Host()->FCurrent);
  TypeText(memo, "first line");
  auto* editor = static_cast<QPlainTextEdit*>(memo->Handle());
  QTextCursor cursor = editor->textCursor();
  cursor.setPosition(2);
  cursor.setPosition(7, QTextCursor::KeepAnchor);
  editor->setTextCursor(cursor);
  // The content moves into the half that becomes current, text, selection
  // and all.
  Press(FForm->Button2);
  EXPECT_EQ(memo->Parent(), Host()->FCurrent);
  EXPECT_EQ(Host()->FCurrent, Host()->FRoot->FFirst);
  EXPECT_TRUE(memo->Handle()->isVisible());
  EXPECT_EQ(editor->textCursor().selectedText(), "rst l");
  ExpectFramed(Host()->FCurrent);
  Press(FForm->Button3);
  EXPECT_EQ(memo->Parent(), Host()->FCurrent);
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo}));

  // Removing the pane that holds it hides it for an undo; new content can
  // be made all the same, and the undo brings the old one back.
  Press(FForm->Button4);
  EXPECT_FALSE(memo->Visible());
  Press(FForm->Button6);
  auto* fresh = ContentOf<TMemo>(Host()->FCurrent);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Text(), "");
  Press(FForm->Button2);
  Click(static_cast<TSplitPanel*>(Host()->FCurrent->Parent())->FSecond->FPaintBox, 10, 10);
  Press(FForm->Button7);
  auto* grid = ContentOf<TStringGrid>(Host()->FCurrent);
  ASSERT_NE(grid, nullptr);
  Host()->UndoLayout();  // the grid put in
  Host()->UndoLayout();  // the split
  Host()->UndoLayout();  // the editor put in
  Host()->UndoLayout();
  EXPECT_EQ(memo->Parent(), Host()->FCurrent);
  EXPECT_TRUE(memo->Visible());
  EXPECT_EQ(memo->Text(), "first line");
  EXPECT_TRUE(memo->Focused());
  EXPECT_TREE_SOUND(Host(), pane_tree::Holding({memo, fresh, grid}));
  Press(FForm->Button4);
  FAnswers.Shown.clear();
  FForm->Close();  // must not free the editor again
  ASSERT_EQ(FAnswers.Shown.size(), 1u) << "typed work, even kept for an undo, is asked about";
  EXPECT_EQ(FAnswers.Shown[0].rfind("Save the changes to this window before leaving?", 0), 0u);
  FForm->Close();  // nor the host
  EXPECT_EQ(Host(), nullptr);
}

TEST_F(MainWindow, EditorInTheSurvivingPaneKeepsItsText) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  Press(FForm->Button2);
  Click(Host()->FRoot->FSecond->FPaintBox, 10, 10);
  Press(FForm->Button6);
  auto* memo = ContentOf<TMemo>(Host()->FCurrent);
  TypeText(memo, "keep me");
  Click(Host()->FRoot->FFirst->FPaintBox, 10, 10);
  Press(FForm->Button4);
  EXPECT_EQ(memo->Parent(), Host()->FRoot);
  EXPECT_EQ(memo->Text(), "keep me");
  EXPECT_TRUE(memo->Focused()) << "the surviving pane is current and its editor has the keys";
  EXPECT_EQ(memo->OnMouseDown.Object(), Host()) << "bound to the host, which finds the pane";
}

TEST_F(MainWindow, ARemovalThatAdoptsSplitHalvesLeavesTheirFirstLeafFramed) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  Press(FForm->Button3);
  Click(Host()->FRoot->FSecond->FPaintBox, 10, 10);
  Press(FForm->Button2);
  Press(FForm->Button3);
  Click(Host()->FRoot->FFirst->FPaintBox, 10, 10);
  Press(FForm->Button4);
  EXPECT_EQ(pane_tree::Dump(Host()), "[[AAA* | BBB] / BBB]");
  ExpectFramed(Host()->FCurrent);
  TSplitPanel* framed = Host()->FCurrent;
  Press(FForm->Button4);
  EXPECT_EQ(pane_tree::Dump(Host()), "[AAA* / BBB]") << "the framed pane went, nothing else";
  EXPECT_NE(Host()->FCurrent, framed);
  ExpectFramed(Host()->FCurrent);
  EXPECT_TREE_SOUND(Host());
}

TEST_F(MainWindow, ResizingTheWindowKeepsEveryProportion) {
  ShowAndSettle(FForm.get());
  Press(FForm->Button1);
  Press(FForm->Button3);
  Press(FForm->Button2);
  Press(FForm->Button3);
  Drag(Host()->FRoot->FSplitter, 1, 30, -120, 0);
  for (auto size : {std::pair{1000, 700}, {300, 200}, {92, 116}, {2400, 1600}}) {
    FForm->SetClientSize(size.first, size.second);
    SCOPED_TRACE(size.first);
    EXPECT_EQ(Host()->Height(), std::max(0, size.second - 57));
    EXPECT_TREE_SOUND(Host());
  }
  // The window system resizing the window runs the same pass.
  FForm->Handle()->resize(800, 500);
  Settle();
  EXPECT_EQ(FForm->ClientWidth(), 800);
  EXPECT_EQ(Host()->FRoot->FFirst->Width(), PaneShare(800, Host()->FRoot->FRatio));
  EXPECT_TREE_SOUND(Host());
}

TEST(MainWindowRun, LeaveClosesTheWindowAndEndsTheRun) {
  ASSERT_EQ(Application->MainForm(), nullptr);
  Application->CreateForm(Form1);
  ASSERT_EQ(Application->MainForm(), Form1);
  QTimer::singleShot(0, [] {
    Click(Form1->Button1, 5, 5);
    Click(Form1->Button2, 5, 5);
    Click(Form1->Button6, 5, 5);
    Click(Form1->Button5, 5, 5);
  });
  Application->Run();  // returns once the window closed
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(Form1->Visible());
  EXPECT_EQ(Form1->MainPanel(), nullptr);
  delete Form1;
  Form1 = nullptr;
}

}  // namespace
