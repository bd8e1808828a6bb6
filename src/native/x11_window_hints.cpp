#include "native/x11_window_hints.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr long kNetWmStateRemove = 0;
constexpr long kNetWmStateAdd = 1;

// The window's _NET_WM_STATE has |state| (for a window that is not mapped).
void SetStateProperty(Display* display,
                      Window window,
                      Atom net_wm_state,
                      Atom state,
                      bool on) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Atom states[32];
  int kept = 0;
  if (XGetWindowProperty(display, window, net_wm_state, 0, 32, False, XA_ATOM, &type,
                         &format, &count, &after, &data) == Success &&
      data) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && kept < 31; ++i) {
      if (atoms[i] != state)
        states[kept++] = atoms[i];
    }
    XFree(data);
  }
  if (on)
    states[kept++] = state;
  XChangeProperty(display, window, net_wm_state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(states), kept);
}

}  // namespace

void X11SetUrgency(void* display_handle, unsigned long window, bool urgent) {
  auto* display = static_cast<Display*>(display_handle);
  if (!display || !window)
    return;
  XWMHints* hints = XGetWMHints(display, window);
  XWMHints fresh = {};
  XWMHints* target = hints ? hints : &fresh;
  if (urgent)
    target->flags |= XUrgencyHint;
  else
    target->flags &= ~XUrgencyHint;
  XSetWMHints(display, window, target);
  if (hints)
    XFree(hints);

  const Atom net_wm_state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom attention = XInternAtom(display, "_NET_WM_STATE_DEMANDS_ATTENTION", False);
  XWindowAttributes attributes;
  const bool mapped = XGetWindowAttributes(display, window, &attributes) &&
                      attributes.map_state != IsUnmapped;
  if (mapped) {
    // A mapped window asks the window manager, which owns the property then.
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = net_wm_state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = urgent ? kNetWmStateAdd : kNetWmStateRemove;
    event.xclient.data.l[1] = static_cast<long>(attention);
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
  } else {
    SetStateProperty(display, window, net_wm_state, attention, urgent);
  }
  XFlush(display);
}
