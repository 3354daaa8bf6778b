#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QWidget>
#include <memory>
#include <random>
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

// Where the character after (before) APosition in AText ends (starts):
// past a pair of surrogates and the marks that go with it.
int Next(const QString& AText, int APosition) {
  if (APosition >= AText.size()) return APosition;
  int next = APosition + (AText[APosition].isHighSurrogate() ? 2 : 1);
  while (next < AText.size() && AText[next].isMark()) ++next;
  return next;
}
int Previous(const QString& AText, int APosition) {
  int previous = APosition;
  while (previous > 0 && AText[previous - 1].isMark()) --previous;
  if (previous > 0) previous -= AText[previous - 1].isLowSurrogate() ? 2 : 1;
  return previous;
}

// Lines of many thousand characters: the editor's text is always exactly
// what was typed into it, whatever it does to show long lines. Each key at
// every place near every 4,096th character of the long lines, from the
// same text; then random edits (typing, Return, Backspace, Delete, cut and
// paste, the arrows) one after another, each checked against the same edit
// on a plain string; then undo all the way back.
TEST_F(Input, MemoWithHugeLinesKeepsEveryCharacterThroughEdits) {
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(FForm.get());
  memo->SetAlign(alClient);
  ShowAndSettle(FForm.get());
  memo->SetFocus();
  // Long lines with and without spaces, a character beyond the basic plane
  // and a combining mark where such a line may be cut, a no-break space,
  // short and empty lines, no line feed at the end.
  std::string unbroken(9000, 'u');
  unbroken.replace(4095, 1, "\xF0\x9F\x98\x80");  // 😀 across the 4,096th character
  unbroken.replace(8192, 1, "e\xCC\x81");         // é as e and a combining acute
  std::string words;
  while (words.size() < 12000)
    words +=
        "panes\xC2\xA0"
        "and splits \xE4\xB8\xAD ";
  const std::string original = unbroken + "\nshort\n\n" + words + "\n" + unbroken;
  memo->OnChange = TNotifyEvent(&FCommands, &TCommands::Click);
  memo->SetText(original);
  ASSERT_EQ(memo->Text(), original) << "read back as it was set";
  EXPECT_EQ(FCommands.Clicks, 1) << "one change told, however the text is held";
  memo->OnChange = TNotifyEvent();

  // The model counts as the editor does: UTF-16 units.
  QString model = QString::fromStdString(original);
  auto caretTo = [&memo, &model](int APosition) {
    // Never inside a character beyond the basic plane.
    if (APosition > 0 && APosition < model.size() && model[APosition].isLowSurrogate()) --APosition;
    memo->SetSelection(APosition, APosition);
    EXPECT_EQ(memo->CaretPosition(), APosition);
    return APosition;
  };
  // One key at APosition, in the editor and in the model.
  auto key = [&](int AWhat, int APosition) {
    const int p = caretTo(APosition);
    switch (AWhat) {
      case 0:
        TypeText(memo, "ab");
        model.insert(p, u"ab");
        return "type at " + std::to_string(p);
      case 1:
        PressKey(memo, Qt::Key_Return);
        model.insert(p, u'\n');
        return "Return at " + std::to_string(p);
      case 6:
        // There and back (the caret may now be where a piece begins).
        PressKey(memo, Qt::Key_Right);
        PressKey(memo, Qt::Key_Left);
        if (memo->CaretPosition() != p) return "Right and Left at " + std::to_string(p);
        [[fallthrough]];
      case 2: {
        PressKey(memo, Qt::Key_Backspace);
        const int units = p > 0 && model[p - 1].isLowSurrogate() ? 2 : 1;
        if (p > 0) model.remove(p - units, units);
        return "Backspace at " + std::to_string(p);
      }
      case 3:
        // Delete and the arrows go over a whole character (with its marks).
        PressKey(memo, Qt::Key_Delete);
        model.remove(p, Next(model, p) - p);
        return "Delete at " + std::to_string(p);
      default: {
        const bool right = AWhat == 4;
        PressKey(memo, right ? Qt::Key_Right : Qt::Key_Left);
        EXPECT_EQ(memo->CaretPosition(), right ? Next(model, p) : Previous(model, p))
            << "arrow at " << p;
        return "arrow at " + std::to_string(p);
      }
    }
  };
  const int lastLine = static_cast<int>(model.lastIndexOf(u'\n')) + 1;
  for (const int line : {0, lastLine})
    for (const int near : {4096, 8192})
      for (int p = line + near - 5; p <= line + near + 5; ++p)
        for (int what = 0; what < 7; ++what) {
          memo->SetText(original);
          model = QString::fromStdString(original);
          const std::string did = key(what, p);
          ASSERT_EQ(memo->Text(), model.toStdString()) << did;
        }

  std::mt19937 random(7);
  auto at = [&random](qsizetype AEnd) {
    return static_cast<int>(std::uniform_int_distribution<qsizetype>(0, AEnd)(random));
  };
  memo->SetText(original);
  model = QString::fromStdString(original);
  for (int step = 0; step < 150; ++step) {
    const int what = at(6);
    std::string did;
    if (what == 6) {
      // Cut a stretch across pieces, then paste it somewhere else.
      const int from = caretTo(at(model.size() - 1));
      int to = std::min<int>(static_cast<int>(model.size()), from + 1 + at(9000));
      if (to < model.size() && model[to].isLowSurrogate()) ++to;
      memo->SetSelection(from, to);
      QTest::keyClick(memo->Handle(), Qt::Key_X, Qt::ControlModifier);
      const QString cut = model.mid(from, to - from);
      EXPECT_EQ(QApplication::clipboard()->text(), cut) << "cut";
      model.remove(from, to - from);
      const int p = caretTo(at(model.size()));
      QTest::keyClick(memo->Handle(), Qt::Key_V, Qt::ControlModifier);
      model.insert(p, cut);
      did = "cut " + std::to_string(from) + ".." + std::to_string(to) + ", paste at " +
            std::to_string(p);
    } else {
      did = key(what, at(model.size()));
    }
    ASSERT_EQ(memo->Text(), model.toStdString()) << "after step " << step << ": " << did;
  }
  // Undo takes every edit back, to the very text first set.
  for (int i = 0; i < 1000 && memo->Text() != original; ++i)
    QTest::keyClick(memo->Handle(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(memo->Text(), original);
  // What is found is told on its line, whichever piece of it holds it.
  memo->SetText(original);
  memo->SetFindText("e\xCC\x81");
  memo->SetSelection(lastLine, lastLine);
  ASSERT_TRUE(memo->FindNext(true));
  EXPECT_EQ(Application->LastAnnouncement().rfind("line 5, ", 0), 0u)
      << Application->LastAnnouncement();
  // A huge line pasted into a short text reads back whole.
  memo->SetText("start end");
  memo->SetSelection(6, 6);
  QApplication::clipboard()->setText(QString::fromStdString(words + "\n" + unbroken));
  QTest::keyClick(memo->Handle(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(memo->Text(), "start " + words + "\n" + unbroken + "end");
  EXPECT_EQ(memo->CaretPosition(),
            QString::fromStdString("start " + words + "\n" + unbroken).size());
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
  // The note shows in the editor, but not over the field being typed into.
  const QWidget* bar = QApplication::focusWidget();
  const QLabel* note = nullptr;
  for (const QLabel* label : editor->window()->findChildren<QLabel*>())
    if (label->isVisible() && label->text().contains("zzz")) note = label;
  ASSERT_TRUE(note != nullptr && bar != editor);
  const QRect barArea(bar->mapTo(note->parentWidget(), QPoint()), bar->size());
  EXPECT_FALSE(note->geometry().intersects(barArea));
  EXPECT_TRUE(QRect(editor->mapTo(note->parentWidget(), QPoint()), editor->size())
                  .contains(note->geometry()));
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
