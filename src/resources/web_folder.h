// Development mode: app://lumio/ served from a folder on disk instead of the pack,
// read afresh on every request, so that an edited file shows on the next reload.
//
// A name finds what the pack built from the same folder would hold: ASCII letters
// match in either case, directories and empty files are not served. Nothing
// outside the folder is: names with an empty, "." or ".." segment, absolute names,
// and names that reach a symbolic link leading out of the folder find nothing.
// Relative symbolic links that stay inside the folder are followed; absolute ones
// are not (they are resolved from the file system's root, which is outside).
//
// The folder belongs to the developer, but other programs may write to it while it
// is served: each file is opened once, by the kernel, beneath the folder, without
// blocking (a named pipe) and is read from what was opened, so that swapping a
// file for a link or a pipe between a check and the read serves nothing else.
#ifndef SRC_RESOURCES_WEB_FOLDER_H_
#define SRC_RESOURCES_WEB_FOLDER_H_

#include <memory>
#include <string>

#include "resources/pack_source.h"

class WebFolder : public PackSource {
 public:
  // |root| may be relative (to the current directory) and may be a symbolic link.
  explicit WebFolder(const std::string& root);

  // The folder's real path, or "" when |root| is not a folder.
  const std::string& root() const { return root_; }

  // PackSource. |name| is a pack entry name (the URL path without its leading "/",
  // percent-escapes as they are). Only regular, non-empty files of at most
  // kMaxFileBytes are served.
  std::shared_ptr<const std::string> GetFile(const std::string& name) const override;
  bool ReadsAfresh() const override { return true; }

  static constexpr size_t kMaxFileBytes = size_t{512} << 20;

 private:
  std::string root_;
};

// Opens |path|, relative and "/"-separated, below the folder |dir_fd| with |flags|
// (O_CLOEXEC added, and O_NOCTTY unless O_PATH): with openat2 and RESOLVE_BENEATH, so
// that no link and no ".." leaves the folder; where the kernel has no openat2 (or
// |use_openat2| is false), one segment at a time following no link at all. The
// descriptor, or -1 with errno set.
int OpenBeneath(int dir_fd, const std::string& path, int flags, bool use_openat2 = true);

#endif  // SRC_RESOURCES_WEB_FOLDER_H_
