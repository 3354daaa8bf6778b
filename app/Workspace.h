#pragma once
// Workspace files: the pane tree with its proportions, what every pane
// holds and which one is current, as a UTF-8 JSON document
// (docs/workspace.md describes it).

#include <cstddef>
#include <string>
#include <string_view>

#include "app/PaneValue.h"
#include "widgets/Types.h"

struct TWorkspace {
  // The pane area's size when saved: at this size every pane and splitter
  // opens on the same pixel; at any other, in the same proportions.
  int AreaWidth = 0;
  int AreaHeight = 0;
  // Empty while the window has no base pane yet.
  TPaneTree Panes;
  // Which of Panes is current: a leaf's index, or -1 without panes.
  int Current = -1;
  // The window, where the file says (version 2 on): its client size in its
  // normal state (what it comes back to from maximised or full screen) and
  // its state.
  bool HasWindow = false;
  int WindowWidth = 0;
  int WindowHeight = 0;
  TWindowState WindowState = wsNormal;
};

constexpr const char* WorkspaceFormat = "panes-workspace";
constexpr int WorkspaceVersion = 2;
// What a reader takes at most: a file this large, this many entries in its
// list of panes (splits and leaves: 8,192 panes as a user counts them), a
// chain this deep (the tree's own operations recurse on its depth), a window
// this wide or high.
constexpr std::size_t WorkspaceMaxBytes = std::size_t{64} << 20;
constexpr std::size_t WorkspaceMaxPanes = 16383;
constexpr std::size_t WorkspaceMaxLeaves = (WorkspaceMaxPanes + 1) / 2;
constexpr int WorkspaceMaxWindowSize = 32767;
// A grid (from version 2 on, any size) holds at most this many cells, fixed
// ones included, as the grid itself does; a cell at most this many bytes;
// a column is at most this wide.
constexpr long WorkspaceMaxCells = 1'000'000;
constexpr std::size_t WorkspaceMaxCellBytes = std::size_t{1} << 20;
constexpr int WorkspaceMinColumnWidth = 4;
constexpr int WorkspaceMaxColumnWidth = 100000;
// An editor's or grid's text size, in percent of the usual.
constexpr int WorkspaceMinScale = 50;
constexpr int WorkspaceMaxScale = 400;
constexpr std::size_t WorkspaceMaxDepth = 8192;

std::string WriteWorkspace(const TWorkspace& AWorkspace);
// Reads a workspace file's text into AWorkspace: empty when it is whole and
// sound, else why not (AWorkspace is then left as it was).
std::string ReadWorkspace(std::string_view AText, TWorkspace& AWorkspace);

// The share written for ARatio: the shortest decimal that reads back as the
// very same float.
double RatioText(float ARatio);
