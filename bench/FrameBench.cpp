// What a user waits for: a whole frame (resize, layout, repaint of the
// window), the commands with the repaint they cause, and the memory a pane
// costs, each next to nested QSplitters whose leaves paint what a pane shows.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/SplitPanel.h"
#include "bench/Trees.h"
#include "widgets/Widgets.h"

namespace {

using Clock = std::chrono::steady_clock;

// Everything a change leaves pending: geometry for Qt, layout requests and
// the repaint of what changed.
void Settle() {
  SyncPeers();
  QCoreApplication::sendPostedEvents();
}

void Frame(benchmark::State& AState, Shape AShape) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<HostWindow> window = BuildWindow(AShape, leaves);
  QWidget* top = window->Form->Handle();
  bool wide = false;
  for (auto _ : AState) {
    wide = !wide;
    window->Form->SetClientSize(wide ? kWide : kNarrow, wide ? kHigh : kLow);
    SyncPeers();
    top->repaint();
  }
  PerLeafCounters(AState, leaves);
}

void FrameQSplitter(benchmark::State& AState, Shape AShape) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<QWidget> top = ShownSplitterTree(AShape, leaves, true);
  bool wide = false;
  for (auto _ : AState) {
    wide = !wide;
    top->resize(wide ? kWide : kNarrow, wide ? kHigh : kLow);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    top->repaint();
  }
  PerLeafCounters(AState, leaves);
}

// A split of the current pane and the removal that undoes it, each timed
// with the repaint it causes; AWhich picks the half that is reported.
enum class Command { Split, Remove };

void SplitAndRemove(benchmark::State& AState, Command AWhich) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<HostWindow> window = BuildWindow(Shape::Balanced, leaves);
  window->Form->Handle()->repaint();
  for (auto _ : AState) {
    const auto t0 = Clock::now();
    window->Host->SplitCurrent(alLeft, 0.5f);
    Settle();
    const auto t1 = Clock::now();
    window->Host->DeleteCurrent();
    Settle();
    const auto t2 = Clock::now();
    const auto taken = AWhich == Command::Split ? t1 - t0 : t2 - t1;
    AState.SetIterationTime(std::chrono::duration<double>(taken).count());
  }
  AState.counters["leaves"] = leaves;
}

// One step of a drag on the root's splitter: the whole tree moves.
void DragStep(benchmark::State& AState, bool AContent) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<HostWindow> window = BuildWindow(Shape::Balanced, leaves);
  if (AContent) {
    FillByCommands(*window);
    Settle();
  }
  window->Form->Handle()->repaint();
  TSplitter* splitter = window->Root()->FSplitter;
  int step = 8;
  for (auto _ : AState) {
    step = -step;
    splitter->MoveBy(step);
    Settle();
  }
  AState.counters["leaves"] = leaves;
}

// Moving panes about at 1,024 panes, each with the repaint it causes: a
// move of the current pane, a swap with a far one, and the layout's undo
// and redo of the move; AWhich picks what is reported. With AFar the move
// lays the pane along the window's side (the whole tree is laid out anew),
// else it goes to the far side of the pane next door, in a window of a 4K
// screen: in 1,600 x 1,200 no pane of 1,024 has room for a split beside it.
enum class Rearranging { Move, Swap, Undo, Redo };

void Rearrange(benchmark::State& AState, Rearranging AWhich, bool AFar) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<HostWindow> window = AFar
                                                 ? BuildWindow(Shape::Balanced, leaves)
                                                 : BuildWindow(Shape::Balanced, leaves, 3840, 2160);
  TMainPanel* host = window->Host;
  window->Form->Handle()->repaint();
  auto leafAt = [&](int X, int Y) { return host->LeafAt(X, Y); };
  bool refused = false;
  TSplitPanel* near = leafAt(10, 10);
  for (auto _ : AState) {
    TSplitPanel* far = leafAt(host->Width() - 10, host->Height() - 10);
    host->SetCurrent(near);
    Settle();
    // Panes this small have no room for a split beside most of them.
    const size_t serial = host->History().Serial();
    TSplitPanel* next = static_cast<TSplitPanel*>(near->Parent())->FSecond;
    const TDropSide side =
        next->Parent() != nullptr && static_cast<TSplitPanel*>(near->Parent())->SplitsHeight()
            ? dsBottom
            : dsRight;
    if (AFar) host->BeginMoveMode();
    const auto t0 = Clock::now();
    if (AFar)
      host->MoveModeKey('L', true);
    else
      host->MovePane(near, next, side);
    Settle();
    window->Form->Handle()->repaint();
    const auto t1 = Clock::now();
    host->EndMoveMode(true);
    refused = refused || host->History().Serial() == serial;
    const auto t1b = Clock::now();
    host->UndoLayout();
    Settle();
    window->Form->Handle()->repaint();
    const auto t2 = Clock::now();
    host->RedoLayout();
    Settle();
    window->Form->Handle()->repaint();
    const auto t3 = Clock::now();
    host->UndoLayout();
    near = leafAt(10, 10);
    far = leafAt(host->Width() - 10, host->Height() - 10);
    Settle();
    const auto t4 = Clock::now();
    host->MovePane(near, far, dsSwap);
    Settle();
    window->Form->Handle()->repaint();
    const auto t5 = Clock::now();
    host->UndoLayout();
    Settle();
    near = leafAt(10, 10);
    const auto taken = AWhich == Rearranging::Move   ? t1 - t0
                       : AWhich == Rearranging::Undo ? t2 - t1b
                       : AWhich == Rearranging::Redo ? t3 - t2
                                                     : t5 - t4;
    AState.SetIterationTime(std::chrono::duration<double>(taken).count());
  }
  AState.counters["leaves"] = leaves;
  if (refused) AState.SkipWithError("a move was refused");
}

// One frame of a pane carried by the pointer: where it would land and the
// wash over it, repainted.
void DragWash(benchmark::State& AState) {
  const int leaves = static_cast<int>(AState.range(0));
  const std::unique_ptr<HostWindow> window = BuildWindow(Shape::Balanced, leaves);
  TMainPanel* host = window->Host;
  window->Form->Handle()->repaint();
  TSplitPanel* carried = host->LeafAt(10, 10);
  QWidget* top = window->Form->Handle();
  // Two points where the carried pane would trade places with another.
  auto swapNear = [&](int X, int Y) {
    for (int d = 0; d < 60; d += 3)
      if (host->DropPlaceAt(carried, X + d, Y + d).Side == dsSwap) return QPoint(X + d, Y + d);
    return QPoint(X, Y);
  };
  const QPoint points[] = {swapNear(host->Width() * 3 / 4, host->Height() / 3),
                           swapNear(host->Width() / 2 + 7, host->Height() * 2 / 3)};
  bool there = false;
  double washed = 0;
  for (auto _ : AState) {
    there = !there;
    const QPoint at = points[there ? 0 : 1];
    const TRect wash = host->DropPlaceAt(carried, at.x(), at.y()).Wash;
    host->PointerMove()->ShowWash(wash);
    Settle();
    // What the wash left and what it covers now, painted.
    top->repaint(
        QRect(wash.Left, wash.Top, wash.Width(), wash.Height()).adjusted(-60, -60, 60, 60));
    washed = wash.Width() * wash.Height();
  }
  AState.counters["wash_px"] = washed;
  host->PointerMove()->HideWash();
  AState.counters["leaves"] = leaves;
}

// Resident memory a tree of ALeaves adds to a shown, painted window, in KiB;
// measured in a fresh process so neither side reuses the other's memory.
long ProbeMemory(const char* ASide, const char* AShape, int ALeaves) {
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return -1;
  const std::string command =
      std::string(self) + " --memory-probe " + ASide + " " + AShape + " " + std::to_string(ALeaves);
  FILE* probe = popen(command.c_str(), "r");
  if (probe == nullptr) return -1;
  long kib = -1;
  if (std::fscanf(probe, "%ld", &kib) != 1) kib = -1;
  return pclose(probe) == 0 ? kib : -1;
}

void Memory(benchmark::State& AState, Shape AShape) {
  const int leaves = static_cast<int>(AState.range(0));
  const char* shape = AShape == Shape::Chain ? "chain" : "balanced";
  long ours = 0, theirs = 0;
  for (auto _ : AState) {
    ours = ProbeMemory("ours", shape, leaves);
    theirs = ProbeMemory("qsplitter", shape, leaves);
  }
  if (ours < 0 || theirs <= 0) {
    AState.SkipWithError("memory probe failed");
    return;
  }
  AState.counters["leaves"] = leaves;
  AState.counters["ours_KiB_per_leaf"] = static_cast<double>(ours) / leaves;
  AState.counters["qsplitter_KiB_per_leaf"] = static_cast<double>(theirs) / leaves;
  AState.counters["ours_over_qsplitter"] = static_cast<double>(ours) / static_cast<double>(theirs);
}

void Leaves(benchmark::internal::Benchmark* ABench) {
  for (int n = 4; n <= 4096; n *= 4) ABench->Arg(n);
  ABench->Unit(benchmark::kMillisecond);
}

// Nested QSplitters in a chain take seconds per frame past a few hundred
// levels (see the layout benchmark), so that side stops at 256.
void ChainLeavesForQSplitter(benchmark::internal::Benchmark* ABench) {
  for (int n = 4; n <= 256; n *= 4) ABench->Arg(n);
  ABench->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(Frame, balanced, Shape::Balanced)->Apply(Leaves);
BENCHMARK_CAPTURE(FrameQSplitter, balanced, Shape::Balanced)->Apply(Leaves);
BENCHMARK_CAPTURE(Frame, chain, Shape::Chain)->Apply(Leaves);
BENCHMARK_CAPTURE(FrameQSplitter, chain, Shape::Chain)->Apply(ChainLeavesForQSplitter);
// A command at 1,024 panes, timed by the benchmark itself.
void TimedAt1024(benchmark::internal::Benchmark* ABench) {
  ABench->Arg(1024)->UseManualTime()->Unit(benchmark::kMillisecond);
}
// The same, forty times: each rearranging builds its own window.
void FortyAt1024(benchmark::internal::Benchmark* ABench) {
  TimedAt1024(ABench);
  ABench->Iterations(40);
}

BENCHMARK_CAPTURE(SplitAndRemove, split, Command::Split)->Apply(TimedAt1024);
BENCHMARK_CAPTURE(SplitAndRemove, remove, Command::Remove)->Apply(TimedAt1024);
BENCHMARK_CAPTURE(DragStep, panes, false)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DragStep, with_content, true)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rearrange, swap_far, Rearranging::Swap, true)->Apply(FortyAt1024);
BENCHMARK_CAPTURE(Rearrange, move_along_window_side, Rearranging::Move, true)->Apply(FortyAt1024);
BENCHMARK_CAPTURE(Rearrange, undo_along_window_side, Rearranging::Undo, true)->Apply(FortyAt1024);
BENCHMARK_CAPTURE(Rearrange, redo_along_window_side, Rearranging::Redo, true)->Apply(FortyAt1024);
BENCHMARK_CAPTURE(Rearrange, move_next_door, Rearranging::Move, false)->Apply(FortyAt1024);
BENCHMARK_CAPTURE(Rearrange, undo_next_door, Rearranging::Undo, false)->Apply(FortyAt1024);
BENCHMARK_CAPTURE(Rearrange, redo_next_door, Rearranging::Redo, false)->Apply(FortyAt1024);
BENCHMARK(DragWash)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Memory, balanced, Shape::Balanced)
    ->Arg(64)
    ->Arg(256)
    ->Arg(1024)
    ->Arg(4096)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// The child side of ProbeMemory: prints the KiB a tree adds.
int MemoryProbe(const std::string& ASide, const std::string& AShape, int ALeaves) {
  const Shape shape = AShape == "chain" ? Shape::Chain : Shape::Balanced;
  long before = 0;
  if (ASide == "ours") {
    auto window = std::make_unique<HostWindow>(kWide, kHigh);
    window->Form->Show();
    QApplication::processEvents();
    window->Form->Handle()->repaint();
    before = ResidentKiB();
    GrowPanes(window.get(), shape, ALeaves);
    Settle();
    window->Form->Handle()->repaint();
    std::printf("%ld\n", ResidentKiB() - before);
    return 0;
  }
  QWidget top;
  auto* layout = new QVBoxLayout(&top);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* single = new PaintedLeaf("BASEPANEL");
  layout->addWidget(single);
  top.resize(kWide, kHigh);
  top.show();
  QApplication::processEvents();
  top.repaint();
  before = ResidentKiB();
  delete single;
  layout->addWidget(SplitterTree(shape, ALeaves, 0, true));
  QApplication::processEvents();
  top.repaint();
  std::printf("%ld\n", ResidentKiB() - before);
  return 0;
}
