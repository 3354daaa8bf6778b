// Random sequences of what a user does, with the whole tree checked after
// every step.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

#include "tests/app/HostFixture.h"

using namespace testing_support;

namespace {

class TContentWatch : public TComponent {
 public:
  TContentWatch() : TComponent(nullptr) {}
  std::set<const TComponent*> Dead;
  void Watch(TComponent* AComponent) { FreeNotification(AComponent); }

 protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override {
    if (AOperation == opRemove) Dead.insert(AComponent);
  }
};

unsigned SeedFromEnvironment() {
  const char* text = std::getenv("PANES_SEED");
  return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20261207u;
}

bool InTree(TSplitPanel* ARoot, const TWinControl* APane) {
  if (ARoot == nullptr) return false;
  return ARoot == APane || InTree(ARoot->FFirst, APane) || InTree(ARoot->FSecond, APane);
}

TEST(RandomPaneTree, EveryStepKeepsTheTreeSoundAndNoContentIsLost) {
  const unsigned seed = SeedFromEnvironment();
  std::cout << "random pane tree seed " << seed << " (set PANES_SEED to replay)\n";
  std::mt19937 random(seed);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

  HostWindow w(640, 480);
  TMainPanel* host = w.Host;
  TContentWatch watch;
  pane_tree::CheckOptions options;
  std::set<TMemo*> alive;  // content that must still exist
  bool laidOut = true;
  std::ostringstream log;
  const int steps = 3000;

  for (int step = 0; step < steps && !testing::Test::HasFailure(); ++step) {
    const int leaves = static_cast<int>(pane_tree::Leaves(w.Root()).size());
    // Grow early, then hover around a few dozen panes.
    int op = pick(100);
    if (leaves > 40 && op < 30) op += 30;
    std::set<const TComponent*> mustDie;
    if (op < 30) {
      const TAlign align = pick(2) == 0 ? alTop : alLeft;
      log << step << ": split " << (align == alTop ? "stacked" : "side by side") << "\n";
      host->SplitCurrent(align, 0.5f);  // lays out the split pane only
    } else if (op < 50) {
      log << step << ": delete\n";
      TSplitPanel* target = pane_tree::FirstLeaf(host->FCurrent);
      if (target != w.Root())
        for (TMemo* m : alive)
          if (m->Parent() == target) mustDie.insert(m);
      host->DeleteCurrent();
      laidOut = true;
    } else if (op < 70) {
      const auto all = pane_tree::Leaves(w.Root());
      TSplitPanel* leaf = all[static_cast<size_t>(pick(static_cast<int>(all.size())))];
      log << step << ": click a leaf\n";
      QTest::mouseClick(leaf->FPaintBox->Handle(), pick(2) ? Qt::LeftButton : Qt::RightButton);
      EXPECT_EQ(host->FCurrent, leaf);
    } else if (op < 82) {
      const auto split = pane_tree::SplitPanes(w.Root());
      if (split.empty()) continue;
      TSplitPanel* pane = split[static_cast<size_t>(pick(static_cast<int>(split.size())))];
      const int delta = pick(201) - 100;
      const bool stacked = pane->FSplitter->Align() == alTop;
      log << step << ": drag a splitter by " << delta << "\n";
      TSplitter* s = pane->FSplitter;
      Drag(s, s->Width() / 2, s->Height() / 2, stacked ? 0 : delta, stacked ? delta : 0, 2);
      laidOut = false;
    } else if (op < 94) {
      const int width = pick(5) == 0 ? pick(8) : pick(1400);
      const int height = pick(5) == 0 ? pick(8) : pick(1000);
      log << step << ": resize to " << width << "x" << height << "\n";
      w.Form->SetClientSize(width, height);
      host->ResizePanes();  // in case the size did not change
      laidOut = true;
    } else {
      if (alive.size() >= 6) continue;
      log << step << ": put a memo into the current pane\n";
      auto* memo = new TMemo(w.Owner);
      memo->SetAlign(alClient);
      memo->SetParent(host->FCurrent);
      memo->SetText("note " + std::to_string(step));
      watch.Dead.erase(memo);  // the allocator may hand out a dead one's address
      alive.insert(memo);
      options.Contents.insert(memo);
      watch.Watch(memo);
    }

    options.Laidout = laidOut;
    EXPECT_TREE_SOUND(host, options);
    for (auto it = alive.begin(); it != alive.end();) {
      TMemo* m = *it;
      if (watch.Dead.count(m) == 0) {
        EXPECT_FALSE(mustDie.count(m)) << "content of the removed pane outlived it";
        EXPECT_TRUE(InTree(w.Root(), m->Parent())) << "content left the tree";
        ++it;
        continue;
      }
      EXPECT_TRUE(mustDie.count(m)) << "content destroyed with a surviving pane";
      options.Contents.erase(m);
      it = alive.erase(it);
    }
  }
  if (testing::Test::HasFailure()) std::cout << "steps so far:\n" << log.str();
}

}  // namespace
