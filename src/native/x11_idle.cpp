#include "native/x11_idle.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

bool X11IdleMilliseconds(void* display, uint64_t* idle_ms) {
  auto* x_display = static_cast<Display*>(display);
  int event_base = 0;
  int error_base = 0;
  if (!x_display || !XScreenSaverQueryExtension(x_display, &event_base, &error_base))
    return false;
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  if (!info)
    return false;
  const bool ok = XScreenSaverQueryInfo(x_display, DefaultRootWindow(x_display), info);
  if (ok)
    *idle_ms = info->idle;
  XFree(info);
  return ok;
}
