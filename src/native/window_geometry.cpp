#include "native/window_geometry.h"

#include <algorithm>

Rect DefaultMainWindowFrame(const Rect& visible_area, const FrameExtents& extents) {
  const double horizontal = extents.left + extents.right;
  const double vertical = extents.top + extents.bottom;
  Rect frame;
  frame.width =
      std::max(kMainWindowDefaultFrameWidth, kMainWindowMinContentWidth + horizontal);
  frame.height =
      std::max(kMainWindowDefaultFrameHeight, kMainWindowMinContentHeight + vertical);
  frame.x = visible_area.x + visible_area.width * 0.5 - frame.width / 2;
  frame.y = visible_area.y + visible_area.height * 0.5 - frame.height / 2;
  return frame;
}

Rect ContentRectForFrame(const Rect& frame, const FrameExtents& extents) {
  // y grows upwards: the bottom edge of the frame is at frame.y.
  return {frame.x + extents.left, frame.y + extents.bottom,
          frame.width - extents.left - extents.right,
          frame.height - extents.top - extents.bottom};
}

Rect BottomLeftToTopLeft(const Rect& r, double primary_screen_height) {
  return {r.x, primary_screen_height - (r.y + r.height), r.width, r.height};
}

Rect TopLeftToBottomLeft(const Rect& r, double primary_screen_height) {
  // The flip is its own inverse.
  return BottomLeftToTopLeft(r, primary_screen_height);
}
