#include "resources/zip_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/url_parts.h"
#include "resources/zip_directory.h"

namespace {

bool IsFileEntry(const ZipDirectoryEntry& entry) {
  return !entry.name.empty() && entry.name.back() != '/' && entry.uncompressed_size > 0;
}

// Reads the whole entry into |out|, which ends up exactly |size| bytes long or the
// entry counts as damaged. The stream may decompress to far more than the
// directory claims (libzip compares the lengths only at the end), so reading stops
// as soon as it passes |size|.
bool ReadEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, std::string& out) {
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (!file)
    return false;
  constexpr zip_uint64_t kMaxReserve = zip_uint64_t{64} * 1024 * 1024;
  out.clear();
  out.reserve(static_cast<size_t>(std::min(size, kMaxReserve)));
  char chunk[64 * 1024];
  bool ok = true;
  for (;;) {
    const zip_int64_t n = zip_fread(file, chunk, sizeof(chunk));
    if (n < 0 || static_cast<zip_uint64_t>(n) > size - out.size()) {
      ok = false;
      break;
    }
    if (n == 0)
      break;
    out.append(chunk, static_cast<size_t>(n));
  }
  if (zip_fclose(file) != 0)
    ok = false;
  return ok && out.size() == size;
}

// Whether libzip's idea of entry |index| is the one in our directory; an archive
// read two ways must read the same.
bool SameEntry(zip_t* archive, zip_uint64_t index, const ZipDirectoryEntry& entry) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive, index, ZIP_FL_ENC_RAW, &stat) != 0)
    return false;
  constexpr zip_uint64_t kNeeded = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE;
  return (stat.valid & kNeeded) == kNeeded && stat.name == entry.name &&
         stat.size == entry.uncompressed_size && stat.comp_size == entry.compressed_size;
}

// Reads a regular file whole; false for anything else.
bool ReadRegularFile(const std::string& path, std::string* out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    out->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < out->size()) {
      const ssize_t n = read(fd, &(*out)[done], out->size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      done += static_cast<size_t>(n);
    }
    // A file that shrank while read is read as far as it went.
    out->resize(done);
  }
  close(fd);
  return ok;
}

}  // namespace

uint64_t ZipArchive::MaxUnpackedSize(uint64_t pack_size) {
  constexpr uint64_t kFactor = 16;
  constexpr uint64_t kAllowance = uint64_t{256} * 1024 * 1024;
  if (pack_size > (std::numeric_limits<uint64_t>::max() - kAllowance) / kFactor)
    return std::numeric_limits<uint64_t>::max();
  return pack_size * kFactor + kAllowance;
}

size_t ZipArchive::LoadFile(const std::string& path) {
  std::string bytes;
  if (!ReadRegularFile(path, &bytes))
    return 0;
  return LoadBuffer(bytes.data(), bytes.size());
}

size_t ZipArchive::LoadBuffer(const void* data, size_t size) {
  if (!data || size == 0)
    return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);

  // Our own reading of the directory comes first: it is bounded, and it tells
  // where each entry lies, which libzip does not.
  ZipDirectory directory;
  if (!ReadZipDirectory(bytes, size, &directory))
    return 0;
  const std::vector<ZipDirectoryEntry>& entries = directory.entries;

  // Where each file entry lies; an entry whose local header does not read is
  // damaged. Entries that share bytes with another one are refused, all of them:
  // there is no telling which one the data belongs to.
  std::vector<bool> readable(entries.size(), false);
  std::vector<ZipSpan> file_spans;
  std::vector<size_t> file_indexes;
  for (size_t i = 0; i < entries.size(); ++i) {
    ZipSpan span;
    if (!IsFileEntry(entries[i]) ||
        !FindZipEntrySpan(bytes, size, entries[i], directory.offset, &span))
      continue;
    readable[i] = true;
    file_spans.push_back(span);
    file_indexes.push_back(i);
  }
  std::vector<bool> overlapping(entries.size(), false);
  const std::vector<bool> file_overlaps = FindOverlappingSpans(file_spans);
  for (size_t k = 0; k < file_indexes.size(); ++k)
    overlapping[file_indexes[k]] = file_overlaps[k];

  // The whole pack is refused when what it would unpack to passes the bound,
  // before anything is allocated for it.
  uint64_t unpacked = 0;
  const uint64_t bound = MaxUnpackedSize(size);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!IsFileEntry(entries[i]) || overlapping[i])
      continue;
    if (entries[i].uncompressed_size > bound - unpacked)
      return 0;
    unpacked += entries[i].uncompressed_size;
  }

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
  zip_error_fini(&error);
  if (!source)
    return 0;
  zip_error_init(&error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (!archive) {
    // On failure the source still belongs to us.
    zip_source_free(source);
    return 0;
  }
  size_t loaded = 0;
  if (zip_get_num_entries(archive, 0) == static_cast<zip_int64_t>(entries.size())) {
    for (size_t i = 0; i < entries.size(); ++i) {
      const ZipDirectoryEntry& entry = entries[i];
      if (!IsFileEntry(entry) || overlapping[i])
        continue;
      const zip_uint64_t index = static_cast<zip_uint64_t>(i);
      const char* name = zip_get_name(archive, index, 0);
      auto file = std::make_shared<std::string>();
      if (!readable[i] || !name || !SameEntry(archive, index, entry) ||
          !ReadEntry(archive, index, entry.uncompressed_size, *file))
        break;
      files_[engine::AsciiLower(name)] = std::move(file);
      ++loaded;
    }
  }
  // Read-only: nothing to write back.
  zip_discard(archive);
  return loaded;
}

std::shared_ptr<const std::string> ZipArchive::GetFile(const std::string& name) const {
  const auto it = files_.find(engine::AsciiLower(name));
  return it == files_.end() ? nullptr : it->second;
}
