#include "resources/web_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/url_parts.h"

namespace fs = std::filesystem;

namespace {

// Closes the descriptor it holds when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0)
      close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

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

std::string Join(const std::vector<std::string>& segments, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) {
    if (i)
      path += '/';
    path += segments[i];
  }
  return path;
}

// Set once a kernel has said it has no openat2; read and written on any thread.
std::atomic<bool> g_no_openat2{false};

int OpenSegmentBySegment(int dir_fd, const std::string& path, int flags) {
  const std::optional<std::vector<std::string>> segments = Segments(path);
  if (!segments) {
    errno = EXDEV;
    return -1;
  }
  Fd dir(fcntl(dir_fd, F_DUPFD_CLOEXEC, 0));
  if (!dir.valid())
    return -1;
  for (size_t i = 0; i + 1 < segments->size(); ++i) {
    Fd next(openat(dir.get(), (*segments)[i].c_str(),
                   O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid())
      return -1;
    dir = std::move(next);
  }
  return openat(dir.get(), segments->back().c_str(), flags | O_NOFOLLOW);
}

// The entry of the folder |dir_fd| named |segment|: the exact name if there is
// one, else the first name in byte order that equals it with ASCII case ignored.
std::optional<std::string> FindEntry(int dir_fd, const std::string& segment) {
  struct stat st;
  if (fstatat(dir_fd, segment.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
    return segment;
  const int list_fd = openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (list_fd < 0)
    return std::nullopt;
  DIR* dir = fdopendir(list_fd);
  if (!dir) {
    close(list_fd);
    return std::nullopt;
  }
  const std::string wanted = engine::AsciiLower(segment);
  std::optional<std::string> found;
  while (const dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (engine::AsciiLower(candidate) == wanted && (!found || candidate < *found))
      found = candidate;
  }
  closedir(dir);
  return found;
}

// Reads the regular, non-empty file |fd| of at most |limit| bytes; null otherwise.
std::shared_ptr<const std::string> ReadRegularFile(int fd, size_t limit) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<uintmax_t>(st.st_size) > limit) {
    return nullptr;
  }
  auto data = std::make_shared<std::string>();
  data->resize(static_cast<size_t>(st.st_size));
  size_t have = 0;
  // The file may shrink or grow while it is read: serve what it holds, up to the bound.
  for (;;) {
    if (have == data->size()) {
      if (data->size() >= limit + 1)
        break;
      data->resize(std::min(limit + 1, data->size() + 65536));
    }
    const ssize_t n = read(fd, data->data() + have, data->size() - have);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return nullptr;
    if (n == 0)
      break;
    have += static_cast<size_t>(n);
  }
  if (have == 0 || have > limit)
    return nullptr;
  data->resize(have);
  return data;
}

}  // namespace

int OpenBeneath(int dir_fd, const std::string& path, int flags, bool use_openat2) {
  // openat2 refuses O_PATH with any flag that only matters for reading.
  flags |= (flags & O_PATH) ? O_CLOEXEC : O_CLOEXEC | O_NOCTTY;
  if (use_openat2 && !g_no_openat2.load(std::memory_order_relaxed)) {
    open_how how{};
    how.flags = static_cast<uint64_t>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (;;) {
      const long fd = syscall(SYS_openat2, dir_fd, path.c_str(), &how, sizeof how);
      if (fd >= 0)
        return static_cast<int>(fd);
      // EAGAIN: a rename elsewhere raced the lookup; the kernel asks to retry.
      if (errno == EAGAIN || errno == EINTR)
        continue;
      if (errno != ENOSYS)
        return -1;
      g_no_openat2.store(true, std::memory_order_relaxed);
      break;
    }
  }
  return OpenSegmentBySegment(dir_fd, path, flags);
}

WebFolder::WebFolder(const std::string& root) {
  std::error_code error;
  const fs::path real = fs::canonical(fs::absolute(root, error), error);
  if (!error && fs::is_directory(real, error) && !error)
    root_ = real.string();
}

std::shared_ptr<const std::string> WebFolder::GetFile(const std::string& name) const {
  if (root_.empty())
    return nullptr;
  const std::optional<std::vector<std::string>> segments = Segments(name);
  if (!segments)
    return nullptr;
  // The application's identity file is for the build, as the pack leaves it out.
  if (segments->size() == 1 && engine::AsciiLower(segments->front()) == "lumio.json")
    return nullptr;
  const Fd root(open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!root.valid())
    return nullptr;
  // O_NONBLOCK: a named pipe opens at once (and is then refused) instead of
  // waiting for a writer.
  constexpr int kFileFlags = O_RDONLY | O_NONBLOCK;
  Fd file(OpenBeneath(root.get(), name, kFileFlags));
  if (!file.valid() && errno == ENOENT) {
    // Some segment differs in case: find each one's entry, then open the whole
    // path beneath the folder again, so that a link met on the way is judged
    // as the open itself judges it.
    std::vector<std::string> found;
    for (size_t i = 0; i < segments->size(); ++i) {
      const Fd dir(i == 0
                       ? fcntl(root.get(), F_DUPFD_CLOEXEC, 0)
                       : OpenBeneath(root.get(), Join(found, i), O_PATH | O_DIRECTORY));
      if (!dir.valid())
        return nullptr;
      std::optional<std::string> entry = FindEntry(dir.get(), (*segments)[i]);
      if (!entry)
        return nullptr;
      found.push_back(std::move(*entry));
    }
    file = Fd(OpenBeneath(root.get(), Join(found, found.size()), kFileFlags));
  }
  if (!file.valid())
    return nullptr;
  return ReadRegularFile(file.get(), kMaxFileBytes);
}
