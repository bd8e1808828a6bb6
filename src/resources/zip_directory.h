// The central directory of a zip archive, read straight from the archive's bytes.
//
// libzip reads the same directory but keeps each entry's local header offset to
// itself, and the pack loader needs it: a crafted archive can point any number of
// entries at one compressed stream, so that a small file decompresses to gigabytes.
// With the offsets, entries whose bytes overlap can be refused before any of them is
// read.
//
// Every count, size and offset in the records is checked against the bytes present
// before it is used, and nothing is allocated from a size the archive claims: a
// truncated or lying record makes the directory unreadable, never an over-read.
// Multi-disk archives are not read.
#ifndef SRC_RESOURCES_ZIP_DIRECTORY_H_
#define SRC_RESOURCES_ZIP_DIRECTORY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ZipDirectoryEntry {
  std::string name;  // the bytes as stored, in no particular encoding
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc32 = 0;
  // Zip64 values where the record defers to its extra field.
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  uint64_t local_header_offset = 0;
};

struct ZipDirectory {
  // Where the central directory starts: every entry's data lies before it.
  uint64_t offset = 0;
  std::vector<ZipDirectoryEntry> entries;  // in directory order, as libzip numbers them
};

// Reads the directory of the archive in |data|. The end record is looked for as
// libzip does: in the last 64 KiB (plus the records' own length), from the front,
// taking the first one whose directory reads; more than 16 signatures of end
// records there make the archive unreadable. A Zip64 locator right before it
// leads to the Zip64 end record, whose values then count. False when no directory
// reads: then |directory| is left empty.
bool ReadZipDirectory(const uint8_t* data, size_t size, ZipDirectory* directory);

// The bytes one entry occupies: its local header, name, extra field and compressed
// data, [begin, end).
struct ZipSpan {
  uint64_t begin = 0;
  uint64_t end = 0;
};

// Finds |entry|'s span from its local header. False when the header is missing or
// truncated, or its data would reach past |limit| (the directory's offset).
bool FindZipEntrySpan(const uint8_t* data,
                      size_t size,
                      const ZipDirectoryEntry& entry,
                      uint64_t limit,
                      ZipSpan* span);

// For each span, whether it shares at least one byte with another span.
// O(n log n); spans may come in any order.
std::vector<bool> FindOverlappingSpans(const std::vector<ZipSpan>& spans);

#endif  // SRC_RESOURCES_ZIP_DIRECTORY_H_
