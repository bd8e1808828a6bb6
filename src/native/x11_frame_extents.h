// The frame the X window manager puts around a top-level window. Kept apart:
// Xlib's macros clash with Qt's names.
#ifndef SRC_NATIVE_X11_FRAME_EXTENTS_H_
#define SRC_NATIVE_X11_FRAME_EXTENTS_H_

struct X11FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// The frame the window manager will draw around |window| (an X window id on
// |display|, a Display*) once it is mapped. Before mapping, the window manager
// tells only when asked (EWMH _NET_REQUEST_FRAME_EXTENTS); this asks and waits up
// to |timeout_ms| for the answer. False when the window manager does not offer the
// request or does not answer in time.
bool X11QueryFrameExtents(void* display,
                          unsigned long window,
                          int timeout_ms,
                          X11FrameExtents* extents);

#endif  // SRC_NATIVE_X11_FRAME_EXTENTS_H_
