// The application pack held in memory: every non-empty file of a zip archive,
// decompressed once, looked up by name with ASCII case ignored.
//
// Threading: the archive is filled once at start-up, before anything reads it, and
// never changes afterwards; lookups are then read-only and run concurrently from the
// engine's IO thread without a lock. Loading while others read is not supported.
#ifndef SRC_RESOURCES_ZIP_ARCHIVE_H_
#define SRC_RESOURCES_ZIP_ARCHIVE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "resources/pack_source.h"

class ZipArchive : public PackSource {
 public:
  ZipArchive() = default;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Loads every file entry of the zip archive at |path| (no password). Directory
  // entries and zero-length files are skipped; a name loaded before is replaced.
  // Returns the number of files loaded. A missing or unreadable file, or one that is
  // not a zip archive, loads nothing; a damaged entry ends the load, keeping the
  // entries read before it.
  size_t LoadFile(const std::string& path);
  // The same for an archive held in memory; |data| is not kept.
  size_t LoadBuffer(const void* data, size_t size);

  // PackSource
  // The file's bytes, or null when there is no such file. |name| is the entry's path
  // inside the archive ("js/app.js"); ASCII letters match in either case.
  std::shared_ptr<const std::string> GetFile(const std::string& name) const override;
  size_t GetFileCount() const { return files_.size(); }

 private:
  // Takes ownership of |archive| (a libzip zip_t*).
  size_t LoadArchive(void* archive);

  std::unordered_map<std::string, std::shared_ptr<const std::string>> files_;
};

#endif  // SRC_RESOURCES_ZIP_ARCHIVE_H_
