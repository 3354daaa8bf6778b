// How long the layout pass takes over trees of 16 to 4,096 leaves, next to a
// nested QSplitter tree of the same shape doing the same resize.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "app/SplitPanel.h"
#include "bench/Trees.h"
#include "widgets/Widgets.h"

namespace {

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
  PerLeafCounters(AState, leaves);
}

void ResizeQSplitter(benchmark::State& AState, Shape AShape) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<QWidget> top = ShownSplitterTree(AShape, leaves, false);
  bool wide = false;
  for (auto _ : AState) {
    wide = !wide;
    // Visible widgets lay their children out inside the resize, down the tree.
    top->resize(wide ? kWide : kNarrow, wide ? kHigh : kLow);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    benchmark::DoNotOptimize(top->width());
  }
  PerLeafCounters(AState, leaves);
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
