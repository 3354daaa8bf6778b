#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/Harness.h"
#include "widgets/Widgets.h"

using namespace testing_support;

namespace {

// What the carry told, and the answers the handlers give: the wash is the
// half of the area the pointer is over (the editor or the bare panel).
class TCarryLog : public TObject {
 public:
  TPointerMove* Move = nullptr;
  TControl* Memo = nullptr;
  std::vector<QPoint> Overs;
  std::vector<QPoint> PickUps;
  std::vector<QPoint> Drops;
  TRect LastWash;
  int Cancels = 0;
  int AreaDowns = 0;
  int MemoDowns = 0;
  int OutsideDowns = 0;
  bool AcceptPickUp = true;
  // What the handlers do besides logging.
  bool ArmAgainOnDrop = false;
  bool DestroyOnCancel = false;

  void AreaMouseDown(TObject* /*ASender*/, TMouseButton AButton, TShiftState /*AShift*/, int X,
                     int Y) {
    ++AreaDowns;
    if (AButton == mbLeft) Move->Press(X, Y);
  }
  void MemoMouseDown(TObject*, TMouseButton, TShiftState, int, int) { ++MemoDowns; }
  void OutsideMouseDown(TObject*, TMouseButton, TShiftState, int, int) { ++OutsideDowns; }
  void PickUp(TObject* /*ASender*/, int X, int Y, bool& AAccept) {
    PickUps.emplace_back(X, Y);
    AAccept = AcceptPickUp;
  }
  void Over(TObject* /*ASender*/, int X, int Y, TRect& AWash) {
    Overs.emplace_back(X, Y);
    const TRect memo = Memo->BoundsRect();
    AWash = X >= memo.Left ? memo : TRect{0, 0, memo.Left, memo.Bottom};
    LastWash = AWash;
  }
  void Drop(TObject* /*ASender*/, int X, int Y) {
    Drops.emplace_back(X, Y);
    if (ArmAgainOnDrop) Move->Arm();
  }
  void Cancel(TObject* /*ASender*/) {
    ++Cancels;
    if (DestroyOnCancel) {
      delete Move;
      Move = nullptr;
    }
  }
};

// A window whose upper part is the area: bare panel on the left, an editor
// with text on the right; below the area, a panel outside it.
class PointerMoving : public testing::Test {
 public:
  void SetUp() override {
    FForm.reset(TForm::CreateNew(nullptr));
    FForm->SetClientSize(400, 300);
    FOutside = new TPanel(FForm.get());
    FOutside->SetParent(FForm.get());
    FOutside->SetAlign(alBottom);
    FOutside->SetHeight(50);
    FArea = new TPanel(FForm.get());
    FArea->SetParent(FForm.get());
    FArea->SetAlign(alClient);
    FMemo = new TMemo(FForm.get());
    FMemo->SetParent(FArea);
    FMemo->SetAlign(alRight);
    FMemo->SetWidth(200);
    FMemo->SetText("first line of text\nsecond line");
    FMove = new TPointerMove(FForm.get());
    FMove->SetArea(FArea);
    FLog.Move = FMove;
    FLog.Memo = FMemo;
    FArea->OnMouseDown = TMouseEvent(&FLog, &TCarryLog::AreaMouseDown);
    FMemo->OnMouseDown = TMouseEvent(&FLog, &TCarryLog::MemoMouseDown);
    FOutside->OnMouseDown = TMouseEvent(&FLog, &TCarryLog::OutsideMouseDown);
    FMove->OnPickUp = TPickUpEvent(&FLog, &TCarryLog::PickUp);
    FMove->OnOver = TDropTargetEvent(&FLog, &TCarryLog::Over);
    FMove->OnDrop = TPointEvent(&FLog, &TCarryLog::Drop);
    FMove->OnCancel = TNotifyEvent(&FLog, &TCarryLog::Cancel);
    ShowAndSettle(FForm.get());
    FMemo->SetFocus();
    FMemo->SetSelection(3, 8);
    Settle();
  }
  void TearDown() override {
    // Whatever a test left, the pointer's shape is the desktop's again.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }

  QWidget* AreaWidget() const { return FArea->Peer(); }
  // The editor's text surface, where the user's clicks land.
  QWidget* MemoSurface() const { return static_cast<QPlainTextEdit*>(FMemo->Peer())->viewport(); }
  // A point of the area on AWidget.
  QPoint On(QWidget* AWidget, QPoint AAreaPoint) const {
    return AWidget->mapFrom(AreaWidget()->window(),
                            AreaWidget()->mapTo(AreaWidget()->window(), AAreaPoint));
  }
  QWidget* Wash() const {
    auto* wash = AreaWidget()->findChild<QWidget*>(QStringLiteral("pointerMoveWash"));
    return wash != nullptr && wash->isVisible() ? wash : nullptr;
  }
  // A pixel of the area as the screen shows it.
  QRgb Pixel(QPoint AAreaPoint) { return ScreenPixel(FArea, AAreaPoint.x(), AAreaPoint.y()); }
  std::string MemoState() const {
    return FMemo->Text() + "|" + std::to_string(FMemo->SelectionAnchor()) + "," +
           std::to_string(FMemo->CaretPosition());
  }
  static int DragDistance() { return QApplication::startDragDistance(); }

  std::unique_ptr<TForm> FForm;
  TPanel* FArea = nullptr;
  TPanel* FOutside = nullptr;
  TMemo* FMemo = nullptr;
  TPointerMove* FMove = nullptr;
  TCarryLog FLog;
};

// The three ways to pick something up, each carried from the bare panel
// over the editor and put down there.
enum TWay { wyDrag, wyPickUpInEditor, wyArmed };
const char* const WayNames[] = {"Drag", "CtrlShiftPressInEditor", "Armed"};

class CarryingWays : public PointerMoving, public testing::WithParamInterface<TWay> {};

TEST_P(CarryingWays, FollowsThePointerWashesWhereItWouldLandAndDropsThere) {
  const QPoint start(40, 60), end(300, 120);
  const std::string memoBefore = MemoState();
  // The widget the pointer's events go to: the pressed one holds them.
  QWidget* held = nullptr;
  switch (GetParam()) {
    case wyDrag:
      held = AreaWidget();
      QTest::mousePress(held, Qt::LeftButton, Qt::NoModifier, start);
      QTest::mouseMove(held, start + QPoint(DragDistance() - 1, 0));
      EXPECT_FALSE(FMove->Active()) << "moved less than the drag distance";
      EXPECT_TRUE(FLog.Overs.empty());
      QTest::mouseMove(held, start + QPoint(DragDistance(), 0));
      EXPECT_EQ(FLog.Overs.front(), start + QPoint(DragDistance(), 0));
      break;
    case wyPickUpInEditor:
      held = MemoSurface();
      QTest::mousePress(held, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier,
                        On(held, QPoint(250, 10)));
      EXPECT_EQ(FLog.PickUps, std::vector<QPoint>{QPoint(250, 10)});
      EXPECT_EQ(FLog.Overs.front(), QPoint(250, 10));
      break;
    case wyArmed:
      // Hovering, no button: the moves go to whatever is under the pointer.
      QTest::mouseMove(AreaWidget(), start);
      FMove->Arm();
      EXPECT_EQ(FLog.Overs, std::vector<QPoint>{start}) << "once at the start";
      QTest::mouseMove(MemoSurface(), On(MemoSurface(), QPoint(250, 10)));
      EXPECT_EQ(FLog.Overs.back(), QPoint(250, 10));
      break;
  }
  Settle();
  EXPECT_TRUE(FMove->Active());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::DragMoveCursor);
  if (held != nullptr) {
    QTest::mouseMove(held, On(held, (start + end) / 2));
    QTest::mouseMove(held, On(held, end));
  } else {
    QTest::mouseMove(MemoSurface(), On(MemoSurface(), end));
  }
  Settle();
  EXPECT_EQ(FLog.Overs.back(), end);

  // The wash lies over exactly the rectangle OnOver gave, above the editor.
  QWidget* wash = Wash();
  ASSERT_NE(wash, nullptr);
  const TRect given = FLog.LastWash;
  EXPECT_EQ(given, FMemo->BoundsRect());
  EXPECT_EQ(wash->geometry(), QRect(given.Left, given.Top, given.Width(), given.Height()));
  const QColor highlight = AreaWidget()->palette().color(QPalette::Highlight);
  EXPECT_EQ(QColor(Pixel({given.Left + 1, given.Top + 1})).rgb(), highlight.rgb()) << "the outline";
  const QRgb washed = Pixel(end);
  EXPECT_NE(washed, highlight.rgb()) << "the fill lets the editor show through";
  EXPECT_NE(washed, qRgb(255, 255, 255)) << "but tinted";
  EXPECT_GT(qBlue(washed), qRed(washed)) << "towards the highlight";

  if (held != nullptr)
    QTest::mouseRelease(held, Qt::LeftButton, Qt::NoModifier, On(held, end));
  else
    QTest::mouseClick(MemoSurface(), Qt::LeftButton, Qt::NoModifier, On(MemoSurface(), end));
  Settle();
  EXPECT_EQ(FLog.Drops, std::vector<QPoint>{end});
  EXPECT_EQ(FLog.Cancels, 0);
  EXPECT_FALSE(FMove->Active());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Wash(), nullptr);
  EXPECT_EQ(Pixel(end), qRgb(255, 255, 255)) << "the editor shows plain again";
  // The editor saw nothing of the carry: no click selected, nothing moved.
  EXPECT_EQ(FLog.MemoDowns, 0);
  EXPECT_EQ(MemoState(), memoBefore);
  EXPECT_EQ(FLog.AreaDowns, GetParam() == wyDrag ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(AllWays, CarryingWays, testing::Values(wyDrag, wyPickUpInEditor, wyArmed),
                         [](const auto& info) { return std::string(WayNames[info.param]); });

// Ways a carry does not start, or ends without a drop.
struct TNoDrop {
  const char* Name;
  void (*Act)(PointerMoving& F);
  int Cancels;
  int AreaDowns;
  int OutsideDowns;
  bool MemoKept;  // the editor's text and selection as they were
};

void PrintTo(const TNoDrop& ARow, std::ostream* AOut) { *AOut << ARow.Name; }

class NotDropping : public PointerMoving, public testing::WithParamInterface<TNoDrop> {};

// A press on the bare panel dragged to AAreaPoint, still held.
void DragOut(PointerMoving& F, QPoint AAreaPoint) {
  QTest::mousePress(F.AreaWidget(), Qt::LeftButton, Qt::NoModifier, {40, 60});
  QTest::mouseMove(F.AreaWidget(), {40, 60 + F.DragDistance()});
  QTest::mouseMove(F.AreaWidget(), AAreaPoint);
  EXPECT_TRUE(F.FMove->Active());
}

const TNoDrop NoDrops[] = {
    {"PressReleasedWithinTheDragDistanceIsOnlyAClick",
     [](PointerMoving& F) {
       QTest::mousePress(F.AreaWidget(), Qt::LeftButton, Qt::NoModifier, {40, 60});
       QTest::mouseMove(F.AreaWidget(), {40 + F.DragDistance() - 1, 60});
       QTest::mouseRelease(F.AreaWidget(), Qt::LeftButton, Qt::NoModifier,
                           {40 + F.DragDistance() - 1, 60});
       EXPECT_TRUE(F.FLog.Overs.empty());
     },
     0, 1, 0, true},
    {"EscapeCancelsAndKeysTypedMeanwhileGoNowhere",
     [](PointerMoving& F) {
       DragOut(F, {300, 100});
       QTest::keyClicks(QApplication::focusWidget(), "kw");
       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
       EXPECT_EQ(QApplication::overrideCursor(), nullptr);
       EXPECT_EQ(F.Wash(), nullptr);
       // The button still held after the carry: its moves and release go
       // where they go, and the keys reach the editor again.
       QTest::mouseRelease(F.AreaWidget(), Qt::LeftButton, Qt::NoModifier, {300, 100});
       QTest::keyClicks(QApplication::focusWidget(), "z");
       const std::string text = F.FMemo->Text();
       EXPECT_EQ(text.find_first_of("kw"), std::string::npos) << text;
       EXPECT_NE(text.find('z'), std::string::npos) << text;
     },
     1, 1, 0, false},
    {"ReleaseOutsideTheAreaCancels",
     [](PointerMoving& F) {
       DragOut(F, F.On(F.AreaWidget(), {50, 270}));
       EXPECT_EQ(F.Wash(), nullptr) << "nowhere to land outside the area";
       QTest::mouseRelease(F.AreaWidget(), Qt::LeftButton, Qt::NoModifier,
                           F.On(F.AreaWidget(), {50, 270}));
     },
     1, 1, 0, true},
    {"ArmedClickOutsideCancelsAndThatClickGoesNowhere",
     [](PointerMoving& F) {
       F.FMove->Arm();
       QWidget* outside = F.FOutside->Peer();
       QTest::mouseClick(outside, Qt::LeftButton, Qt::NoModifier, {20, 20});
       EXPECT_EQ(F.FLog.OutsideDowns, 0);
       // The carry is over: the next click is the panel's.
       QTest::mouseClick(outside, Qt::LeftButton, Qt::NoModifier, {20, 20});
     },
     1, 0, 1, true},
    {"ArmedRightClickCancels",
     [](PointerMoving& F) {
       F.FMove->Arm();
       QTest::mouseClick(F.MemoSurface(), Qt::RightButton, Qt::NoModifier, {30, 30});
     },
     1, 0, 0, true},
    {"HidingTheAreaCancels",
     [](PointerMoving& F) {
       F.FMove->Arm();
       F.FArea->SetVisible(false);
       Settle();
       F.FArea->SetVisible(true);
     },
     1, 0, 0, true},
    {"AnotherWindowTakingTheKeyboardCancels",
     [](PointerMoving& F) {
       F.FMove->Arm();
       const std::unique_ptr<TForm> other(TForm::CreateNew(nullptr));
       ShowAndSettle(other.get());
       EXPECT_FALSE(F.FMove->Active());
     },
     1, 0, 0, true},
    {"RefusedPickUpIsAnOrdinaryShiftClick",
     [](PointerMoving& F) {
       F.FLog.AcceptPickUp = false;
       QTest::mouseClick(F.MemoSurface(), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier,
                         {150, 5});
       EXPECT_EQ(F.FLog.PickUps.size(), 1u) << "asked once, wherever Qt hands the press";
       EXPECT_EQ(F.FLog.MemoDowns, 1);
       EXPECT_EQ(QApplication::overrideCursor(), nullptr);
     },
     0, 0, 0, false},
};

TEST_P(NotDropping, EndsWithoutADropAndLeavesTheControlsBelowAlone) {
  const TNoDrop& row = GetParam();
  const std::string memoBefore = MemoState();
  row.Act(*this);
  Settle();
  EXPECT_FALSE(FMove->Active());
  EXPECT_TRUE(FLog.Drops.empty());
  EXPECT_EQ(FLog.Cancels, row.Cancels);
  EXPECT_EQ(FLog.AreaDowns, row.AreaDowns);
  EXPECT_EQ(FLog.OutsideDowns, row.OutsideDowns);
  if (row.MemoKept) {
    EXPECT_EQ(MemoState(), memoBefore);
    EXPECT_EQ(FLog.MemoDowns, 0);
  } else {
    EXPECT_NE(MemoState(), memoBefore);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Wash(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, NotDropping, testing::ValuesIn(NoDrops),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PointerMoving, HandlersMayRestartTheCarryOrDestroyItAndTheAreaMayGoMidCarry) {
  // A drop whose handler arms the next carry: one pointer shape, one wash.
  FLog.ArmAgainOnDrop = true;
  DragOut(*this, {300, 100});
  QTest::mouseRelease(AreaWidget(), Qt::LeftButton, Qt::NoModifier, {300, 100});
  EXPECT_EQ(FLog.Drops, std::vector<QPoint>{QPoint(300, 100)});
  EXPECT_TRUE(FMove->Active());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  QTest::mouseMove(MemoSurface(), On(MemoSurface(), {320, 110}));
  EXPECT_EQ(FLog.Overs.back(), QPoint(320, 110));
  FMove->Cancel();
  EXPECT_EQ(FLog.Cancels, 1);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // A cancel whose handler destroys the component.
  FLog.DestroyOnCancel = true;
  FMove->Arm();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(FLog.Cancels, 2);
  EXPECT_EQ(FLog.Move, nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  QTest::keyClicks(QApplication::focusWidget(), "q");
  EXPECT_NE(FMemo->Text().find('q'), std::string::npos) << "keys reach the editor again";

  // The area destroyed under a carry: it ends quietly.
  FMove = new TPointerMove(FForm.get());
  FLog.Move = FMove;
  FMove->SetArea(FArea);
  FMove->OnCancel = TNotifyEvent(&FLog, &TCarryLog::Cancel);
  FMove->OnOver = TDropTargetEvent(&FLog, &TCarryLog::Over);
  QTest::mouseMove(MemoSurface(), On(MemoSurface(), {320, 110}));
  FMove->Arm();
  ASSERT_TRUE(FMove->Active());
  delete FArea;
  Settle();
  EXPECT_FALSE(FMove->Active());
  EXPECT_EQ(FMove->Area(), nullptr);
  EXPECT_EQ(FLog.Cancels, 2) << "no cancel raised for the area going";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  QTest::mouseClick(FOutside->Peer(), Qt::LeftButton, Qt::NoModifier, {20, 20});
  EXPECT_EQ(FLog.OutsideDowns, 1);
  FMove->Arm();
  EXPECT_FALSE(FMove->Active()) << "no area, nothing to carry over";
}

TEST_F(PointerMoving, ReleaseKeptFromTheControlsLeavesNoWindowlessControlHoldingThePointer) {
  // A splitter in the area whose press starts a carry: the carry keeps the
  // release from it, and a later drag on the bare panel must not move it.
  auto* left = new TPanel(FForm.get());
  left->SetParent(FArea);
  left->SetAlign(alLeft);
  left->SetWidth(100);
  auto* splitter = new TSplitter(FForm.get());
  splitter->SetParent(FArea);
  splitter->SetAlign(alLeft);
  splitter->SetLeft(left->Left() + left->Width());
  splitter->OnMouseDown = TMouseEvent(&FLog, &TCarryLog::AreaMouseDown);
  Settle();
  const int x = splitter->Left() + 1;
  QTest::mousePress(AreaWidget(), Qt::LeftButton, Qt::NoModifier, {x, 60});
  QTest::mouseMove(AreaWidget(), {x, 60 + DragDistance()});
  ASSERT_TRUE(FMove->Active());
  QTest::mouseRelease(AreaWidget(), Qt::LeftButton, Qt::NoModifier, {x, 100});
  EXPECT_EQ(FLog.Drops.size(), 1u);
  const int width = left->Width();
  FArea->OnMouseDown = TMouseEvent();
  const int bare = splitter->Left() + splitter->Width() + 40;
  QTest::mousePress(AreaWidget(), Qt::LeftButton, Qt::NoModifier, {bare, 60});
  QTest::mouseMove(AreaWidget(), {bare + 30, 60});
  QTest::mouseRelease(AreaWidget(), Qt::LeftButton, Qt::NoModifier, {bare + 30, 60});
  Settle();
  EXPECT_EQ(left->Width(), width);
}

}  // namespace
