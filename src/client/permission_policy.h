// Which document may use what, without asking and after asking.
//
// The app's own documents (origin app://lumio) get notifications, the clipboard
// and fullscreen at once: the app is the program, and the engine still asks for a
// user gesture where the web does. Camera, microphone, screen sharing and
// location reach the user's devices and surroundings, so even the app must ask
// the user, and only when the program was built to declare that the app uses
// them; otherwise they are denied at once, so that no request hangs. Every other
// document (a web page in a frame or a window) is denied everything: the program
// is no browser with per-site settings.
//
// The user's answers to the prompt are remembered per origin and permission in a
// small text file of the profile, and forgotten all at once by Reset.
#ifndef SRC_CLIENT_PERMISSION_POLICY_H_
#define SRC_CLIENT_PERMISSION_POLICY_H_

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "engine/client.h"

enum class PermissionAnswer { kGrant, kDeny, kAsk };

// The answer to |permission| for a document of |origin|, before any remembered
// answer of the user.
PermissionAnswer DecidePermission(engine::Permission permission,
                                  const std::string& origin,
                                  bool app_uses_devices);

// Where the answers of the profile in |profile_folder| are kept.
std::string PermissionMemoryPath(const std::string& profile_folder);

// A permission's name in the memory file.
const char* PermissionName(engine::Permission permission);

// The user's answers, kept in |path| ("<origin> <permission> granted|denied" a
// line). A missing or unreadable file remembers nothing; lines it cannot read are
// dropped. UI thread only.
class PermissionMemory {
 public:
  // An empty |path| remembers for this run only.
  explicit PermissionMemory(std::string path);

  std::optional<bool> Get(const std::string& origin, engine::Permission permission) const;
  // Remembers and writes the file at once; returns false when it could not be written
  // (the answer still holds for this run).
  bool Remember(const std::string& origin, engine::Permission permission, bool granted);
  // Forgets every answer and removes the file.
  bool Reset();

 private:
  void Load();
  bool Save() const;

  std::string path_;
  std::map<std::pair<std::string, std::string>, bool> answers_;
};

#endif  // SRC_CLIENT_PERMISSION_POLICY_H_
