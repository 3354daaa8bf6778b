#pragma once
// Whole-tree checks for pane tests: a readable dump and every invariant.

#include <set>
#include <string>
#include <vector>

#include "app/SplitPanel.h"

namespace pane_tree {

// "[AAA* / BBB]": stacked halves are joined by " / ", side-by-side ones by
// " | "; "*" marks the current pane, "+N" a leaf holding N content controls.
std::string Dump(const TMainPanel* AHost);

std::vector<TSplitPanel*> Leaves(TSplitPanel* ARoot);
std::vector<TSplitPanel*> SplitPanes(TSplitPanel* ARoot);
TSplitPanel* FirstLeaf(TSplitPanel* APane);

struct CheckOptions {
  // Content controls that panes may hold besides their tree parts.
  std::set<const TControl*> Contents;
  // Also check sizes, as they are right after a layout pass (or a drag,
  // whose stored share gives back the very pixel it reached).
  bool Laidout = true;
  // Also check what assistive technology is told: every pane, splitter and
  // content control named for its place and what it holds, as a host
  // command leaves them.
  bool Named = false;
};

// Options for a tree whose panes hold these content controls.
inline CheckOptions Holding(std::set<const TControl*> AContents) {
  CheckOptions options;
  options.Contents = std::move(AContents);
  return options;
}

// Every broken invariant, one line each; empty when the tree is sound.
std::vector<std::string> Check(const TMainPanel* AHost, const CheckOptions& AOptions = {});

}  // namespace pane_tree

// Fails the current test with the dump of the tree when an invariant breaks.
#define EXPECT_TREE_SOUND(host, ...)                                                   \
  do {                                                                                 \
    const auto problems_ = pane_tree::Check((host), ##__VA_ARGS__);                    \
    EXPECT_TRUE(problems_.empty()) << pane_tree::Dump(host) << "\n" << [&] {           \
      std::string all_;                                                                \
      for (const auto& p_ : problems_) all_ += "  " + p_ + "\n";                        \
      return all_;                                                                     \
    }();                                                                               \
  } while (0)
