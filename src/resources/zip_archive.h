// The application pack held in memory: every non-empty file of a zip archive,
// decompressed once, looked up by name with ASCII case ignored.
//
// Threading: the archive is filled once at start-up, before anything reads it, and
// never changes afterwards; lookups are then read-only and run concurrently from the
// engine's IO thread without a lock. Loading while others read is not supported.
#ifndef SRC_RESOURCES_ZIP_ARCHIVE_H_
#define SRC_RESOURCES_ZIP_ARCHIVE_H_

#include <cstddef>
#include <cstdint>
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
  //
  // A crafted archive cannot make the load take much more memory or time than its
  // own size: entries whose bytes (local header and data) overlap another entry's
  // are skipped, all of them; an archive whose remaining files would unpack to more
  // than MaxUnpackedSize(its size), by the sizes its directory gives, loads
  // nothing; and no entry is read past the size the directory gives for it.
  size_t LoadFile(const std::string& path);
  // The same for an archive held in memory; |data| is not kept.
  size_t LoadBuffer(const void* data, size_t size);

  // How much an archive of |pack_size| bytes may unpack to: 16 times its size plus
  // 256 MiB. Web content shrinks 3 to 10 times in a zip, and the allowance leaves
  // room for a small pack of very repetitive files; deflate itself reaches 1032 to
  // 1, so without a bound a pack of a few hundred kilobytes could ask for gigabytes.
  static uint64_t MaxUnpackedSize(uint64_t pack_size);

  // PackSource
  // The file's bytes, or null when there is no such file. |name| is the entry's path
  // inside the archive ("js/app.js"); ASCII letters match in either case.
  std::shared_ptr<const std::string> GetFile(const std::string& name) const override;
  size_t GetFileCount() const { return files_.size(); }

 private:
  std::unordered_map<std::string, std::shared_ptr<const std::string>> files_;
};

#endif  // SRC_RESOURCES_ZIP_ARCHIVE_H_
