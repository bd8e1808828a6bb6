// Main-window geometry. Computed in bottom-left-origin screen coordinates (y grows
// upwards, origin at the bottom-left of the primary screen) and converted to Qt's
// top-left coordinates only at the window boundary.
#ifndef SRC_NATIVE_WINDOW_GEOMETRY_H_
#define SRC_NATIVE_WINDOW_GEOMETRY_H_

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

// What the window manager draws around a window's content (borders, title bar).
struct FrameExtents {
  double left = 0;
  double right = 0;
  double top = 0;
  double bottom = 0;
};

constexpr double kMainWindowMinContentWidth = 330;
constexpr double kMainWindowMinContentHeight = 525;
constexpr double kMainWindowDefaultFrameWidth = 330;
constexpr double kMainWindowDefaultFrameHeight = 650;

// The default frame, decorations included: the default size, centred on
// |visible_area| (the screen minus panels). Where the decorations would squeeze the
// content below its minimum size, the frame grows instead.
Rect DefaultMainWindowFrame(const Rect& visible_area, const FrameExtents& extents = {});

// The content area inside |frame|.
Rect ContentRectForFrame(const Rect& frame, const FrameExtents& extents);

// Between bottom-left and top-left origins; |primary_screen_height| is the height of
// the screen both origins refer to. Each is the other's inverse.
Rect BottomLeftToTopLeft(const Rect& r, double primary_screen_height);
Rect TopLeftToBottomLeft(const Rect& r, double primary_screen_height);

#endif  // SRC_NATIVE_WINDOW_GEOMETRY_H_
