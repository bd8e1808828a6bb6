#include "client/permission_policy.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "bridge/bridge_router.h"

namespace {

// A bound on what the file may hold, so that a damaged or hostile file costs little.
constexpr size_t kMaxAnswers = 1024;

bool IsDevice(engine::Permission permission) {
  switch (permission) {
    case engine::Permission::kGeolocation:
    case engine::Permission::kCamera:
    case engine::Permission::kMicrophone:
    case engine::Permission::kCameraAndMicrophone:
    case engine::Permission::kScreenCapture:
      return true;
    default:
      return false;
  }
}

bool IsKnownName(const std::string& name) {
  for (auto permission :
       {engine::Permission::kNotifications, engine::Permission::kGeolocation,
        engine::Permission::kCamera, engine::Permission::kMicrophone,
        engine::Permission::kCameraAndMicrophone, engine::Permission::kScreenCapture,
        engine::Permission::kPointerLock, engine::Permission::kClipboard,
        engine::Permission::kFullscreen}) {
    if (name == PermissionName(permission))
      return true;
  }
  return false;
}

}  // namespace

PermissionAnswer DecidePermission(engine::Permission permission,
                                  const std::string& origin,
                                  bool app_uses_devices) {
  if (origin != kAppOrigin)
    return PermissionAnswer::kDeny;
  if (IsDevice(permission))
    return app_uses_devices ? PermissionAnswer::kAsk : PermissionAnswer::kDeny;
  switch (permission) {
    case engine::Permission::kNotifications:
    case engine::Permission::kClipboard:
    case engine::Permission::kFullscreen:
      return PermissionAnswer::kGrant;
    default:
      // Pointer lock takes the user's pointer away: no app of a desktop window
      // needs it.
      return PermissionAnswer::kDeny;
  }
}

std::string PermissionMemoryPath(const std::string& profile_folder) {
  return profile_folder + "/permissions";
}

const char* PermissionName(engine::Permission permission) {
  switch (permission) {
    case engine::Permission::kNotifications:
      return "notifications";
    case engine::Permission::kGeolocation:
      return "location";
    case engine::Permission::kCamera:
      return "camera";
    case engine::Permission::kMicrophone:
      return "microphone";
    case engine::Permission::kCameraAndMicrophone:
      return "camera-and-microphone";
    case engine::Permission::kScreenCapture:
      return "screen";
    case engine::Permission::kPointerLock:
      return "pointer-lock";
    case engine::Permission::kClipboard:
      return "clipboard";
    case engine::Permission::kFullscreen:
      return "fullscreen";
  }
  return "unknown";
}

PermissionMemory::PermissionMemory(std::string path) : path_(std::move(path)) {
  Load();
}

std::optional<bool> PermissionMemory::Get(const std::string& origin,
                                          engine::Permission permission) const {
  auto it = answers_.find({origin, PermissionName(permission)});
  if (it == answers_.end())
    return std::nullopt;
  return it->second;
}

bool PermissionMemory::Remember(const std::string& origin,
                                engine::Permission permission,
                                bool granted) {
  // An origin is one word of the file; anything else is not remembered.
  if (origin.empty() || origin.find_first_of(" \t\r\n") != std::string::npos)
    return false;
  const auto key = std::make_pair(origin, std::string(PermissionName(permission)));
  if (answers_.size() >= kMaxAnswers && answers_.find(key) == answers_.end())
    return false;
  answers_[key] = granted;
  return Save();
}

bool PermissionMemory::Reset() {
  answers_.clear();
  if (path_.empty())
    return true;
  return std::remove(path_.c_str()) == 0 || !std::ifstream(path_).good();
}

void PermissionMemory::Load() {
  if (path_.empty())
    return;
  std::ifstream in(path_);
  std::string line;
  while (answers_.size() < kMaxAnswers && std::getline(in, line)) {
    std::istringstream words(line);
    std::string origin, name, answer, rest;
    if (!(words >> origin >> name >> answer) || (words >> rest) || !IsKnownName(name))
      continue;
    if (answer == "granted")
      answers_[{origin, name}] = true;
    else if (answer == "denied")
      answers_[{origin, name}] = false;
  }
}

bool PermissionMemory::Save() const {
  if (path_.empty())
    return true;
  // Written whole beside the file and renamed over it: a crash leaves the old
  // answers or the new ones, never half of them.
  const std::string temporary = path_ + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const auto& [key, granted] : answers_)
      out << key.first << ' ' << key.second << ' ' << (granted ? "granted" : "denied")
          << '\n';
    if (!out.flush())
      return false;
  }
  return std::rename(temporary.c_str(), path_.c_str()) == 0;
}
