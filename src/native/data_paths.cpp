#include "native/data_paths.h"

namespace {

bool IsAbsolute(const char* path) {
  return path && path[0] == '/';
}

// "/a/b/" -> "/a/b"; "/" -> "", ready for appending "/x".
std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/')
    path.pop_back();
  return path;
}

// |xdg_value| when it is absolute, else |home_relative| below an absolute |home|.
std::string BaseDirectory(const char* xdg_value,
                          const char* home,
                          const char* home_relative) {
  if (IsAbsolute(xdg_value)) {
    const std::string path = WithoutTrailingSlashes(xdg_value);
    return path.empty() ? "/" : path;
  }
  // A relative $HOME would put our files below whatever the working folder is.
  if (IsAbsolute(home))
    return WithoutTrailingSlashes(home) + home_relative;
  return {};
}

}  // namespace

std::string UserDataHome(const char* xdg_data_home, const char* home) {
  return BaseDirectory(xdg_data_home, home, "/.local/share");
}

std::string UserConfigHome(const char* xdg_config_home, const char* home) {
  return BaseDirectory(xdg_config_home, home, "/.config");
}

std::string EngineCachePath(const std::string& data_home, const std::string& folder) {
  if (data_home.empty())
    return {};
  return WithoutTrailingSlashes(data_home) + "/" + folder + "/cache";
}
