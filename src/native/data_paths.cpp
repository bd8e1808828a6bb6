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

}  // namespace

std::string UserDataHome(const char* xdg_data_home, const char* home) {
  if (IsAbsolute(xdg_data_home)) {
    const std::string path = WithoutTrailingSlashes(xdg_data_home);
    return path.empty() ? "/" : path;
  }
  // A relative $HOME would put the cache below whatever the working folder is.
  if (IsAbsolute(home))
    return WithoutTrailingSlashes(home) + "/.local/share";
  return {};
}

std::string EngineCachePath(const std::string& data_home) {
  if (data_home.empty())
    return {};
  return WithoutTrailingSlashes(data_home) + "/Lumio/cache";
}
