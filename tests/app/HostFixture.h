#pragma once
// The fixture of the pane tree tests: a main-window-like host window.

#include <gtest/gtest.h>

#include <memory>

#include "app/SplitPanel.h"
#include "tests/app/HostWindow.h"
#include "tests/app/PaneTree.h"
#include "tests/support/Harness.h"
#include "widgets/Widgets.h"

class HostTest : public testing::Test {
 protected:
  HostWindow W{600, 400};
  TMainPanel* Host() const { return W.Host; }
  void Show() { testing_support::ShowAndSettle(W.Form.get()); }
};
