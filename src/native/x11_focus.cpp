#include "native/x11_focus.h"

#include <X11/Xlib.h>

bool X11WindowHasInputFocus(void* display, unsigned long window) {
  if (!display || !window)
    return false;
  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(static_cast<Display*>(display), &focus, &revert_to);
  return focus == window;
}
