// The X server's keyboard focus. Kept apart: Xlib's macros clash with Qt's names.
#ifndef SRC_NATIVE_X11_FOCUS_H_
#define SRC_NATIVE_X11_FOCUS_H_

// True when |window| (an X window id) has the input focus on |display| (a Display*).
bool X11WindowHasInputFocus(void* display, unsigned long window);

#endif  // SRC_NATIVE_X11_FOCUS_H_
