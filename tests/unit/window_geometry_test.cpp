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

TEST(WindowGeometryTest, DefaultFrameIncludesTheDecorations) {
  // A title bar and a bottom handle come out of the content, not on top of it.
  const FrameExtents title_only{0, 0, 24, 0};
  const Rect frame = DefaultMainWindowFrame({0, 0, 1440, 900}, title_only);
  ExpectRect({555, 125, 330, 650}, frame);
  ExpectRect({555, 125, 330, 626}, ContentRectForFrame(frame, title_only));

  // Side borders would leave the content below its minimum width: the frame grows
  // by them and stays centred.
  const FrameExtents bordered{1, 1, 20, 5};
  const Rect wide = DefaultMainWindowFrame({0, 0, 1280, 1024}, bordered);
  ExpectRect({474, 187, 332, 650}, wide);
  ExpectRect({475, 192, 330, 625}, ContentRectForFrame(wide, bordered));

  // Decorations taller than the room above the minimum content height.
  const FrameExtents tall{0, 0, 100, 50};
  const Rect high = DefaultMainWindowFrame({0, 0, 1440, 900}, tall);
  ExpectRect({555, 112.5, 330, 675}, high);
  ExpectRect({555, 162.5, 330, 525}, ContentRectForFrame(high, tall));
}

TEST(WindowGeometryTest, ContentSitsBelowTheTitleBarInTopLeftCoordinates) {
  const FrameExtents bordered{1, 1, 20, 5};
  const Rect frame = DefaultMainWindowFrame({0, 0, 1280, 1024}, bordered);
  // Frame top at 187, content 1 + 20 pixels in from the frame's top-left corner.
  ExpectRect({474, 187, 332, 650}, BottomLeftToTopLeft(frame, 1024));
  ExpectRect({475, 207, 330, 625},
             BottomLeftToTopLeft(ContentRectForFrame(frame, bordered), 1024));
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
