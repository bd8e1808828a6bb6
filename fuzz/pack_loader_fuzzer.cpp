// Arbitrary bytes as lumio.pak. Whatever the bytes, loading must not crash, must
// stay within the unpacking bound, and our reading of the directory must agree
// with the plain pairwise test for overlapping entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/zip_archive.h"
#include "resources/zip_directory.h"

namespace {

void Check(bool condition) {
  if (!condition)
    std::abort();
}

void CheckOverlaps(const uint8_t* data, size_t size) {
  ZipDirectory directory;
  if (!ReadZipDirectory(data, size, &directory))
    return;
  // Each entry takes at least a central header of 46 bytes.
  Check(directory.entries.size() <= size / 46);
  Check(directory.offset <= size);
  std::vector<ZipSpan> spans;
  for (const ZipDirectoryEntry& entry : directory.entries) {
    ZipSpan span;
    if (FindZipEntrySpan(data, size, entry, directory.offset, &span)) {
      Check(span.begin < span.end && span.end <= directory.offset);
      spans.push_back(span);
    }
  }
  if (spans.size() > 300)
    return;
  const std::vector<bool> found = FindOverlappingSpans(spans);
  for (size_t i = 0; i < spans.size(); ++i) {
    bool overlaps = false;
    for (size_t j = 0; j < spans.size() && !overlaps; ++j)
      overlaps = i != j && spans[i].begin < spans[j].end && spans[j].begin < spans[i].end;
    Check(found[i] == overlaps);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckOverlaps(data, size);

  ZipArchive archive;
  const size_t loaded = archive.LoadBuffer(data, size);
  Check(loaded == archive.GetFileCount());
  // Each loaded file needs its own local header of at least 30 bytes.
  Check(loaded <= size / 30);
  return 0;
}
