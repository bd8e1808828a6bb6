// Development mode: app://lumio/ served from a folder on disk instead of the pack,
// read afresh on every request, so that an edited file shows on the next reload.
//
// A name finds what the pack built from the same folder would hold: ASCII letters
// match in either case, directories and empty files are not served. Nothing
// outside the folder is: names with an empty, "." or ".." segment, absolute names,
// and names that reach a symbolic link leading out of the folder find nothing.
// Symbolic links that stay inside the folder are followed.
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

  // The real path of the regular, non-empty file that |name| names inside the
  // folder, or "" when there is none or the name is refused. |name| is a pack entry
  // name (the URL path without its leading "/", percent-escapes as they are).
  std::string Resolve(const std::string& name) const;

  // PackSource
  std::shared_ptr<const std::string> GetFile(const std::string& name) const override;

 private:
  std::string root_;
};

#endif  // SRC_RESOURCES_WEB_FOLDER_H_
