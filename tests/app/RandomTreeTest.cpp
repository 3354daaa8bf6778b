// Random sequences of what a user does, with the whole tree checked after
// every step.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <cstdlib>
#include <algorithm>
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

std::vector<float> Ratios(TSplitPanel* ARoot) {
  std::vector<float> ratios;
  for (TSplitPanel* p : pane_tree::SplitPanes(ARoot)) ratios.push_back(p->FRatio);
  return ratios;
}

// Where every pane and splitter is, in window coordinates.
std::vector<TRect> Places(TSplitPanel* ARoot) {
  std::vector<TRect> places;
  auto add = [&](TControl* c) {
    const QPoint p = WindowPos(c);
    places.push_back({p.x(), p.y(), p.x() + c->Width(), p.y() + c->Height()});
  };
  for (TSplitPanel* p : pane_tree::SplitPanes(ARoot)) {
    add(p);
    add(p->FSplitter);
  }
  for (TSplitPanel* p : pane_tree::Leaves(ARoot)) add(p);
  return places;
}

// The current pane's whole frame is on the screen, where it can be seen.
std::string FrameProblem(TSplitPanel* ACurrent) {
  TPaintBox* box = ACurrent->FPaintBox;
  if (box == nullptr) return "current pane is not a leaf";
  if (box->Width() < 2 || box->Height() < 2) return {};
  // Parts of a pane pushed outside an ancestor are not on the screen.
  const QRect rect(WindowPos(box), QSize(box->Width(), box->Height()));
  for (TControl* c = ACurrent; c != nullptr; c = c->Parent())
    if (!QRect(WindowPos(c), QSize(c->Width(), c->Height())).contains(rect)) return {};
  const QImage image = ScreenImage(box);
  const QPoint corners[] = {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight(),
                            QPoint(rect.center().x(), rect.top()),
                            QPoint(rect.left(), rect.center().y())};
  for (QPoint p : corners)
    if (!IsRed(image.pixel(p))) return "frame of the current pane is not on the screen";
  return {};
}

TEST(RandomPaneTree, EveryStepKeepsTheTreeSoundAFramedLeafCurrentAndNoContentLost) {
  const unsigned seed = SeedFromEnvironment();
  std::cout << "random pane tree seed " << seed << " (set PANES_SEED to replay)\n";
  std::mt19937 random(seed);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

  HostWindow w(640, 480);
  ShowAndSettle(w.Form.get());
  TMainPanel* host = w.Host;
  TContentWatch watch;
  pane_tree::CheckOptions options;
  std::set<TMemo*> alive;   // content that must still exist
  std::set<TMemo*> parked;  // content of the last removed pane, kept for an undo
  std::ostringstream log;
  const char* stepsText = std::getenv("PANES_STEPS");
  const int steps = stepsText != nullptr ? std::atoi(stepsText) : 3000;

  for (int step = 0; step < steps && !testing::Test::HasFailure(); ++step) {
    const int leaves = static_cast<int>(pane_tree::Leaves(w.Root()).size());
    // Grow early, then hover around a few dozen panes.
    int op = pick(100);
    if (leaves > 40 && op < 30) op += 30;
    std::set<const TComponent*> mustDie;
    TSplitPanel* mustBeCurrent = nullptr;
    if (op < 30) {
      const TAlign align = pick(2) == 0 ? alTop : alLeft;
      log << step << ": split " << (align == alTop ? "stacked" : "side by side") << "\n";
      mustDie.insert(parked.begin(), parked.end());
      parked.clear();
      host->SplitCurrent(align, 0.5f);  // lays out the split pane only
    } else if (op < 45) {
      log << step << ": delete\n";
      TSplitPanel* target = host->FCurrent;
      if (target != w.Root()) {  // a removal ends the undo of the last one
        mustDie.insert(parked.begin(), parked.end());
        parked.clear();
        for (TMemo* m : alive)
          if (m->Parent() == target) parked.insert(m);
      }
      const std::string before = pane_tree::Dump(host);
      const std::vector<float> ratios = Ratios(w.Root());
      host->DeleteCurrent();
      options.Dragged.clear();
      if (pick(3) == 0 && target != w.Root()) {
        log << step << ": undo the removal\n";
        host->UndoDelete();
        EXPECT_EQ(pane_tree::Dump(host), before) << "an undo puts the pane back as it was";
        EXPECT_EQ(Ratios(w.Root()), ratios);
        for (TMemo* m : parked) EXPECT_EQ(m->Parent(), host->FCurrent);
        parked.clear();
      }
    } else if (op < 50) {
      log << step << ": zoom in and out\n";
      const std::vector<TRect> before = Places(w.Root());
      host->ToggleZoom();
      TSplitPanel* zoomed = host->FCurrent;
      // It fills the root, inside the one-pixel bevel of each pane around it.
      int depth = 0;
      for (TControl* c = zoomed; c != w.Root(); c = c->Parent()) ++depth;
      EXPECT_EQ(WindowPos(zoomed), WindowPos(w.Root()) + QPoint(depth, depth));
      EXPECT_EQ(zoomed->Width(), std::max(0, w.Root()->Width() - 2 * depth));
      EXPECT_EQ(zoomed->Height(), std::max(0, w.Root()->Height() - 2 * depth));
      host->ToggleZoom();
      // Panes squeezed to nothing tie with their splitters, which may then
      // change order; there is nothing to see of them either way.
      const auto places = Places(w.Root());
      const bool squeezed = std::any_of(before.begin(), before.end(),
                                        [](const TRect& r) { return r.Width() <= 0 || r.Height() <= 0; });
      if (!squeezed) {
        EXPECT_EQ(places, before) << "zoom did not bring everything back";
      }
    } else if (op < 55) {
      const int key = pick(7);
      log << step << ": keyboard " << key << "\n";
      if (key < 4) {
        host->SelectNeighbour(static_cast<TPaneDirection>(key));
      } else if (key < 6) {
        host->SelectNext(key == 4);
      } else {
        host->EvenOut();
        options.Dragged.clear();
      }
    } else if (op < 60) {
      const auto all = pane_tree::Leaves(w.Root());
      TSplitPanel* leaf = all[static_cast<size_t>(pick(static_cast<int>(all.size())))];
      TPaintBox* box = leaf->FPaintBox;
      const Qt::MouseButton button = pick(2) ? Qt::LeftButton : Qt::RightButton;
      if (box->Width() == 0 || box->Height() == 0) continue;  // nothing on screen to click
      log << step << ": click a leaf\n";
      Click(box, box->Width() / 2, box->Height() / 2, button);
      mustBeCurrent = leaf;
    } else if (op < 68) {
      std::vector<TMemo*> shown;
      for (TMemo* m : alive)
        if (parked.count(m) == 0) shown.push_back(m);
      if (shown.empty()) continue;
      TMemo* memo = shown[static_cast<size_t>(pick(static_cast<int>(shown.size())))];
      if (memo->Width() < 4 || memo->Height() < 4) continue;
      if (pick(2) == 0) {
        log << step << ": click into an editor\n";
        ClickOnTop(memo, memo->Width() / 2, memo->Height() / 2);
      } else {
        // A window squeezed to nothing loses the keyboard; give it back, as
        // a click on the window would.
        QWidget* window = w.Form->Handle();
        if (window->width() == 0 || window->height() == 0) continue;
        QApplication::setActiveWindow(window);
        log << step << ": focus into an editor\n";
        w.Form->SetFocus();  // from outside, as Tab from elsewhere would
        memo->SetFocus();
        Settle();
      }
      mustBeCurrent = static_cast<TSplitPanel*>(memo->Parent());
    } else if (op < 80) {
      const auto split = pane_tree::SplitPanes(w.Root());
      if (split.empty()) continue;
      TSplitPanel* pane = split[static_cast<size_t>(pick(static_cast<int>(split.size())))];
      const int delta = pick(201) - 100;
      const bool stacked = pane->FSplitter->Align() == alTop;
      log << step << ": drag a splitter by " << delta << "\n";
      TSplitter* s = pane->FSplitter;
      Drag(s, s->Width() / 2, s->Height() / 2, stacked ? 0 : delta, stacked ? delta : 0, 2);
      options.Dragged.insert(pane);
    } else if (op < 92) {
      const int width = pick(5) == 0 ? pick(8) : pick(1400);
      const int height = pick(5) == 0 ? pick(8) : pick(1000);
      log << step << ": resize to " << width << "x" << height << "\n";
      w.Form->SetClientSize(width, height);
      host->ResizePanes();  // in case the size did not change
      options.Dragged.clear();
    } else {
      if (alive.size() >= 6) continue;
      log << step << ": put an editor into the current pane\n";
      auto* memo = new TMemo(w.Owner);
      memo->SetAlign(alClient);
      host->FCurrent->InsertContent(memo);
      memo->SetText("note " + std::to_string(step));
      watch.Dead.erase(memo);  // the allocator may hand out a dead one's address
      alive.insert(memo);
      options.Contents.insert(memo);
      watch.Watch(memo);
    }

    EXPECT_TREE_SOUND(host, options);
    if (mustBeCurrent != nullptr) {
      EXPECT_EQ(host->FCurrent, mustBeCurrent);
    }
    Settle();
    const std::string frame = FrameProblem(host->FCurrent);
    EXPECT_TRUE(frame.empty()) << frame << " " << pane_tree::Dump(host);
    for (auto it = alive.begin(); it != alive.end();) {
      TMemo* m = *it;
      if (watch.Dead.count(m) == 0) {
        EXPECT_FALSE(mustDie.count(m)) << "content of a removed pane outlived its undo";
        if (parked.count(m)) {
          EXPECT_TRUE(m->Parent() == host && !m->Visible()) << "content kept for an undo shows";
        } else {
          EXPECT_TRUE(InTree(w.Root(), m->Parent())) << "content left the tree";
        }
        EXPECT_EQ(m->Text().rfind("note ", 0), 0u) << "content lost its text";
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
