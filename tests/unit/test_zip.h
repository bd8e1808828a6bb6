// Zip archives built at test time with libzip, and a temporary folder for them.
#ifndef TESTS_UNIT_TEST_ZIP_H_
#define TESTS_UNIT_TEST_ZIP_H_

#include <zip.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

struct TestZipEntry {
  std::string name;  // ends in "/" for a directory entry
  std::string data;
  bool stored = false;  // no compression, so the bytes are findable in the archive
};

class TestTempDir {
 public:
  TestTempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("lumio-unit-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TestTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

// Writes the entries, in order, as a zip archive at |path|. False on any error.
inline bool WriteTestZip(const std::string& path,
                         const std::vector<TestZipEntry>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive)
    return false;
  for (const TestZipEntry& entry : entries) {
    if (!entry.name.empty() && entry.name.back() == '/') {
      if (zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
        zip_discard(archive);
        return false;
      }
      continue;
    }
    zip_source_t* source =
        zip_source_buffer(archive, entry.data.data(), entry.data.size(), 0);
    const zip_int64_t index =
        source ? zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      zip_source_free(source);
      zip_discard(archive);
      return false;
    }
    if (entry.stored)
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE,
                               0);
  }
  return zip_close(archive) == 0;
}

// The archive's bytes; empty on error.
inline std::string MakeTestZip(const std::vector<TestZipEntry>& entries) {
  TestTempDir dir;
  const std::string path = dir.File("archive.zip");
  return WriteTestZip(path, entries) ? ReadWholeFile(path) : std::string();
}

#endif  // TESTS_UNIT_TEST_ZIP_H_
