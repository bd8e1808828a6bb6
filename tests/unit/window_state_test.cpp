#include "native/window_state.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowStateTest, NamesAndValues) {
  EXPECT_EQ("focused", MainWindowStateName(1));
  EXPECT_EQ("visible", MainWindowStateName(2));
  EXPECT_EQ("hidden", MainWindowStateName(3));
  for (int32_t other : {0, 4, -1, INT32_MIN, INT32_MAX})
    EXPECT_EQ("unknown", MainWindowStateName(other)) << other;
}

TEST(WindowStateTest, VisibilityComesBeforeKeyness) {
  EXPECT_EQ(kMainWindowStateHidden, ComputeMainWindowState(false, false));
  EXPECT_EQ(kMainWindowStateHidden, ComputeMainWindowState(false, true));
  EXPECT_EQ(kMainWindowStateFocused, ComputeMainWindowState(true, true));
  EXPECT_EQ(kMainWindowStateVisible, ComputeMainWindowState(true, false));
}

TEST(WindowStateTest, VisibleIsHeldBackOnlyWhenComingIntoSight) {
  // Shown, first or again: the window manager may be about to focus it.
  EXPECT_TRUE(ComesIntoSightUnfocused(0, kMainWindowStateVisible));
  EXPECT_TRUE(ComesIntoSightUnfocused(kMainWindowStateHidden, kMainWindowStateVisible));
  // Already in sight: losing the focus is news at once.
  EXPECT_FALSE(ComesIntoSightUnfocused(kMainWindowStateFocused, kMainWindowStateVisible));
  EXPECT_FALSE(ComesIntoSightUnfocused(kMainWindowStateVisible, kMainWindowStateVisible));
  // Focused, hidden and minimised states are never held back.
  for (int32_t last : {0, 1, 2, 3}) {
    EXPECT_FALSE(ComesIntoSightUnfocused(last, kMainWindowStateFocused)) << last;
    EXPECT_FALSE(ComesIntoSightUnfocused(last, kMainWindowStateHidden)) << last;
  }
}

TEST(WindowStateTest, TrackerReportsEachChangeOnce) {
  MainWindowStateTracker tracker;
  EXPECT_EQ(0, tracker.last());
  EXPECT_TRUE(tracker.Update(kMainWindowStateHidden));  // first one always
  EXPECT_FALSE(tracker.Update(kMainWindowStateHidden));
  EXPECT_TRUE(tracker.Update(kMainWindowStateFocused));
  EXPECT_TRUE(tracker.Update(kMainWindowStateVisible));
  EXPECT_FALSE(tracker.Update(kMainWindowStateVisible));
  EXPECT_EQ(kMainWindowStateVisible, tracker.last());

  // A new main window starts over: its first state is sent even if unchanged.
  tracker.Reset();
  EXPECT_EQ(0, tracker.last());
  EXPECT_TRUE(tracker.Update(kMainWindowStateVisible));
}

}  // namespace
