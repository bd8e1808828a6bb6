// The user's idle time as the X server counts it. Kept apart: Xlib's macros clash
// with Qt's names.
#ifndef SRC_NATIVE_X11_IDLE_H_
#define SRC_NATIVE_X11_IDLE_H_

#include <cstdint>

// Milliseconds since the last input event the X server took from any device, through
// the XScreenSaver extension, in |*idle_ms|. False when |display| (a Display*) is null
// or the server lacks the extension.
bool X11IdleMilliseconds(void* display, uint64_t* idle_ms);

#endif  // SRC_NATIVE_X11_IDLE_H_
