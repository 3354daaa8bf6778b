#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "tests/support/Harness.h"
#include "widgets/Widgets.h"

using namespace testing_support;

namespace {

// A panel without a widget of its own, as panes are.
class TBarePanel : public TPanel {
 public:
  explicit TBarePanel(TComponent* AOwner) : TPanel(AOwner, TWindowless{}) {}
};

class TProposals : public TObject {
 public:
  std::vector<int> Seen;
  int Override = -1;  // replace the proposal with this when set
  bool Refuse = false;
  void CanResize(TObject* /*ASender*/, int& ANewSize, bool& AAccept) {
    Seen.push_back(ANewSize);
    if (Override >= 0) ANewSize = Override;
    if (Refuse) AAccept = false;
  }
};

// A pane cut in two: first part, splitter and the rest, like a split.
class Splitting : public testing::TestWithParam<TAlign> {
 protected:
  void SetUp() override {
    FForm.reset(TForm::CreateNew(nullptr));
    FForm->SetClientSize(400, 300);
    FPane = new TPanel(FForm.get());
    FPane->SetParent(FForm.get());
    FPane->SetAlign(alClient);
    FFirst = new TPanel(FForm.get());
    FFirst->SetParent(FPane);
    FFirst->SetAlign(GetParam());
    if (Vertical())
      FFirst->SetHeight(100);
    else
      FFirst->SetWidth(100);
    FSplitter = new TSplitter(FForm.get());
    FSplitter->SetParent(FPane);
    FSplitter->SetAlign(GetParam());
    FSplitter->SetTop(FFirst->Top() + FFirst->Height());
    FSplitter->SetLeft(FFirst->Left() + FFirst->Width());
    FSecond = new TPanel(FForm.get());
    FSecond->SetParent(FPane);
    FSecond->SetAlign(alClient);
    FSplitter->OnCanResize = TCanResizeEvent(&FProposals, &TProposals::CanResize);
    ShowAndSettle(FForm.get());
  }
  bool Vertical() const { return GetParam() == alTop; }
  int Size(TControl* c) const { return Vertical() ? c->Height() : c->Width(); }
  // Drags the splitter's middle by ADelta along its axis.
  void DragBy(int ADelta) {
    const int x = FSplitter->Width() / 2, y = FSplitter->Height() / 2;
    Drag(FSplitter, x, y, Vertical() ? 0 : ADelta, Vertical() ? ADelta : 0);
  }
  std::unique_ptr<TForm> FForm;
  TPanel* FPane = nullptr;
  TPanel* FFirst = nullptr;
  TSplitter* FSplitter = nullptr;
  TPanel* FSecond = nullptr;
  TProposals FProposals;
};

TEST_P(Splitting, SplitterIsThreePixelsThickRightAfterTheFirstPart) {
  EXPECT_EQ(Size(FSplitter), 3);
  EXPECT_EQ(FSplitter->FindResizedControl(), FFirst);
  if (Vertical()) {
    EXPECT_EQ(FSplitter->Top(), FFirst->Top() + FFirst->Height());
    EXPECT_EQ(FSplitter->Cursor(), crVSplit);
    EXPECT_EQ(FSecond->Top(), FSplitter->Top() + 3);
  } else {
    EXPECT_EQ(FSplitter->Left(), FFirst->Left() + FFirst->Width());
    EXPECT_EQ(FSplitter->Cursor(), crHSplit);
    EXPECT_EQ(FSecond->Left(), FSplitter->Left() + 3);
  }
}

TEST_P(Splitting, DragResizesTheFirstPartLiveThroughOnCanResize) {
  DragBy(40);
  ASSERT_FALSE(FProposals.Seen.empty());
  EXPECT_EQ(FProposals.Seen.back(), 140);
  EXPECT_EQ(Size(FFirst), 140);
  // Live: every step was proposed and applied, growing one by one.
  EXPECT_GE(FProposals.Seen.size(), 4u);
  EXPECT_TRUE(std::is_sorted(FProposals.Seen.begin(), FProposals.Seen.end()));
  // The rest follows, and the splitter stays between the two.
  const int extent = Vertical() ? FPane->ClientHeight() : FPane->ClientWidth();
  EXPECT_EQ(Size(FSecond), extent - 140 - 3);
  EXPECT_EQ(FSplitter->FindResizedControl(), FFirst);
}

TEST_P(Splitting, DragClampsToMinSizeOnBothSides) {
  // The limits are also the splitter's value range for assistive technology.
  const int extent = Vertical() ? FPane->ClientHeight() : FPane->ClientWidth();
  EXPECT_EQ(FSplitter->MinPosition(), 30);
  EXPECT_EQ(FSplitter->MaxPosition(), extent - 3 - 30);
  DragBy(-500);
  EXPECT_EQ(Size(FFirst), 30);
  EXPECT_EQ(FProposals.Seen.back(), 30);
  FProposals.Seen.clear();
  DragBy(1000);
  EXPECT_EQ(Size(FFirst), extent - 3 - 30);
  EXPECT_EQ(Size(FSecond), 30);
  EXPECT_EQ(FSplitter->Position(), extent - 3 - 30);
  // Without room for MinSize on both sides, the range shrinks to what is
  // there, never upside down.
  FForm->SetClientSize(Vertical() ? 400 : 50, Vertical() ? 50 : 300);
  Settle();
  const int tight = (Vertical() ? FPane->ClientHeight() : FPane->ClientWidth()) - 3 - 30;
  EXPECT_EQ(FSplitter->MaxPosition(), tight);
  EXPECT_EQ(FSplitter->MinPosition(), tight);
  FSplitter->SetPosition(0);
  EXPECT_EQ(Size(FFirst), tight);
  EXPECT_EQ(FSplitter->Position(), tight);
}

TEST_P(Splitting, HandlerMayChangeOrRefuseTheProposal) {
  FProposals.Override = 77;
  DragBy(20);
  EXPECT_EQ(Size(FFirst), 77);
  FProposals.Override = -1;
  FProposals.Refuse = true;
  DragBy(20);
  EXPECT_EQ(Size(FFirst), 77);
  EXPECT_FALSE(FProposals.Seen.empty());
}

TEST_P(Splitting, RightButtonDoesNotDrag) {
  // The splitter has no window: input reaches it through the pane it lies on.
  QWidget* handle = FSplitter->Handle();
  EXPECT_EQ(FSplitter->Peer(), nullptr);
  EXPECT_EQ(handle, FPane->Handle());
  const QPoint on = WindowPos(FSplitter, 1, 1) - WindowPos(FPane);
  QTest::mousePress(handle, Qt::RightButton, Qt::NoModifier, on);
  QTest::mouseMove(handle, on + (Vertical() ? QPoint(0, 30) : QPoint(30, 0)));
  QTest::mouseRelease(handle, Qt::RightButton, Qt::NoModifier, on);
  EXPECT_TRUE(FProposals.Seen.empty());
  EXPECT_EQ(Size(FFirst), 100);
}

TEST_P(Splitting, SplitterPaintsItsOwnFaceSoNothingBeneathShowsThrough) {
  // A caption long enough to run under the gap between the two parts.
  FPane->SetText(std::string(60, 'W'));
  FPane->Repaint();
  Settle();
  const QImage image = ScreenImage(FSplitter);
  const QPoint origin = WindowPos(FSplitter);
  int other = 0;
  for (int y = 0; y < FSplitter->Height(); ++y)
    for (int x = 0; x < FSplitter->Width(); ++x)
      if (image.pixel(origin + QPoint(x, y)) != qRgb(240, 240, 240)) ++other;
  EXPECT_EQ(other, 0) << "pixels of the splitter that are not its face";
}

TEST_P(Splitting, PointerOnTheSplitterDarkensItsFaceAndShowsTheResizeCursor) {
  QWidget* handle = FPane->Handle();
  const QPoint on = WindowPos(FSplitter, 1, 1) - WindowPos(FPane);
  const QPoint off = WindowPos(FSecond, 10, 10) - WindowPos(FPane);
  const Qt::CursorShape resize = Vertical() ? Qt::SplitVCursor : Qt::SplitHCursor;
  const QRgb face = qRgb(240, 240, 240);
  for (int round = 0; round < 2; ++round) {
    QTest::mouseMove(handle, on);
    Settle();
    EXPECT_TRUE(FSplitter->MouseInside());
    EXPECT_EQ(handle->cursor().shape(), resize);
    EXPECT_NE(ScreenPixel(FSplitter, 1, 1), face);
    EXPECT_EQ(ScreenPixel(FFirst, 10, 10), face) << "only the splitter changes";
    // Off it, on the pane's own bevel: the face and the cursor come back.
    QTest::mouseMove(handle, Vertical() ? QPoint(on.x(), 0) : QPoint(0, on.y()));
    Settle();
    EXPECT_FALSE(FSplitter->MouseInside());
    EXPECT_NE(handle->cursor().shape(), resize);
    EXPECT_EQ(ScreenPixel(FSplitter, 1, 1), face);
  }
  // Into a windowed child straight from the splitter: it is left as well.
  QTest::mouseMove(handle, on);
  QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(off));
  QApplication::sendEvent(FSecond->Handle(), &enter);
  Settle();
  EXPECT_FALSE(FSplitter->MouseInside());
  EXPECT_EQ(ScreenPixel(FSplitter, 1, 1), face);
  // Into an editor lying on the splitter's own widget (inside a panel
  // without one), which that widget hears nothing of: left as well.
  auto* bare = new TBarePanel(FForm.get());
  bare->SetParent(FPane);
  bare->SetBounds(off.x(), off.y(), 60, 40);
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(bare);
  memo->SetAlign(alClient);
  Settle();
  ASSERT_EQ(memo->Peer()->parentWidget(), handle);
  QTest::mouseMove(handle, QPoint(0, 0));
  QTest::mouseMove(handle, on);
  Settle();
  ASSERT_TRUE(FSplitter->MouseInside());
  QApplication::sendEvent(memo->Peer(), &enter);
  Settle();
  EXPECT_FALSE(FSplitter->MouseInside());
  EXPECT_NE(handle->cursor().shape(), resize);
}

INSTANTIATE_TEST_SUITE_P(BothAxes, Splitting, testing::Values(alTop, alLeft), [](const auto& info) {
  return std::string(info.param == alTop ? "Stacked" : "SideBySide");
});

}  // namespace
