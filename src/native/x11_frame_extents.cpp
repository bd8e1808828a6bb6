#include "native/x11_frame_extents.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace {

// Reads _NET_FRAME_EXTENTS (left, right, top, bottom) from |window|.
bool ReadFrameExtents(Display* display, Window window, X11FrameExtents* extents) {
  const Atom property = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const bool read =
      XGetWindowProperty(display, window, property, 0, 4, False, XA_CARDINAL, &type,
                         &format, &count, &after, &data) == Success;
  const bool found = read && type == XA_CARDINAL && format == 32 && count == 4;
  if (found) {
    // 32-bit properties come back as longs, whatever the size of a long.
    const long* values = reinterpret_cast<const long*>(data);
    extents->left = static_cast<int>(values[0]);
    extents->right = static_cast<int>(values[1]);
    extents->top = static_cast<int>(values[2]);
    extents->bottom = static_cast<int>(values[3]);
  }
  if (data)
    XFree(data);
  return found;
}

// Whether the running window manager lists |name| in _NET_SUPPORTED.
bool WindowManagerSupports(Display* display, const char* name) {
  const Atom wanted = XInternAtom(display, name, False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  bool supported = false;
  if (XGetWindowProperty(display, DefaultRootWindow(display),
                         XInternAtom(display, "_NET_SUPPORTED", False), 0, 4096, False,
                         XA_ATOM, &type, &format, &count, &after, &data) == Success &&
      type == XA_ATOM && format == 32) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && !supported; ++i)
      supported = atoms[i] == wanted;
  }
  if (data)
    XFree(data);
  return supported;
}

}  // namespace

bool X11QueryFrameExtents(void* display,
                          unsigned long window,
                          int timeout_ms,
                          X11FrameExtents* extents) {
  auto* x = static_cast<Display*>(display);
  if (!x || !window)
    return false;
  if (!WindowManagerSupports(x, "_NET_REQUEST_FRAME_EXTENTS"))
    return false;

  XEvent request = {};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type = XInternAtom(x, "_NET_REQUEST_FRAME_EXTENTS", False);
  request.xclient.format = 32;
  const Window root = DefaultRootWindow(x);
  XSendEvent(x, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
  XFlush(x);

  // The answer is a property on our window; Qt owns the event queue, so look at
  // the property rather than wait for its change notice. Each read is a round
  // trip, which the window manager usually beats.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!ReadFrameExtents(x, window, extents)) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
