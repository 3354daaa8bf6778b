#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <memory>
#include <random>
#include <vector>

#include "widgets/Widgets.h"

namespace {

// Records which objects were destroyed, in order.
std::vector<std::string>& Destroyed() {
  static std::vector<std::string> log;
  return log;
}

class TTracked : public TComponent {
 public:
  TTracked(TComponent* AOwner, std::string ATag) : TComponent(AOwner), FTag(std::move(ATag)) {}
  ~TTracked() override { Destroyed().push_back(FTag); }

 private:
  std::string FTag;
};

class TWatcher : public TComponent {
 public:
  using TComponent::TComponent;
  std::vector<TComponent*> Removed;

 protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override {
    if (AOperation == opRemove) Removed.push_back(AComponent);
  }
};

class TListener : public TObject {
 public:
  int Calls = 0;
  TObject* LastSender = nullptr;
  void Notify(TObject* ASender) {
    ++Calls;
    LastSender = ASender;
  }
  void Other(TObject* /*ASender*/) { Calls += 100; }
};

TEST(Ownership, OwnerDestroysWhatItStillOwnsNewestFirst) {
  Destroyed().clear();
  auto* owner = new TComponent(nullptr);
  new TTracked(owner, "a");
  auto* b = new TTracked(owner, "b");
  new TTracked(owner, "c");
  EXPECT_EQ(owner->ComponentCount(), 3);
  delete b;  // leaves the owner's list, so the owner won't delete it again
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(0)->ComponentCount(), 0);
  delete owner;
  EXPECT_EQ(Destroyed(), (std::vector<std::string>{"b", "c", "a"}));
}

TEST(Ownership, FreeNotificationArrivesOnceAndIsMutual) {
  auto* watcher = new TWatcher(nullptr);
  auto* watched = new TComponent(nullptr);
  watcher->FreeNotification(watched);
  watcher->FreeNotification(watched);  // asking twice does not tell twice
  delete watched;
  ASSERT_EQ(watcher->Removed.size(), 1u);
  EXPECT_EQ(watcher->Removed[0], watched);

  // A watcher that goes first is forgotten: the watched one must not call it.
  auto* other = new TComponent(nullptr);
  auto* shortLived = new TWatcher(nullptr);
  shortLived->FreeNotification(other);
  delete shortLived;
  delete other;
  delete watcher;
}

TEST(Ownership, WindowedControlDestroysChildrenStillParentedToIt) {
  Destroyed().clear();
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* outer = new TPanel(owner.get());
  auto* inner = new TPanel(owner.get());
  auto* leaf = new TPaintBox(owner.get());
  auto* moved = new TPaintBox(owner.get());
  inner->SetParent(outer);
  leaf->SetParent(inner);
  moved->SetParent(inner);
  moved->SetParent(nullptr);  // taken out before its old parent goes
  EXPECT_EQ(owner->ComponentCount(), 4);
  delete outer;
  // inner and leaf went with outer; the owner's list shrank accordingly.
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0), moved);
}

TEST(Objects, ClassNameIsTheMostDerivedName) {
  TComponent owner(nullptr);
  TControl* control = new TPanel(&owner);
  EXPECT_EQ(control->ClassName(), "TPanel");
  TObject* splitter = new TSplitter(&owner);
  EXPECT_EQ(splitter->ClassName(), "TSplitter");
  TWatcher watcher(nullptr);
  EXPECT_EQ(watcher.ClassName(), "(anonymous namespace)::TWatcher");
}

TEST(Events, MethodPointerCallsItsObjectAndAssignmentReplacesBoth) {
  TListener first, second;
  TNotifyEvent event;
  EXPECT_FALSE(event);
  event(nullptr);  // empty: nothing happens
  event = TNotifyEvent(&first, &TListener::Notify);
  event(&second);
  EXPECT_EQ(first.Calls, 1);
  EXPECT_EQ(first.LastSender, &second);
  event = TNotifyEvent(&second, &TListener::Other);
  event(nullptr);
  EXPECT_EQ(first.Calls, 1);
  EXPECT_EQ(second.Calls, 100);
  EXPECT_EQ(event.Object(), &second);
  EXPECT_NE(event, TNotifyEvent(&second, &TListener::Notify));
}

// Counts the layout requests that reach it.
class TLayoutCount : public QWidget {
 public:
  int Requests = 0;

 protected:
  bool event(QEvent* AEvent) override {
    if (AEvent->type() == QEvent::LayoutRequest) ++Requests;
    return QWidget::event(AEvent);
  }
};

// Layout requests posted to a widget before it had time for them come once
// it has (twice at most), whatever else waits for it; none is lost, and one
// to a widget that went never reaches another.
TEST(Events, LayoutRequestsAreMergedAndNeverLost) {
  std::mt19937 random(20261211);
  std::vector<std::unique_ptr<TLayoutCount>> widgets(24);
  std::vector<int> posted(widgets.size());
  for (auto& widget : widgets) widget = std::make_unique<TLayoutCount>();
  const auto deliver = [&](int ARound) {
    QCoreApplication::sendPostedEvents();
    for (size_t i = 0; i < widgets.size(); ++i) {
      const int came = widgets[i]->Requests;
      if (posted[i] == 0)
        EXPECT_EQ(came, 0) << "round " << ARound << ", widget " << i;
      else
        EXPECT_TRUE(came == 1 || came == 2)
            << came << " of " << posted[i] << " in round " << ARound;
      widgets[i]->Requests = posted[i] = 0;
    }
  };
  for (int round = 0; round < 300; ++round) {
    for (int step = static_cast<int>(random() % 40); step > 0; --step) {
      const size_t at = random() % widgets.size();
      if (random() % 20 == 0) {
        widgets[at] = std::make_unique<TLayoutCount>();  // gone, with what waited for it
        posted[at] = 0;
      }
      if (random() % 3 == 0)
        QCoreApplication::postEvent(widgets[at].get(), new QEvent(QEvent::User));
      QCoreApplication::postEvent(widgets[at].get(), new QEvent(QEvent::LayoutRequest));
      ++posted[at];
    }
    deliver(round);
  }
}

}  // namespace
