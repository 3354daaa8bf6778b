// A grid with real work in it: growing to 100,000 cells, pasting a
// spreadsheet's 10,000 and opening a workspace whose grid holds 100,000,
// each with the repaint the user waits for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QWidget>
#include <memory>
#include <string>

#include "app/SplitPanel.h"
#include "app/Workspace.h"
#include "bench/Trees.h"
#include "widgets/Widgets.h"

namespace {

struct TShownGrid {
  std::unique_ptr<TForm> Form{TForm::CreateNew(nullptr)};
  TStringGrid* Grid = nullptr;
  TShownGrid() {
    Form->SetClientSize(1200, 900);
    Grid = new TStringGrid(Form.get());
    Grid->SetParent(Form.get());
    Grid->SetAlign(alClient);
    Form->Show();
    Application->ProcessMessages();
  }
  void Repaint() {
    Form->Handle()->repaint();
    Application->ProcessMessages();
  }
};

// From the first 5 x 5 to 1,000 rows of 100 cells, and back.
void GridGrow(benchmark::State& AState) {
  TShownGrid shown;
  for (auto _ : AState) {
    shown.Grid->SetColCount(101);
    shown.Grid->SetRowCount(1001);
    shown.Repaint();
    AState.PauseTiming();
    shown.Grid->SetRowCount(5);
    shown.Grid->SetColCount(5);
    shown.Repaint();
    AState.ResumeTiming();
  }
}

// A 100 x 100 block of tab-separated text, as a spreadsheet copies it,
// pasted into an empty grid that grows to take it.
void GridPaste(benchmark::State& AState) {
  std::string text;
  for (int row = 0; row < 100; ++row)
    for (int col = 0; col < 100; ++col)
      text.append("r")
          .append(std::to_string(row))
          .append("c")
          .append(std::to_string(col))
          .append(col < 99 ? "\t" : "\n");
  QApplication::clipboard()->setText(QString::fromStdString(text));
  std::unique_ptr<TShownGrid> shown;
  for (auto _ : AState) {
    AState.PauseTiming();
    shown.reset();  // the last one goes untimed
    shown = std::make_unique<TShownGrid>();
    AState.ResumeTiming();
    shown->Grid->PasteFromClipboard();
    shown->Repaint();
  }
}

// A workspace of one pane whose grid has 1,000 rows of 100 cells, every one
// holding a number, opened up to its first whole frame.
void GridOpen(benchmark::State& AState) {
  TWorkspace workspace;
  workspace.AreaWidth = kWide;
  workspace.AreaHeight = kHigh;
  workspace.Current = 0;
  TPaneNode leaf;
  leaf.Content.Kind = ckGrid;
  leaf.Content.RowCount = 1001;
  leaf.Content.ColCount = 101;
  for (int row = 0; row < 1001; ++row)
    for (int col = 0; col < 101; ++col)
      leaf.Content.Cells.push_back(row > 0 && col > 0 ? std::to_string(row * 1000 + col) : "");
  leaf.Content.Top = 400;  // scrolled, as a grid of that size will be
  workspace.Panes.push_back(leaf);
  const std::string text = WriteWorkspace(workspace);
  for (auto _ : AState) {
    AState.PauseTiming();
    auto window = std::make_unique<HostWindow>(kWide, kHigh);
    window->Form->Show();
    Application->ProcessMessages();
    AState.ResumeTiming();
    TWorkspace opened;
    if (!ReadWorkspace(text, opened).empty()) AState.SkipWithError("the workspace does not read");
    window->Host->Open(opened);
    SyncPeers();
    window->Form->Handle()->repaint();
    Application->ProcessMessages();  // the grid scrolls where it was
    window->Form->Handle()->repaint();
    AState.PauseTiming();
    window.reset();
    AState.ResumeTiming();
  }
  AState.counters["bytes"] = static_cast<double>(text.size());
}

}  // namespace

BENCHMARK(GridOpen)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(GridGrow)->Unit(benchmark::kMillisecond);
BENCHMARK(GridPaste)->Unit(benchmark::kMillisecond);
