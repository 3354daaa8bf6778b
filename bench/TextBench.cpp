// Huge texts in an editor: a workspace whose one editor holds 5 MB on a
// single line, or 5 MB in 80,000 lines, opened up to its first whole frame;
// and a key typed into that editor, up to the frame that shows it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <memory>
#include <string>

#include "app/SplitPanel.h"
#include "app/Workspace.h"
#include "bench/Trees.h"
#include "widgets/Widgets.h"

namespace {

constexpr size_t FiveMB = size_t{5} << 20;

// 5 MB of words on one line, or in lines of 64 letters.
std::string HugeText(bool AOneLine) {
  std::string text;
  text.reserve(FiveMB + 80);
  if (AOneLine) {
    while (text.size() < FiveMB) text += "panes and splits ";
  } else {
    for (int i = 0; i < 80000; ++i) text += std::string(64, static_cast<char>('a' + i % 26)) + "\n";
  }
  return text;
}

TWorkspace EditorWorkspace(const std::string& AText) {
  TWorkspace workspace;
  workspace.AreaWidth = kNarrow;
  workspace.AreaHeight = kLow;
  TPaneNode leaf;
  leaf.Content.Kind = ckMemo;
  leaf.Content.Text = AText;
  workspace.Panes.push_back(leaf);
  workspace.Current = 0;
  return workspace;
}

void HugeTextOpen(benchmark::State& AState, bool AOneLine) {
  // As a file holds it: the reading is part of what the user waits for.
  TimeOpens(AState, WriteWorkspace(EditorWorkspace(HugeText(AOneLine))), kNarrow, kLow);
}

void Key(QWidget* AEditor, int AKey, const QString& AText) {
  QKeyEvent press(QEvent::KeyPress, AKey, Qt::NoModifier, AText);
  QApplication::sendEvent(AEditor, &press);
  QKeyEvent release(QEvent::KeyRelease, AKey, Qt::NoModifier, AText);
  QApplication::sendEvent(AEditor, &release);
}

// A letter typed in the middle of the text, up to the repaint that shows
// it; a backspace (not timed) takes it back.
void HugeTextKey(benchmark::State& AState, bool AOneLine) {
  auto window = ShownWindow(kNarrow, kLow);
  window->Host->Open(EditorWorkspace(HugeText(AOneLine)));
  SyncPeers();
  window->Form->Handle()->repaint();
  auto* memo = dynamic_cast<TMemo*>(window->Host->FRoot->Content());
  if (memo == nullptr) {
    AState.SkipWithError("no editor");
    return;
  }
  memo->SetSelection(1000, 1000);
  QWidget* editor = memo->Handle();
  editor->setFocus();
  Application->ProcessMessages();
  for (auto _ : AState) {
    Key(editor, Qt::Key_X, QStringLiteral("x"));
    editor->repaint();
    AState.PauseTiming();
    Key(editor, Qt::Key_Backspace, QString());
    Application->ProcessMessages();
    AState.ResumeTiming();
  }
}

// What the recovery copy costs the window while the user types: the tree's
// value and its text, made on the window's thread (the write is not).
void HugeTextKeep(benchmark::State& AState, bool AOneLine) {
  auto window = ShownWindow(kNarrow, kLow);
  window->Host->Open(EditorWorkspace(HugeText(AOneLine)));
  for (auto _ : AState) benchmark::DoNotOptimize(WriteWorkspace(window->Host->Workspace()));
}

}  // namespace

BENCHMARK_CAPTURE(HugeTextKeep, one_line_5MB, true)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HugeTextKeep, lines_80000_5MB, false)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HugeTextOpen, one_line_5MB, true)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HugeTextOpen, lines_80000_5MB, false)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HugeTextKey, one_line_5MB, true)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HugeTextKey, lines_80000_5MB, false)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
