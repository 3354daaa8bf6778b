#include "bench/Trees.h"

#include <unistd.h>

#include <QApplication>
#include <QFrame>
#include <QPainter>
#include <QSplitter>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <utility>

#include "app/SplitPanel.h"
#include "app/Workspace.h"
#include "widgets/Widgets.h"

void GrowPanes(HostWindow* AWindow, Shape AShape, int ALeaves) {
  TMainPanel* host = AWindow->Host;
  if (AShape == Shape::Chain) {
    // What repeated splits give: the newest first half split again.
    for (int i = 1; i < ALeaves; ++i) host->SplitCurrent(i % 2 ? alTop : alLeft, 0.5f);
    return;
  }
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

namespace {
// Shows AWindow; a window fitted onto a smaller screen would measure
// something else, so that stops the run.
std::unique_ptr<HostWindow> Shown(std::unique_ptr<HostWindow> AWindow, int AWidth, int AHeight) {
  AWindow->Form->Show();
  Application->ProcessMessages();
  if (AWindow->Host->Width() != AWidth || AWindow->Host->Height() != AHeight) {
    std::fprintf(stderr, "asked for a %d x %d window, the screen gave %d x %d\n", AWidth, AHeight,
                 AWindow->Host->Width(), AWindow->Host->Height());
    std::abort();
  }
  return AWindow;
}
}  // namespace

std::unique_ptr<HostWindow> BuildWindow(Shape AShape, int ALeaves, int AWidth, int AHeight) {
  auto window = std::make_unique<HostWindow>(AWidth, AHeight);
  GrowPanes(window.get(), AShape, ALeaves);
  return Shown(std::move(window), AWidth, AHeight);
}

std::unique_ptr<HostWindow> ShownWindow(int AWidth, int AHeight) {
  return Shown(std::make_unique<HostWindow>(AWidth, AHeight), AWidth, AHeight);
}

namespace {
const char* const Paragraph =
    "Notes kept in a pane: what was agreed, what is still open, and who does what next. "
    "A paragraph as long as people write in a pane of their own, with 中文 in it too.";
}  // namespace

void FillByCommands(HostWindow& AWindow) {
  TMainPanel* host = AWindow.Host;
  bool editor = true;
  std::vector<TSplitPanel*> leaves;
  std::vector<TSplitPanel*> todo{host->FRoot};
  while (!todo.empty()) {
    TSplitPanel* pane = todo.back();
    todo.pop_back();
    if (pane->FFirst == nullptr) {
      leaves.push_back(pane);
      continue;
    }
    todo.push_back(pane->FSecond);
    todo.push_back(pane->FFirst);
  }
  for (TSplitPanel* leaf : leaves) {
    host->SetCurrent(leaf);
    TControl* content = host->PutContent(editor ? ckMemo : ckGrid);
    if (auto* grid = dynamic_cast<TStringGrid*>(content)) {
      grid->SetCells(1, 1, "42");
      grid->SetCells(2, 2, "分割");
      grid->SetCells(3, 1, "done");
    } else {
      content->SetText(Paragraph);
    }
    editor = !editor;
  }
}

void TimeOpens(benchmark::State& AState, const std::string& AFile, int AWidth, int AHeight) {
  for (auto _ : AState) {
    AState.PauseTiming();
    auto window = ShownWindow(AWidth, AHeight);
    AState.ResumeTiming();
    TWorkspace workspace;
    if (!ReadWorkspace(AFile, workspace).empty())
      AState.SkipWithError("the workspace does not read");
    window->Host->Open(workspace);
    SyncPeers();
    // Up to the first whole frame: what Qt posted meanwhile (layout
    // requests, queued calls) runs first, as the event loop would run it.
    // The frame is painted once, at the end.
    QCoreApplication::removePostedEvents(window->Form->Handle(), QEvent::UpdateRequest);
    QCoreApplication::sendPostedEvents();
    window->Form->Handle()->repaint();
    AState.PauseTiming();
    window.reset();
    AState.ResumeTiming();
  }
  AState.counters["bytes"] = static_cast<double>(AFile.size());
}

void PaintedLeaf::paintEvent(QPaintEvent* /*AEvent*/) {
  QPainter painter(this);
  const QRect r = rect();
  painter.fillRect(r, QColor(240, 240, 240));
  painter.fillRect(0, 0, r.width(), 1, Qt::white);
  painter.fillRect(0, 0, 1, r.height(), Qt::white);
  painter.fillRect(0, r.height() - 1, r.width(), 1, QColor(160, 160, 160));
  painter.fillRect(r.width() - 1, 0, 1, r.height(), QColor(160, 160, 160));
  painter.drawText(r, Qt::AlignCenter, FCaption);
}

QWidget* SplitterTree(Shape AShape, int ALeaves, int ADepth, bool APainted) {
  if (ALeaves <= 1) {
    if (APainted) return new PaintedLeaf(ADepth % 2 ? "AAA" : "BBB");
    auto* leaf = new QFrame;
    leaf->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return leaf;
  }
  auto* splitter = new QSplitter(ADepth % 2 == 0 ? Qt::Vertical : Qt::Horizontal);
  splitter->setHandleWidth(3);
  splitter->setChildrenCollapsible(true);
  const int firstLeaves = AShape == Shape::Chain ? ALeaves - 1 : ALeaves / 2;
  splitter->addWidget(SplitterTree(AShape, firstLeaves, ADepth + 1, APainted));
  splitter->addWidget(SplitterTree(AShape, ALeaves - firstLeaves, ADepth + 1, APainted));
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);
  return splitter;
}

std::unique_ptr<QWidget> ShownSplitterTree(Shape AShape, int ALeaves, bool APainted) {
  std::unique_ptr<QWidget> top(SplitterTree(AShape, ALeaves, 0, APainted));
  top->resize(kWide, kHigh);
  top->show();
  QApplication::processEvents();
  return top;
}

void PerLeafCounters(benchmark::State& AState, int ALeaves) {
  AState.counters["leaves"] = ALeaves;
  AState.counters["per_leaf"] = benchmark::Counter(
      static_cast<double>(ALeaves),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
