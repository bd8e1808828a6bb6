#include "resources/web_folder.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "engine/url_parts.h"

namespace fs = std::filesystem;

namespace {

// The segments of |name| split at "/", or nothing when one of them may not name a
// file of the folder: empty (absolute names, "a//b", a trailing "/"), "." or "..".
std::optional<std::vector<std::string>> Segments(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos)
    return std::nullopt;
  std::vector<std::string> segments;
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    std::string segment = name.substr(start, slash - start);
    if (segment.empty() || segment == "." || segment == "..")
      return std::nullopt;
    segments.push_back(std::move(segment));
    if (slash == std::string::npos)
      return segments;
    start = slash + 1;
  }
}

// The entry of |dir| named |segment|: the exact name if there is one, else the
// first name in byte order that equals it with ASCII case ignored.
std::optional<fs::path> FindEntry(const fs::path& dir, const std::string& segment) {
  std::error_code error;
  const fs::path exact = dir / segment;
  if (fs::symlink_status(exact, error).type() != fs::file_type::not_found && !error)
    return exact;
  const std::string wanted = engine::AsciiLower(segment);
  std::optional<std::string> found;
  for (fs::directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    const std::string candidate = it->path().filename().string();
    if (engine::AsciiLower(candidate) == wanted && (!found || candidate < *found))
      found = candidate;
  }
  if (!found)
    return std::nullopt;
  return dir / *found;
}

// Whether |path| is |root| or lies below it; both are real paths.
bool IsInside(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p) {
    if (p == path.end() || *p != *r)
      return false;
  }
  return true;
}

}  // namespace

WebFolder::WebFolder(const std::string& root) {
  std::error_code error;
  const fs::path real = fs::canonical(fs::absolute(root, error), error);
  if (!error && fs::is_directory(real, error) && !error)
    root_ = real.string();
}

std::string WebFolder::Resolve(const std::string& name) const {
  if (root_.empty())
    return {};
  const std::optional<std::vector<std::string>> segments = Segments(name);
  if (!segments)
    return {};
  fs::path path = root_;
  for (const std::string& segment : *segments) {
    std::optional<fs::path> entry = FindEntry(path, segment);
    if (!entry)
      return {};
    path = std::move(*entry);
  }
  // Every symbolic link on the way resolved: it must still be in the folder.
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  if (error || !IsInside(real, root_))
    return {};
  if (!fs::is_regular_file(real, error) || error)
    return {};
  const std::uintmax_t size = fs::file_size(real, error);
  if (error || size == 0)
    return {};
  return real.string();
}

std::shared_ptr<const std::string> WebFolder::GetFile(const std::string& name) const {
  const std::string path = Resolve(name);
  if (path.empty())
    return nullptr;
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return nullptr;
  auto data = std::make_shared<std::string>(std::istreambuf_iterator<char>(file),
                                            std::istreambuf_iterator<char>());
  if (file.bad() || data->empty())
    return nullptr;
  return data;
}
