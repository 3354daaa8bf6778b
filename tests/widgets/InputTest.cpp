#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QWidget>
#include <memory>
#include <stdexcept>

#include "tests/support/Harness.h"
#include "widgets/Widgets.h"

using namespace testing_support;

namespace {

class TCommands : public TObject {
 public:
  int Clicks = 0;
  std::vector<std::string> Reported;
  void Click(TObject* /*ASender*/) { ++Clicks; }
  void Fail(TObject* /*ASender*/) { throw Exception("The pane cannot be split"); }
  void FailStd(TObject* /*ASender*/) { throw std::runtime_error("out of range"); }
  int Closes = 0;
  TCloseAction Answer = caHide;
  void Closing(TObject* /*ASender*/, TCloseAction& AAction) {
    ++Closes;
    EXPECT_EQ(AAction, caHide);
    AAction = Answer;
  }
  void Report(TObject* /*ASender*/, const Exception& AError) {
    Reported.push_back(AError.Message());
  }
};

class Input : public testing::Test {
 protected:
  void SetUp() override {
    FForm.reset(TForm::CreateNew(nullptr));
    FForm->SetClientSize(400, 300);
    Application->OnException = TExceptionEvent(&FCommands, &TCommands::Report);
  }
  void TearDown() override { Application->OnException = TExceptionEvent(); }
  TButton* AddButton(int ALeft, int ATabOrder, const std::string& ACaption) {
    auto* button = new TButton(FForm.get());
    button->SetParent(FForm.get());
    button->SetBounds(ALeft, 8, 70, 30);
    button->SetText(ACaption);
    button->SetTabOrder(ATabOrder);
    button->OnClick = TNotifyEvent(&FCommands, &TCommands::Click);
    return button;
  }
  std::unique_ptr<TForm> FForm;
  TCommands FCommands;
};

TEST_F(Input, ButtonsAnswerMouseAndKeyboardAndTabFollowsTabOrder) {
  TButton* second = AddButton(100, 1, "水平分割");
  TButton* first = AddButton(10, 0, "建立");
  ShowAndSettle(FForm.get());
  Click(first, 5, 5);
  EXPECT_EQ(FCommands.Clicks, 1);
  Click(first, 5, 5, Qt::RightButton);
  EXPECT_EQ(FCommands.Clicks, 1) << "only the left button presses a button";
  first->SetFocus();
  Settle();
  PressKey(first, Qt::Key_Space);
  EXPECT_EQ(FCommands.Clicks, 2);
  PressKey(first, Qt::Key_Return);
  EXPECT_EQ(FCommands.Clicks, 3);
  // Tab goes by tab order, not by creation order.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  Settle();
  EXPECT_EQ(QApplication::focusWidget(), second->Handle());
}

TEST_F(Input, ExceptionInAHandlerIsReportedAndTheProgramGoesOn) {
  TButton* button = AddButton(10, 0, "Go");
  ShowAndSettle(FForm.get());
  button->OnClick = TNotifyEvent(&FCommands, &TCommands::Fail);
  Click(button, 5, 5);
  button->OnClick = TNotifyEvent(&FCommands, &TCommands::FailStd);
  Click(button, 5, 5);
  EXPECT_EQ(FCommands.Reported,
            (std::vector<std::string>{"The pane cannot be split", "out of range"}));
  button->OnClick = TNotifyEvent(&FCommands, &TCommands::Click);
  Click(button, 5, 5);
  EXPECT_EQ(FCommands.Clicks, 1);
}

// A window the user had moved jumped back to its first place at the next
// change of its size.
TEST_F(Input, WindowMovedByTheWindowSystemStaysWhereItWasPut) {
  ShowAndSettle(FForm.get());
  FForm->Handle()->move(17, 23);
  Settle();
  EXPECT_EQ(FForm->Left(), 17);
  EXPECT_EQ(FForm->Top(), 23);
  FForm->SetClientSize(333, 222);
  Settle();
  EXPECT_EQ(FForm->Handle()->pos(), QPoint(17, 23));
  EXPECT_EQ(FForm->Handle()->size(), QSize(333, 222));
}

TEST_F(Input, WindowManagerCloseAsksOnCloseWhichMayRefuse) {
  ShowAndSettle(FForm.get());
  FForm->OnClose = TCloseEvent(&FCommands, &TCommands::Closing);
  FCommands.Answer = caNone;
  QCloseEvent refused;
  QApplication::sendEvent(FForm->Handle(), &refused);
  EXPECT_EQ(FCommands.Closes, 1);
  EXPECT_TRUE(FForm->Visible());
  EXPECT_TRUE(FForm->Handle()->isVisible());
  FCommands.Answer = caHide;
  QCloseEvent accepted;
  QApplication::sendEvent(FForm->Handle(), &accepted);
  EXPECT_EQ(FCommands.Closes, 2);
  EXPECT_FALSE(FForm->Visible());
  EXPECT_FALSE(FForm->Handle()->isVisible());
}

TEST_F(Input, MemoKeepsWhatTheUserTypes) {
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(FForm.get());
  memo->SetAlign(alClient);
  ShowAndSettle(FForm.get());
  memo->SetFocus();
  TypeText(memo, "first line");
  PressKey(memo, Qt::Key_Return);
  TypeText(memo, "second");
  EXPECT_EQ(memo->Text(), "first line\nsecond");
  QTest::keyClick(memo->Handle(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(memo->Text(), "first line\nsecond") << "undo works";
  memo->SetText("replaced");
  EXPECT_EQ(memo->Text(), "replaced");

  // Text past the bottom shows a scroll bar; a sliver of an editor has
  // none, and a long wrapped text there must not keep the program busy.
  auto* editor = static_cast<QPlainTextEdit*>(memo->Handle());
  std::string lines;
  for (int i = 0; i < 60; ++i) lines += "line " + std::to_string(i) + " of a long note\n";
  memo->SetText(lines);
  Settle();
  EXPECT_TRUE(editor->verticalScrollBar()->isVisible());
  for (int width : {0, 1, 7, 20, 33}) {
    FForm->SetClientSize(width, 200);
    Settle();
    EXPECT_FALSE(editor->verticalScrollBar()->isVisible()) << width;
  }
  FForm->SetClientSize(400, 300);
  Settle();
  EXPECT_TRUE(editor->verticalScrollBar()->isVisible());
  EXPECT_EQ(memo->Text(), lines);
}

TEST_F(Input, FindBarFindsAsTypedGoesRoundAndGivesTheKeysBack) {
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(FForm.get());
  memo->SetAlign(alClient);
  ShowAndSettle(FForm.get());
  memo->SetText("one two\nTwo three two");
  memo->SetFocus();
  auto* editor = static_cast<QPlainTextEdit*>(memo->Handle());
  auto match = [&] {
    const QTextCursor c = editor->textCursor();
    return std::to_string(c.selectionStart()) + " " + c.selectedText().toStdString();
  };
  memo->ShowFindBar();
  Settle();
  ASSERT_TRUE(memo->FindBarShown());
  TypeText(memo, "tw");
  EXPECT_EQ(match(), "4 tw");
  TypeText(memo, "o");
  EXPECT_EQ(match(), "4 two") << "the match grows where it began";
  // Return goes on (any case), past the end round to the start; Shift+Return
  // goes back, round past the start.
  // Each find says its line to a screen reader, and when it went round.
  const std::pair<const char*, const char*> finds[] = {
      {"8 Two", "line 2, Two three two"},
      {"18 two", "line 2, Two three two"},
      {"4 two", "From the top again: line 1, one two"}};
  for (const auto& [expected, said] : finds) {
    PressKey(memo, Qt::Key_Return);
    EXPECT_EQ(match(), expected);
    EXPECT_EQ(Application->LastAnnouncement(), said);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(match(), "18 two");
  EXPECT_TRUE(memo->FindNext(false));
  EXPECT_EQ(match(), "8 Two");
  // Nowhere: the selection stays and a note says so.
  memo->SetFindText("zzz");
  EXPECT_FALSE(memo->FindNext(true));
  EXPECT_EQ(match(), "8 Two");
  EXPECT_EQ(Application->LastNote(), "\u201czzz\u201d is not in this editor");
  // Tab goes to the text the bar searches, not on to another control.
  memo->ShowFindBar();
  PressKey(memo, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), editor);
  memo->ShowFindBar();
  // Escape closes the bar; the keys are in the text again.
  PressKey(memo, Qt::Key_Escape);
  EXPECT_FALSE(memo->FindBarShown());
  EXPECT_EQ(QApplication::focusWidget(), editor);
  EXPECT_EQ(memo->Text(), "one two\nTwo three two");
}

// Qt handed the focus of a hidden or destroyed editor to the next one, which
// then reported that the user came into it; a destroyed editor's own input
// watch was also still called while it went (a use after free).
TEST_F(Input, HidingOrDestroyingTheFocusedEditorLeavesTheFocusWithItsWindow) {
  auto* first = new TMemo(FForm.get());
  first->SetParent(FForm.get());
  first->SetAlign(alLeft);
  first->SetWidth(100);
  auto* second = new TStringGrid(FForm.get());
  second->SetParent(FForm.get());
  second->SetAlign(alClient);
  second->OnEnter = TNotifyEvent(&FCommands, &TCommands::Click);
  ShowAndSettle(FForm.get());
  first->SetFocus();
  Settle();
  first->SetVisible(false);
  Settle();
  EXPECT_EQ(FCommands.Clicks, 0) << "the grid was told the user came into it";
  EXPECT_EQ(QApplication::focusWidget(), FForm->Handle());
  first->SetVisible(true);
  first->SetFocus();
  Settle();
  delete first;
  Settle();
  EXPECT_EQ(FCommands.Clicks, 0);
  EXPECT_EQ(QApplication::focusWidget(), FForm->Handle());
  second->SetFocus();
  Settle();
  EXPECT_EQ(FCommands.Clicks, 1) << "coming in from outside is reported";
}

// Focus moved while the window was inactive left an editor believing it
// still had it, so Tab back into it was not reported.
TEST_F(Input, FocusComingBackIntoAnEditorAfterTheWindowWasInactiveIsReported) {
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(FForm.get());
  memo->SetAlign(alLeft);
  memo->SetWidth(100);
  memo->OnEnter = TNotifyEvent(&FCommands, &TCommands::Click);
  auto* grid = new TStringGrid(FForm.get());
  grid->SetParent(FForm.get());
  grid->SetAlign(alClient);
  ShowAndSettle(FForm.get());
  grid->SetFocus();
  Settle();
  memo->SetFocus();
  Settle();
  EXPECT_EQ(FCommands.Clicks, 1);
  QApplication::setActiveWindow(nullptr);  // another program takes the keyboard
  Settle();
  grid->SetFocus();  // remembered for when the window comes back
  QApplication::setActiveWindow(FForm->Handle());
  Settle();
  EXPECT_EQ(FCommands.Clicks, 1) << "the window coming back is not the user entering";
  memo->SetFocus();
  Settle();
  EXPECT_EQ(FCommands.Clicks, 2);
}

TEST_F(Input, StringGridHasFixedHeadingsAndTakesTyping) {
  auto* grid = new TStringGrid(FForm.get());
  grid->SetParent(FForm.get());
  grid->SetAlign(alClient);
  ShowAndSettle(FForm.get());
  EXPECT_EQ(grid->ColCount(), 5);
  EXPECT_EQ(grid->RowCount(), 5);
  grid->SetFocus();
  Settle();
  // The current cell starts at the first editable one; typing edits it,
  // Enter keeps the text and goes down a row.
  TypeText(grid, "42");
  PressKey(grid, Qt::Key_Return);
  EXPECT_EQ(grid->Cells(1, 1), "42");
  PressKey(grid, Qt::Key_Up);
  PressKey(grid, Qt::Key_Right);
  TypeText(grid, "x");
  PressKey(grid, Qt::Key_Return);
  EXPECT_EQ(grid->Cells(2, 1), "x");
  grid->SetCells(3, 0, "Col");
  grid->SetCells(0, 2, "Row");
  EXPECT_EQ(grid->Cells(3, 0), "Col");
  EXPECT_EQ(grid->Cells(0, 2), "Row");
  grid->SetCells(9, 9, "ignored");
  EXPECT_EQ(grid->Cells(9, 9), "");

  // The current cell, counted with the fixed ones, stays where it is when
  // the focused grid moves to another parent (Qt would move it on as if the
  // user pressed Tab) or hides.
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(2, 2));
  grid->SetCol(3);
  grid->SetRow(4);
  grid->SetCol(0);  // a fixed column takes no typing: ignored
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(3, 4));
  auto* panel = new TPanel(FForm.get());
  panel->SetParent(FForm.get());
  panel->SetAlign(alClient);
  grid->SetFocus();
  grid->SetParent(panel);
  Settle();
  EXPECT_TRUE(grid->Focused()) << "a control that moves within its window keeps the keyboard";
  grid->SetVisible(false);
  grid->SetVisible(true);
  EXPECT_EQ(std::pair(grid->Col(), grid->Row()), std::pair(3, 4));
}

}  // namespace
