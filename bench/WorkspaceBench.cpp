// Workspace files: opening one up to its first whole frame, next to building
// the same panes and content through the commands; and saving one.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QWidget>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/SplitPanel.h"
#include "app/Workspace.h"
#include "bench/Trees.h"
#include "widgets/Widgets.h"

namespace {

using Clock = std::chrono::steady_clock;

// What a workspace of ALeaves leaves with content looks like as a file.
std::string WorkspaceText(Shape AShape, int ALeaves, bool AContent) {
  auto window = std::make_unique<HostWindow>(kWide, kHigh);
  GrowPanes(window.get(), AShape, ALeaves);
  if (AContent) FillByCommands(*window);
  return WriteWorkspace(window->Host->Workspace());
}

void Open(benchmark::State& AState, Shape AShape, bool AContent) {
  const int leaves = static_cast<int>(AState.range(0));
  TimeOpens(AState, WorkspaceText(AShape, leaves, AContent), kWide, kHigh);
}

void BuildByCommands(benchmark::State& AState, Shape AShape) {
  const int leaves = static_cast<int>(AState.range(0));
  for (auto _ : AState) {
    AState.PauseTiming();
    auto window = ShownWindow(kWide, kHigh);
    AState.ResumeTiming();
    GrowPanes(window.get(), AShape, leaves);
    FillByCommands(*window);
    SyncPeers();
    window->Form->Handle()->repaint();
    AState.PauseTiming();
    window.reset();
    AState.ResumeTiming();
  }
}

// What Ctrl+S does: the value of the tree, its text, a safe write. APart
// picks one step alone, or all three.
enum class SavePart { Value, Text, Write, All };

void Save(benchmark::State& AState, Shape AShape, bool AContent, SavePart APart) {
  const int leaves = static_cast<int>(AState.range(0));
  auto window = ShownWindow(kWide, kHigh);
  TWorkspace workspace;
  ReadWorkspace(WorkspaceText(AShape, leaves, AContent), workspace);
  window->Host->Open(workspace);
  const std::string file = "/tmp/panes-bench-" + std::to_string(getpid()) + ".panes";
  const std::string saved = WriteWorkspace(workspace);
  size_t bytes = 0;
  for (auto _ : AState) {
    std::string text = saved;
    if (APart == SavePart::Value) benchmark::DoNotOptimize(window->Host->Workspace());
    if (APart == SavePart::Text) text = WriteWorkspace(workspace);
    if (APart == SavePart::All) text = WriteWorkspace(window->Host->Workspace());
    if (APart == SavePart::Write || APart == SavePart::All) {
      std::string problem;
      if (!SaveToFile(file, text, problem)) AState.SkipWithError(problem.c_str());
    }
    bytes = text.size();
  }
  AState.counters["bytes"] = static_cast<double>(bytes);
  std::remove(file.c_str());
}

}  // namespace

BENCHMARK_CAPTURE(Open, balanced_with_content, Shape::Balanced, true)
    ->Arg(1024)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BuildByCommands, balanced_with_content, Shape::Balanced)
    ->Arg(1024)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, balanced_with_content, Shape::Balanced, true, SavePart::All)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, balanced_with_content_value, Shape::Balanced, true, SavePart::Value)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, balanced_with_content_text, Shape::Balanced, true, SavePart::Text)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, balanced_with_content_write, Shape::Balanced, true, SavePart::Write)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Open, chain, Shape::Chain, false)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, chain, Shape::Chain, false, SavePart::All)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
