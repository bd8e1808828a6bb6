#include "resources/zip_archive.h"

#include <zip.h>

#include <algorithm>

namespace {

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Reads the whole entry. The size in the archive's directory is not trusted for the
// allocation (a damaged archive may claim anything); libzip checks the length and
// the CRC as the data is read.
bool ReadEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, std::string& out) {
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (!file)
    return false;
  constexpr zip_uint64_t kMaxReserve = 64 * 1024 * 1024;
  out.clear();
  out.reserve(static_cast<size_t>(std::min(size, kMaxReserve)));
  char chunk[64 * 1024];
  bool ok = true;
  for (;;) {
    const zip_int64_t n = zip_fread(file, chunk, sizeof(chunk));
    if (n < 0) {
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

}  // namespace

size_t ZipArchive::LoadFile(const std::string& path) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive)
    return 0;
  return LoadArchive(archive);
}

size_t ZipArchive::LoadBuffer(const void* data, size_t size) {
  if (!data || size == 0)
    return 0;
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
  return LoadArchive(archive);
}

size_t ZipArchive::LoadArchive(void* handle) {
  zip_t* archive = static_cast<zip_t*>(handle);
  size_t loaded = 0;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_NAME) || !(stat.valid & ZIP_STAT_SIZE))
      break;
    const std::string name = stat.name;
    if (name.empty() || name.back() == '/' || stat.size == 0)
      continue;
    auto data = std::make_shared<std::string>();
    if (!ReadEntry(archive, static_cast<zip_uint64_t>(i), stat.size, *data))
      break;
    files_[AsciiLower(name)] = std::move(data);
    ++loaded;
  }
  // Read-only: nothing to write back.
  zip_discard(archive);
  return loaded;
}

std::shared_ptr<const std::string> ZipArchive::GetFile(const std::string& name) const {
  const auto it = files_.find(AsciiLower(name));
  return it == files_.end() ? nullptr : it->second;
}
