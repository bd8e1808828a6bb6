#include "native/window_geometry.h"

Rect DefaultMainWindowFrame(const Rect& visible_area) {
  Rect frame;
  frame.x =
      visible_area.x + visible_area.width * 0.5 - kMainWindowDefaultContentWidth / 2;
  frame.y =
      visible_area.y + visible_area.height * 0.5 - kMainWindowDefaultContentHeight / 2;
  frame.width = kMainWindowDefaultContentWidth;
  frame.height = kMainWindowDefaultContentHeight;
  return frame;
}

Rect BottomLeftToTopLeft(const Rect& r, double primary_screen_height) {
  return {r.x, primary_screen_height - (r.y + r.height), r.width, r.height};
}

Rect TopLeftToBottomLeft(const Rect& r, double primary_screen_height) {
  // The flip is its own inverse.
  return {r.x, primary_screen_height - (r.y + r.height), r.width, r.height};
}
