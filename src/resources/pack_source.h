// Where the files of app://lumio/ come from: the pack held in memory, or in
// development mode a folder on disk (resources/web_folder.h).
#ifndef SRC_RESOURCES_PACK_SOURCE_H_
#define SRC_RESOURCES_PACK_SOURCE_H_

#include <memory>
#include <string>

// Called on the engine's IO thread, concurrently; implementations keep no state
// that a lookup changes.
class PackSource {
 public:
  virtual ~PackSource() = default;

  // The bytes of the file that |name| names, or null when there is none. |name| is
  // the URL path without its leading "/", percent-escapes left as they are
  // ("js/app.js"); ASCII letters match in either case.
  virtual std::shared_ptr<const std::string> GetFile(const std::string& name) const = 0;

  // True when a file may change between two requests for it (a folder being
  // edited): then no response may be kept in the engine's cache.
  virtual bool ReadsAfresh() const { return false; }
};

#endif  // SRC_RESOURCES_PACK_SOURCE_H_
