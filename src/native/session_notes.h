// What kind of session the program runs in, and the notes it leaves on standard
// error about what that session cannot do.
#ifndef SRC_NATIVE_SESSION_NOTES_H_
#define SRC_NATIVE_SESSION_NOTES_H_

#include <string>

// True when Qt draws through its native Wayland plugin (not X11, not Xwayland).
bool OnWaylandPlatform();

// Writes |text| as one line on standard error the first time it is given, and
// never again in this process: a page that calls a command in a loop must not
// flood the log. UI thread only.
void SayOnce(const std::string& text);

#endif  // SRC_NATIVE_SESSION_NOTES_H_
