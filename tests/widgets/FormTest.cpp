#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Harness.h"
#include "widgets/Widgets.h"

using namespace testing_support;

namespace {

// Rectangles compared as text, so a failure shows them readably.
std::string Str(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + " " + std::to_string(r.Width()) +
         "x" + std::to_string(r.Height());
}
std::string Str(const QRect& r) {
  return Str(TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
}
std::string Str(const QPoint& p) { return std::to_string(p.x()) + "," + std::to_string(p.y()); }
std::string Str(const QSize& s) {
  return std::to_string(s.width()) + "x" + std::to_string(s.height());
}

TRect Bounds(int ALeft, int ATop, int AWidth, int AHeight) {
  return {ALeft, ATop, ALeft + AWidth, ATop + AHeight};
}

TEST(WindowPlacement, WindowLiesWhollyInTheAreaMovedLeastAndShrunkOnlyWhereTooBig) {
  const TRect screen = Bounds(0, 0, 800, 500);
  const struct {
    const char* Case;
    TRect Window, Area;
    int MinWidth, MinHeight;
    TRect Expected;
  } table[] = {
      {"fits: stays", Bounds(249, 14, 500, 480), screen, 0, 0, Bounds(249, 14, 500, 480)},
      {"off right and bottom", Bounds(249, 114, 696, 480), screen, 0, 0, Bounds(104, 20, 696, 480)},
      {"off left and top", Bounds(-30, -5, 300, 200), screen, 0, 0, Bounds(0, 0, 300, 200)},
      {"area not at the origin", Bounds(0, 0, 300, 200), Bounds(1600, 30, 1024, 738), 0, 0,
       Bounds(1600, 30, 300, 200)},
      {"taller than the area", Bounds(100, 50, 300, 900), screen, 0, 0, Bounds(100, 0, 300, 500)},
      {"larger both ways", Bounds(10, 10, 1000, 900), screen, 0, 0, Bounds(0, 0, 800, 500)},
      {"minimum wins over the area", Bounds(10, 10, 1000, 900), screen, 900, 150,
       Bounds(0, 0, 900, 500)},
      {"no area: as it was", Bounds(249, 114, 696, 480), Bounds(0, 0, 0, 0), 0, 0,
       Bounds(249, 114, 696, 480)},
  };
  for (const auto& t : table)
    EXPECT_EQ(Str(FitInArea(t.Window, t.Area, t.MinWidth, t.MinHeight)), Str(t.Expected)) << t.Case;
}

class Window : public testing::Test {
 protected:
  void SetUp() override {
    FForm.reset(TForm::CreateNew(nullptr));
    FPanel = new TPanel(FForm.get());
    FPanel->SetParent(FForm.get());
    FPanel->SetAlign(alClient);
  }
  std::unique_ptr<TForm> FForm;
  TPanel* FPanel = nullptr;
};

// A window placed partly off its screen by its layout opened there, its
// close button out of reach.
TEST_F(Window, OpensWhollyOnItsScreen) {
  const QRect area = FForm->Peer()->screen()->availableGeometry();
  FForm->SetBounds(area.right() - 100, area.bottom() - 50, 400, 300);
  ShowAndSettle(FForm.get());
  EXPECT_EQ(Str(FForm->BoundsRect()),
            Str(Bounds(area.right() + 1 - 400, area.bottom() + 1 - 300, 400, 300)));
  EXPECT_EQ(Str(FForm->Handle()->pos()), Str(QPoint(FForm->Left(), FForm->Top())));
}

// Maximise did nothing: each size the window system gave was answered by
// pushing the model's remembered place and size back over it.
TEST_F(Window, MaximisedFullScreenAndRestoredWindowKeepsWhatTheWindowSystemGave) {
  FForm->SetBounds(40, 30, 300, 200);
  ShowAndSettle(FForm.get());
  QWidget* window = FForm->Handle();
  const QScreen* screen = window->screen();
  const QRect normal = window->frameGeometry();
  const TRect bounds = FForm->BoundsRect();
  const struct {
    Qt::WindowState State;
    QRect Outer;
  } steps[] = {
      {Qt::WindowMaximized, screen->availableGeometry()}, {Qt::WindowNoState, normal},
      {Qt::WindowFullScreen, screen->geometry()},         {Qt::WindowNoState, normal},
      {Qt::WindowMaximized, screen->availableGeometry()}, {Qt::WindowNoState, normal},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.State);
    window->setWindowState(step.State);
    Settle();
    EXPECT_EQ(window->windowState(), step.State);
    EXPECT_EQ(Str(window->frameGeometry()), Str(step.Outer));
    // The model and its layout follow the window.
    EXPECT_EQ(Str(QPoint(FForm->Left(), FForm->Top())), Str(window->pos()));
    EXPECT_EQ(Str(QSize(FForm->ClientWidth(), FForm->ClientHeight())), Str(window->size()));
    EXPECT_EQ(Str(QSize(FPanel->Width(), FPanel->Height())), Str(window->size()));
  }
  EXPECT_EQ(Str(FForm->BoundsRect()), Str(bounds));
  // The program's own change still moves the window.
  FForm->SetBounds(60, 50, 400, 250);
  Settle();
  EXPECT_EQ(Str(window->pos()), "60,50");
  EXPECT_EQ(Str(window->size()), Str(QSize(400 - TForm::FrameWidth, 250 - TForm::FrameHeight)));
}

// Sized by the program below its minimum, the model laid its controls out
// for a window smaller than the one Qt kept on the screen.
TEST_F(Window, ProgramSizeBelowTheMinimumGivesTheMinimumInModelAndWindowAlike) {
  FForm->SetConstraints(200, 150);
  ShowAndSettle(FForm.get());
  // Twice: the second time the window is at its minimum already, so Qt
  // reports no change back.
  const QSize client(200 - TForm::FrameWidth, 150 - TForm::FrameHeight);
  for (int width : {50, 60}) {
    FForm->SetClientSize(width, 40);
    Settle();
    EXPECT_EQ(FForm->Width(), 200);
    EXPECT_EQ(FForm->Height(), 150);
    EXPECT_EQ(Str(FForm->Handle()->size()), Str(client));
    EXPECT_EQ(Str(QSize(FPanel->Width(), FPanel->Height())), Str(client));
  }
}

// A note shows at its control: inside, wrapped to the control's width where
// it is wider, else beside it, slid along the window's edge; never over the
// control's edge, where the program draws its marks. It showed nowhere for
// a pane narrower than its text that lay at the window's right side.
TEST_F(Window, NoteShowsInsideOrBesideItsControlWhereverThatLies) {
  FForm->SetClientSize(688, 400);
  FPanel->SetAlign(alNone);
  FPanel->SetBounds(0, 0, 0, 0);
  ShowAndSettle(FForm.get());
  const std::string text = "Ctrl+Shift+Y brings its text back, until the layout changes again";
  const struct {
    const char* Case;
    TRect Pane;
    bool Inside;
  } table[] = {
      {"wide pane", Bounds(0, 0, 688, 200), true},
      {"narrow pane at the right side: wrapped", Bounds(350, 0, 338, 190), true},
      {"narrow and short at the bottom right: above it", Bounds(560, 360, 128, 40), false},
      {"short at the right side: below it", Bounds(400, 0, 288, 20), false},
  };
  for (const auto& t : table) {
    FPanel->SetBounds(t.Pane.Left, t.Pane.Top, t.Pane.Width(), t.Pane.Height());
    Settle();
    Application->HideNote();
    Application->ShowNote(FPanel, text);
    QLabel* note = nullptr;
    for (QLabel* label : FForm->Peer()->findChildren<QLabel*>())
      if (label->isVisible() && label->text().toStdString() == text) note = label;
    ASSERT_NE(note, nullptr) << t.Case;
    const QRect at = note->geometry();
    QRect pane(FPanel->Handle()->mapTo(FForm->Peer(), QPoint(0, 0)),
               QSize(FPanel->Width(), FPanel->Height()));
    EXPECT_TRUE(FForm->Peer()->rect().contains(at)) << t.Case << ": " << Str(at);
    if (t.Inside)
      EXPECT_TRUE(pane.adjusted(3, 3, -3, -3).contains(at)) << t.Case << ": " << Str(at);
    else
      EXPECT_FALSE(at.intersects(pane)) << t.Case << ": " << Str(at);
  }
  Application->HideNote();
}

}  // namespace

namespace {
// A question's answers can each be given by an access key of its own (no two
// alike, one an answer's text marks kept), as well as by Return and Escape.
TEST(Questions, EveryAnswerHasAnAccessKeyOfItsOwn) {
  struct TCase {
    std::vector<std::string> Answers;
    std::vector<std::string> Shown;
    Qt::Key Key;
    int Given;
  };
  const TCase cases[] = {
      {{"Save", "Discard", "Cancel"}, {"&Save", "&Discard", "&Cancel"}, Qt::Key_D, 1},
      {{"Recover", "Discard", "Not now"}, {"&Recover", "&Discard", "&Not now"}, Qt::Key_N, 2},
      {{"Save", "Skip", "Stop"}, {"&Save", "S&kip", "S&top"}, Qt::Key_K, 1},
      {{"Send", "&Save", "Cancel"}, {"S&end", "&Save", "&Cancel"}, Qt::Key_S, 1},
  };
  ExpectQtWarning sizes("does not support propagateSizeHints");
  for (const TCase& c : cases) {
    std::vector<std::string> shown;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      for (const std::string& answer : c.Answers)
        for (QAbstractButton* button : box->buttons())
          if (button->text().remove(u'&') == QString::fromStdString(answer).remove(u'&'))
            shown.push_back(button->text().toStdString());
      QApplication::setActiveWindow(box);
      QTest::keyClick(box, c.Key, Qt::AltModifier);
      // A key that answers nothing leaves the question to Escape.
      QTimer::singleShot(200, box, [box] { box->reject(); });
    });
    EXPECT_EQ(MessageDlg("Save changes?", mtWarning, c.Answers, 0, c.Answers.size() - 1, ""),
              c.Given);
    EXPECT_EQ(shown, c.Shown);
  }
}
}  // namespace
