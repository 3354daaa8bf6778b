#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <random>

#include "tests/support/Harness.h"
#include "widgets/Peer.h"
#include "widgets/Widgets.h"

using namespace testing_support;

namespace {

// Draws the outermost ring of its paint box when asked, like a frame marker.
class TRingPainter : public TObject {
 public:
  TPaintBox* Box = nullptr;
  TColor Color = clRed;
  bool DrawOnPaint = false;
  int Paints = 0;
  void Ring() {
    TCanvas* canvas = Box->Canvas();
    canvas->Pen()->SetColor(Color);
    const int w = Box->Width(), h = Box->Height();
    canvas->MoveTo(0, 0);
    canvas->LineTo(w - 1, 0);
    canvas->LineTo(w - 1, h - 1);
    canvas->LineTo(0, h - 1);
    canvas->LineTo(0, 0);
  }
  void Paint(TObject* /*ASender*/) {
    ++Paints;
    if (DrawOnPaint) Ring();
  }
};

class Painting : public testing::Test {
 protected:
  void SetUp() override {
    FForm.reset(TForm::CreateNew(nullptr));
    FForm->SetClientSize(300, 200);
    FPanel = new TPanel(FForm.get());
    FPanel->SetParent(FForm.get());
    FPanel->SetAlign(alClient);
    FBox = new TPaintBox(FForm.get());
    FBox->SetParent(FPanel);
    FBox->SetAlign(alClient);
    FPainter.Box = FBox;
    FBox->OnPaint = TNotifyEvent(&FPainter, &TRingPainter::Paint);
    ShowAndSettle(FForm.get());
  }
  std::unique_ptr<TForm> FForm;
  TPanel* FPanel = nullptr;
  TPaintBox* FBox = nullptr;
  TRingPainter FPainter;
};

int CountRed(TControl* AControl) {
  const QImage image = ScreenImage(AControl);
  int red = 0;
  for (int y = 0; y < AControl->Height(); ++y)
    for (int x = 0; x < AControl->Width(); ++x)
      if (IsRed(image.pixel(WindowPos(AControl, x, y)))) ++red;
  return red;
}

TEST_F(Painting, DrawingOutsidePaintIsOnScreenAtOnceAsExactlyTheOuterRing) {
  const int w = FBox->Width(), h = FBox->Height();
  ASSERT_EQ(w, 298);
  ASSERT_EQ(h, 198);
  EXPECT_EQ(CountRed(FBox), 0);
  const int paintsBefore = FPainter.Paints;
  FPainter.Ring();  // no event loop in between: it must be on screen now
  EXPECT_EQ(FPainter.Paints, paintsBefore) << "direct drawing must not run a paint event";
  const QImage image = ScreenImage(FBox);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      ASSERT_EQ(IsRed(image.pixel(WindowPos(FBox, x, y))), ring) << "at " << x << "," << y;
    }
  // Nothing remembers it: the next repaint shows the panel again, and the
  // paint event ran.
  FPanel->Repaint();
  EXPECT_GT(FPainter.Paints, paintsBefore);
  EXPECT_EQ(CountRed(FBox), 0);
  EXPECT_EQ(ScreenPixel(FBox, 5, 5), qRgb(240, 240, 240));
}

TEST_F(Painting, PanelCaptionShowsThroughItsPaintBoxAndFollowsTheText) {
  const auto darkPixels = [this] {
    const QImage image = ScreenImage(FBox);
    int dark = 0;
    for (int y = FBox->Height() / 2 - 10; y < FBox->Height() / 2 + 10; ++y)
      for (int x = FBox->Width() / 2 - 20; x < FBox->Width() / 2 + 20; ++x)
        if (qGray(image.pixel(WindowPos(FBox, x, y))) < 100) ++dark;
    return dark;
  };
  FPanel->SetText("建立");
  FPanel->Repaint();
  const int chinese = darkPixels();
  EXPECT_GT(chinese, 10);
  // The laid-out caption is kept between repaints, never past a change.
  FPanel->SetText("");
  FPanel->Repaint();
  EXPECT_EQ(darkPixels(), 0);
  FPanel->SetText("I");
  FPanel->Repaint();
  EXPECT_GT(darkPixels(), 0);
  EXPECT_LT(darkPixels(), chinese);
}

TEST_F(Painting, PaintHandlerDrawsAtEveryRepaint) {
  FPainter.DrawOnPaint = true;
  FBox->Repaint();
  EXPECT_EQ(RedBox(FBox), QRect(0, 0, FBox->Width(), FBox->Height()));
  FPanel->Repaint();
  EXPECT_EQ(CountRed(FBox), 2 * FBox->Width() + 2 * FBox->Height() - 4);
}

TEST_F(Painting, WindowedControlsCoverPaintBoxesAndDirectDrawingStaysUnderThem) {
  // A memo over the box's top-left corner: windowed, so above the box.
  auto* memo = new TMemo(FForm.get());
  memo->SetBounds(0, 0, 100, 60);
  memo->SetParent(FPanel);
  Settle();
  FPainter.Ring();
  EXPECT_FALSE(IsRed(ScreenPixel(FBox, 10, 0))) << "drawn over the memo";
  EXPECT_FALSE(IsRed(ScreenPixel(FBox, 0, 10)));
  EXPECT_TRUE(IsRed(ScreenPixel(FBox, 150, 0)));
  EXPECT_TRUE(IsRed(ScreenPixel(FBox, 0, 120)));
  // A paint box added later still lies under the memo.
  auto* later = new TPaintBox(FForm.get());
  later->SetParent(FPanel);
  later->SetBounds(10, 10, 20, 20);
  TRingPainter second;
  second.Box = later;
  second.Ring();
  EXPECT_EQ(CountRed(later), 0);
}

TEST_F(Painting, LinesOmitTheirEndPointInEveryDirection) {
  TCanvas* canvas = FBox->Canvas();
  canvas->Pen()->SetColor(clRed);
  canvas->MoveTo(50, 50);
  canvas->LineTo(40, 50);  // leftwards: 41..50 drawn, 40 not
  EXPECT_TRUE(IsRed(ScreenPixel(FBox, 50, 50)));
  EXPECT_TRUE(IsRed(ScreenPixel(FBox, 41, 50)));
  EXPECT_FALSE(IsRed(ScreenPixel(FBox, 40, 50)));
  canvas->MoveTo(100, 100);
  canvas->LineTo(110, 105);  // slanted
  EXPECT_TRUE(IsRed(ScreenPixel(FBox, 100, 100)));
  EXPECT_FALSE(IsRed(ScreenPixel(FBox, 110, 105)));
  EXPECT_EQ(canvas->PenX(), 110);
  EXPECT_EQ(canvas->PenY(), 105);
}

// A panel without a widget of its own, as panes are.
class TBarePanel : public TPanel {
 public:
  explicit TBarePanel(TComponent* AOwner) : TPanel(AOwner, TWindowless{}) {}
};

// Widgets inside windowless panels lie on the window's widget where their
// panels are, cut off where the panels end, hidden with them, and survive
// the widget they came from.
TEST_F(Painting, AnEditorInsideWindowlessPanelsFollowsThemOnTheWindow) {
  auto* outer = new TBarePanel(FForm.get());
  outer->SetParent(FPanel);
  outer->SetBounds(20, 30, 200, 120);
  auto* inner = new TBarePanel(FForm.get());
  inner->SetParent(outer);
  inner->SetBounds(10, 5, 100, 60);
  auto* memo = new TMemo(FForm.get());
  memo->SetParent(inner);
  memo->SetBounds(4, 6, 50, 40);
  Settle();
  QWidget* editor = memo->Peer();
  EXPECT_EQ(outer->Peer(), nullptr);
  EXPECT_EQ(editor->parentWidget(), FPanel->Peer());
  EXPECT_EQ(editor->geometry(), QRect(20 + 10 + 4, 30 + 5 + 6, 50, 40));
  EXPECT_TRUE(editor->isVisible());
  EXPECT_TRUE(editor->mask().isEmpty());
  // The outer panel moves: the editor with it; made narrow, it cuts the
  // editor off at its edge.
  outer->SetBounds(40, 30, 60, 120);
  Settle();
  EXPECT_EQ(editor->pos(), QPoint(40 + 10 + 4, 30 + 5 + 6));
  EXPECT_EQ(editor->mask(), QRegion(0, 0, 60 - 10 - 4, 40));
  outer->SetVisible(false);
  Settle();
  EXPECT_FALSE(editor->isVisible());
  outer->SetVisible(true);
  Settle();
  EXPECT_TRUE(editor->isVisible());
  // An editor from a windowed panel goes into the windowless one, and the
  // windowed panel goes at once, before any peer sync.
  auto* windowed = new TPanel(FForm.get());
  windowed->SetParent(FPanel);
  auto* other = new TMemo(FForm.get());
  other->SetParent(windowed);
  Settle();
  other->SetParent(inner);
  delete windowed;
  Settle();
  ASSERT_NE(other->Peer(), nullptr);
  EXPECT_EQ(other->Peer()->parentWidget(), FPanel->Peer());
  EXPECT_TRUE(other->Peer()->isVisible());
}

}  // namespace

// A repaint cut into many rectangles is handed to each control as its own
// part of it: the same pixels a region intersection gives, in no more
// rectangles, for regions full of holes and rectangles anywhere on them.
TEST(RegionBands, GiveWhatARectangleCutsOutOfTheRegion) {
  std::mt19937 random(20261211);
  auto pick = [&](int AUpTo) { return std::uniform_int_distribution<int>(0, AUpTo - 1)(random); };
  auto rect = [&](int ASize) {
    return QRect(pick(200) - 20, pick(200) - 20, pick(ASize), pick(ASize));
  };
  for (int round = 0; round < 300; ++round) {
    QRegion region;
    for (int i = pick(12); i >= 0; --i) region += rect(120);
    for (int i = pick(40); i > 0; --i) region -= rect(30);  // editors cut out
    const TRegionBands bands(region);
    for (int probe = 0; probe < 40; ++probe) {
      const QRect within = probe == 0 ? region.boundingRect() : rect(90);
      const QRegion expected = region & within, got = bands.Within(within);
      ASSERT_TRUE((expected ^ got).isEmpty())
          << "round " << round << ": " << got.rectCount() << " rectangles differ";
      EXPECT_LE(got.rectCount(), expected.rectCount()) << "round " << round;
    }
  }
}
