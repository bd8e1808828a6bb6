// The identity this program was built with (lumio.json beside the web application, or
// Lumio's own), and where its installed files lie. The only reader of the generated
// lumio_identity.h.
#ifndef SRC_APP_APP_IDENTITY_H_
#define SRC_APP_APP_IDENTITY_H_

#include <string>

#include "native/app_identity.h"

const AppIdentity& BuiltAppIdentity();

// Beside the running program (<prefix>/bin/<command>): the pack, in
// <prefix>/share/<data dir>/lumio.pak, and the engine's helper, in
// <prefix>/libexec/<data dir>/<helper>. "" when the program's path is unknown.
std::string InstalledPackPath();
std::string InstalledHelperPath();

// The single-instance socket's file name below $XDG_RUNTIME_DIR.
std::string InstanceSocketName();

#endif  // SRC_APP_APP_IDENTITY_H_
