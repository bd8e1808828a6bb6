#include "native/window_geometry.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const Rect& expected, const Rect& actual) {
  EXPECT_DOUBLE_EQ(expected.x, actual.x);
  EXPECT_DOUBLE_EQ(expected.y, actual.y);
  EXPECT_DOUBLE_EQ(expected.width, actual.width);
  EXPECT_DOUBLE_EQ(expected.height, actual.height);
}

TEST(WindowGeometryTest, DefaultFrameIsCentredOnTheVisibleArea) {
  ExpectRect({555, 125, 330, 650}, DefaultMainWindowFrame({0, 0, 1440, 900}));
  ExpectRect({-165, -325, 330, 650}, DefaultMainWindowFrame({0, 0, 0, 0}));
  // A second screen to the left, above a 60-pixel panel.
  ExpectRect({-1125, 245, 330, 650}, DefaultMainWindowFrame({-1920, 60, 1920, 1020}));
  // Odd sizes keep their half pixel.
  ExpectRect({-164, -323.5, 330, 650}, DefaultMainWindowFrame({0.5, 0, 1, 3}));
}

TEST(WindowGeometryTest, FlipsBetweenOrigins) {
  // A window touching the bottom of a 900-high screen is at top-left y 900-650.
  ExpectRect({10, 250, 330, 650}, BottomLeftToTopLeft({10, 0, 330, 650}, 900));
  ExpectRect({10, 0, 330, 650}, BottomLeftToTopLeft({10, 250, 330, 650}, 900));
  // Screens above or below the primary one give negative or larger coordinates.
  ExpectRect({0, -1100, 100, 200}, BottomLeftToTopLeft({0, 1800, 100, 200}, 900));

  const Rect r{555, 125, 330, 650};
  ExpectRect(r, TopLeftToBottomLeft(BottomLeftToTopLeft(r, 1080), 1080));
  ExpectRect(r, BottomLeftToTopLeft(TopLeftToBottomLeft(r, 1080), 1080));
}

}  // namespace
