// Who the program is to the desktop: the names under which it shows itself, keeps its
// files and claims its bus name. The app layer fills it from the build's identity
// (app/app_identity.h); the services here take it as given.
#ifndef SRC_NATIVE_APP_IDENTITY_H_
#define SRC_NATIVE_APP_IDENTITY_H_

#include <string>

struct AppIdentity {
  // Shown to the user: window title until the page sets one, notifications, tray.
  std::string name;
  // The version the page learns (OrbitAppGetInfo).
  std::string version;
  // The desktop file's id (<desktop_id>.desktop), also the icon's name.
  std::string desktop_id;
  // The folder below the user's data and configuration homes.
  std::string folder;
  // The single-instance bus name and its object path.
  std::string bus_name;
  std::string object_path;
};

#endif  // SRC_NATIVE_APP_IDENTITY_H_
