// Window manager hints of a top-level X window that Qt has no call for. Kept
// apart: Xlib's macros clash with Qt's names. |display| is a Display*, |window|
// an X window id.
#ifndef SRC_NATIVE_X11_WINDOW_HINTS_H_
#define SRC_NATIVE_X11_WINDOW_HINTS_H_

// Sets or clears the urgency hint (ICCCM) and the demands-attention state (EWMH)
// that window managers and panels show as a request for the user's attention.
void X11SetUrgency(void* display, unsigned long window, bool urgent);

#endif  // SRC_NATIVE_X11_WINDOW_HINTS_H_
