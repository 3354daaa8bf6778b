// How long the layout pass takes over trees of 16 to 4,096 leaves, next to a
// nested QSplitter tree of the same shape doing the same resize.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFrame>
#include <QSplitter>
#include <QWidget>
#include <deque>
#include <memory>

#include "app/SplitPanel.h"
#include "tests/app/HostWindow.h"
#include "widgets/Widgets.h"

namespace {

enum class Shape { Balanced, Chain };

constexpr int kWide = 1600, kHigh = 1200;
constexpr int kNarrow = 1200, kLow = 900;

// The host window of the tests, grown to the shape wanted.
std::unique_ptr<HostWindow> BuildWindow(Shape AShape, int ALeaves) {
  auto window = std::make_unique<HostWindow>(kWide, kHigh);
  TMainPanel* host = window->Host;
  if (AShape == Shape::Chain) {
    // What repeated splits give: the newest first half split again.
    for (int i = 1; i < ALeaves; ++i) host->SplitCurrent(i % 2 ? alTop : alLeft, 0.5f);
  } else {
    std::deque<std::pair<TSplitPanel*, int>> leaves{{host->FRoot, 0}};
    for (int i = 1; i < ALeaves; ++i) {
      const auto [leaf, depth] = leaves.front();
      leaves.pop_front();
      host->FCurrent = leaf;
      host->SplitCurrent(depth % 2 ? alLeft : alTop, 0.5f);
      leaves.emplace_back(leaf->FFirst, depth + 1);
      leaves.emplace_back(leaf->FSecond, depth + 1);
    }
  }
  window->Form->Show();
  Application->ProcessMessages();
  return window;
}

void Resize(benchmark::State& AState, Shape AShape, bool APushToQt) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<HostWindow> window = BuildWindow(AShape, leaves);
  bool wide = false;
  for (auto _ : AState) {
    wide = !wide;
    window->Form->SetClientSize(wide ? kWide : kNarrow, wide ? kHigh : kLow);
    if (APushToQt) SyncPeers();
    benchmark::DoNotOptimize(window->Root()->FFirst->Width());
  }
  AState.counters["leaves"] = leaves;
  AState.counters["per_leaf"] = benchmark::Counter(
      static_cast<double>(leaves), benchmark::Counter::kIsIterationInvariantRate |
                                       benchmark::Counter::kInvert);
}

// The same tree as nested QSplitters, each pane a plain frame.
QWidget* SplitterTree(Shape AShape, int ALeaves, int ADepth) {
  if (ALeaves <= 1) {
    auto* leaf = new QFrame;
    leaf->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return leaf;
  }
  auto* splitter = new QSplitter(ADepth % 2 == 0 ? Qt::Vertical : Qt::Horizontal);
  splitter->setHandleWidth(3);
  splitter->setChildrenCollapsible(true);
  const int firstLeaves = AShape == Shape::Chain ? ALeaves - 1 : ALeaves / 2;
  splitter->addWidget(SplitterTree(AShape, firstLeaves, ADepth + 1));
  splitter->addWidget(SplitterTree(AShape, ALeaves - firstLeaves, ADepth + 1));
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);
  return splitter;
}

void ResizeQSplitter(benchmark::State& AState, Shape AShape) {
  const int leaves = static_cast<int>(AState.range(0));
  std::unique_ptr<QWidget> top(SplitterTree(AShape, leaves, 0));
  top->resize(kWide, kHigh);
  top->show();
  QApplication::processEvents();
  bool wide = false;
  for (auto _ : AState) {
    wide = !wide;
    // Visible widgets lay their children out inside the resize, down the tree.
    top->resize(wide ? kWide : kNarrow, wide ? kHigh : kLow);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    benchmark::DoNotOptimize(top->width());
  }
  AState.counters["leaves"] = leaves;
  AState.counters["per_leaf"] = benchmark::Counter(
      static_cast<double>(leaves), benchmark::Counter::kIsIterationInvariantRate |
                                       benchmark::Counter::kInvert);
}

void Leaves(benchmark::internal::Benchmark* ABench) {
  for (int n = 16; n <= 4096; n *= 4) ABench->Arg(n);
  ABench->Unit(benchmark::kMicrosecond);
}

// Nested QSplitters ask their whole subtree for size hints at every level, so
// a chain of them slows down faster than quadratically: past a few hundred
// levels one resize takes minutes.
void ChainLeavesForQSplitter(benchmark::internal::Benchmark* ABench) {
  for (int n = 16; n <= 256; n *= 4) ABench->Arg(n);
  ABench->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(Resize, balanced_model, Shape::Balanced, false)->Apply(Leaves);
BENCHMARK_CAPTURE(Resize, balanced_with_qt, Shape::Balanced, true)->Apply(Leaves);
BENCHMARK_CAPTURE(ResizeQSplitter, balanced, Shape::Balanced)->Apply(Leaves);
BENCHMARK_CAPTURE(Resize, chain_model, Shape::Chain, false)->Apply(Leaves);
BENCHMARK_CAPTURE(Resize, chain_with_qt, Shape::Chain, true)->Apply(Leaves);
BENCHMARK_CAPTURE(ResizeQSplitter, chain, Shape::Chain)->Apply(ChainLeavesForQSplitter);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Application->Finalize();
  return 0;
}
