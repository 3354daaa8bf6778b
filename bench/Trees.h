#pragma once
// The trees both sides of the benchmarks are measured on: a pane tree in a
// window laid out like the main one, and the same shape built from nested
// QSplitters whose leaves paint what a pane shows.

#include <benchmark/benchmark.h>

#include <QWidget>
#include <memory>
#include <string>

#include "tests/app/HostWindow.h"

enum class Shape { Balanced, Chain };

constexpr int kWide = 1600, kHigh = 1200;
constexpr int kNarrow = 1200, kLow = 900;

// Splits AWindow's panes until it has ALeaves of them, in the given shape.
void GrowPanes(HostWindow* AWindow, Shape AShape, int ALeaves);
// A shown host window of AWidth x AHeight with ALeaves panes.
std::unique_ptr<HostWindow> BuildWindow(Shape AShape, int ALeaves, int AWidth = kWide,
                                        int AHeight = kHigh);

// A leaf as a Qt programmer would write it: background, a one-pixel raised
// bevel and the caption centred.
class PaintedLeaf : public QWidget {
 public:
  explicit PaintedLeaf(QString ACaption) : FCaption(std::move(ACaption)) {}

 protected:
  void paintEvent(QPaintEvent* AEvent) override;

 private:
  QString FCaption;
};

// Nested QSplitters of the same shape; with APainted the leaves are
// PaintedLeaf, otherwise plain raised frames.
QWidget* SplitterTree(Shape AShape, int ALeaves, int ADepth, bool APainted);

// The same tree as a shown window of kWide x kHigh.
std::unique_ptr<QWidget> ShownSplitterTree(Shape AShape, int ALeaves, bool APainted);

// Half the leaves an editor holding a paragraph, the rest a grid with a few
// cells, through the commands a user gives.
void FillByCommands(HostWindow& AWindow);

// A shown host window of AWidth x AHeight without panes beyond the base one.
std::unique_ptr<HostWindow> ShownWindow(int AWidth, int AHeight);

// Times what a user waits for when opening AFile (a workspace's text) in a
// freshly shown window of AWidth x AHeight: reading it, building the panes
// and the first whole frame.
void TimeOpens(benchmark::State& AState, const std::string& AFile, int AWidth, int AHeight);

// Reports the number of leaves and the time per leaf of one iteration.
void PerLeafCounters(benchmark::State& AState, int ALeaves);

// Resident memory of this process, in KiB.
long ResidentKiB();
