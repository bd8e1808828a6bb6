#include "resources/zip_directory.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

// Record layouts (APPNOTE 4.3), little-endian throughout.
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxCommentSize = 0xffff;
constexpr uint16_t kZip64ExtraId = 0x0001;
// Values that defer to the Zip64 records.
constexpr uint16_t kDefer16 = 0xffff;
constexpr uint32_t kDefer32 = 0xffffffff;
// How many end record signatures the last 64 KiB may hold. An archive has one
// (a second one by chance in compressed data is rare); a crafted one could plant
// thousands in its comment, each pointing at a large directory. libzip reads the
// directory of every one that reads and compares them entry by entry, so such an
// archive is refused before libzip sees it.
constexpr size_t kMaxEndCandidates = 16;

// A window on the archive's bytes; every read is checked against it.
class Reader {
 public:
  Reader(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}

  // A reader for [offset, offset + length), or an empty one (ok() false) when that
  // range is not inside this one.
  Reader Sub(uint64_t offset, uint64_t length) const {
    if (offset > size_ || length > size_ - offset)
      return Reader(nullptr, 0, false);
    return Reader(data_ + offset, length);
  }
  bool ok() const { return ok_; }
  uint64_t size() const { return size_; }
  uint64_t left() const { return size_ - pos_; }

  uint16_t U16() { return static_cast<uint16_t>(Int(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Int(4)); }
  uint64_t U64() { return Int(8); }
  void Skip(uint64_t n) {
    if (!ok_ || n > left()) {
      Fail();
      return;
    }
    pos_ += n;
  }
  std::string Bytes(uint64_t n) {
    if (!ok_ || n > left()) {
      Fail();
      return std::string();
    }
    std::string out(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(n));
    pos_ += n;
    return out;
  }
  // The next |n| bytes as a reader of their own; the position moves past them.
  Reader Slice(uint64_t n) {
    Reader sub = Sub(pos_, n);
    Skip(n);
    return ok_ ? sub : Reader(nullptr, 0, false);
  }

 private:
  Reader(const uint8_t* data, uint64_t size, bool ok)
      : data_(data), size_(size), ok_(ok) {}

  uint64_t Int(unsigned n) {
    if (!ok_ || n > left()) {
      Fail();
      return 0;
    }
    uint64_t value = 0;
    for (unsigned i = 0; i < n; ++i)
      value |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
    pos_ += n;
    return value;
  }
  void Fail() {
    ok_ = false;
    pos_ = size_;
  }

  const uint8_t* data_;
  uint64_t size_;
  uint64_t pos_ = 0;
  bool ok_ = true;
};

// Where the directory lies and how many entries it claims.
struct DirectoryPlace {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t count = 0;
};

// The directory's place from the end record at |end_at|, through the Zip64
// records when a locator sits right before it. The directory must end where those
// records begin, or before.
bool ReadEndRecords(const Reader& archive, uint64_t end_at, DirectoryPlace* place) {
  Reader end = archive.Sub(end_at, kEndSize);
  if (end.U32() != kEndSignature)
    return false;
  const uint16_t disk = end.U16();
  const uint16_t directory_disk = end.U16();
  const uint16_t count_here = end.U16();
  const uint16_t count = end.U16();
  const uint32_t size = end.U32();
  const uint32_t offset = end.U32();
  const uint16_t comment_size = end.U16();
  if (!end.ok() || comment_size > archive.size() - end_at - kEndSize)
    return false;

  uint64_t records_begin = end_at;
  if (end_at >= kZip64LocatorSize) {
    Reader locator = archive.Sub(end_at - kZip64LocatorSize, kZip64LocatorSize);
    if (locator.U32() == kZip64LocatorSignature) {
      const uint32_t zip64_disk = locator.U32();
      const uint64_t zip64_at = locator.U64();
      const uint32_t disks = locator.U32();
      if (!locator.ok() || zip64_disk != 0 || disks > 1)
        return false;
      // The Zip64 end record lies before its locator.
      if (zip64_at > end_at - kZip64LocatorSize ||
          end_at - kZip64LocatorSize - zip64_at < kZip64EndSize)
        return false;
      Reader zip64 = archive.Sub(zip64_at, kZip64EndSize);
      if (zip64.U32() != kZip64EndSignature)
        return false;
      zip64.Skip(8 + 2 + 2);  // record size, versions
      const uint32_t zip64_disk_number = zip64.U32();
      const uint32_t zip64_directory_disk = zip64.U32();
      const uint64_t zip64_count_here = zip64.U64();
      place->count = zip64.U64();
      place->size = zip64.U64();
      place->offset = zip64.U64();
      if (!zip64.ok() || zip64_disk_number != 0 || zip64_directory_disk != 0 ||
          zip64_count_here != place->count)
        return false;
      // The classic record holds either the same values or the marks that defer.
      if ((count != kDefer16 && count != place->count) ||
          (size != kDefer32 && size != place->size) ||
          (offset != kDefer32 && offset != place->offset))
        return false;
      records_begin = zip64_at;
    }
  }
  if (records_begin == end_at) {
    if (disk != 0 || directory_disk != 0 || count_here != count)
      return false;
    place->count = count;
    place->size = size;
    place->offset = offset;
  }
  // The directory ends where the end records begin, or before; each entry takes
  // at least a fixed-size header.
  return place->offset <= records_begin && place->size <= records_begin - place->offset &&
         place->count <= place->size / kCentralHeaderSize;
}

// Takes the Zip64 values from |extra| for the fields that defer to it, in the
// order of APPNOTE 4.5.3. The first Zip64 field counts, as in libzip; fewer than
// four bytes left at the end are padding (aligned archives use it).
bool ApplyZip64Extra(Reader extra,
                     bool size_deferred,
                     bool compressed_deferred,
                     bool offset_deferred,
                     ZipDirectoryEntry* entry) {
  while (extra.left() >= 4) {
    const uint16_t id = extra.U16();
    const uint16_t length = extra.U16();
    Reader field = extra.Slice(length);
    if (!extra.ok())
      return false;
    if (id != kZip64ExtraId)
      continue;
    if (size_deferred)
      entry->uncompressed_size = field.U64();
    if (compressed_deferred)
      entry->compressed_size = field.U64();
    if (offset_deferred)
      entry->local_header_offset = field.U64();
    return field.ok();
  }
  return false;
}

bool ReadCentralHeader(Reader& directory, ZipDirectoryEntry* entry) {
  if (directory.U32() != kCentralHeaderSignature)
    return false;
  directory.Skip(2 + 2);  // versions
  entry->flags = directory.U16();
  entry->method = directory.U16();
  directory.Skip(2 + 2);  // time, date
  entry->crc32 = directory.U32();
  const uint32_t compressed_size = directory.U32();
  const uint32_t uncompressed_size = directory.U32();
  const uint16_t name_size = directory.U16();
  const uint16_t extra_size = directory.U16();
  const uint16_t comment_size = directory.U16();
  directory.Skip(2 + 2 + 4);  // disk, internal and external attributes
  const uint32_t offset = directory.U32();
  entry->name = directory.Bytes(name_size);
  Reader extra = directory.Slice(extra_size);
  directory.Skip(comment_size);
  if (!directory.ok())
    return false;

  entry->compressed_size = compressed_size;
  entry->uncompressed_size = uncompressed_size;
  entry->local_header_offset = offset;
  const bool size_deferred = uncompressed_size == kDefer32;
  const bool compressed_deferred = compressed_size == kDefer32;
  const bool offset_deferred = offset == kDefer32;
  if (!size_deferred && !compressed_deferred && !offset_deferred)
    return true;
  return ApplyZip64Extra(extra, size_deferred, compressed_deferred, offset_deferred,
                         entry);
}

bool ReadDirectoryAt(const Reader& archive, uint64_t end_at, ZipDirectory* out) {
  DirectoryPlace place;
  if (!ReadEndRecords(archive, end_at, &place))
    return false;
  Reader directory = archive.Sub(place.offset, place.size);
  // |count| is bounded by the directory's size, so this reserve is too.
  std::vector<ZipDirectoryEntry> entries;
  entries.reserve(static_cast<size_t>(place.count));
  for (uint64_t i = 0; i < place.count; ++i) {
    ZipDirectoryEntry entry;
    if (!ReadCentralHeader(directory, &entry))
      return false;
    entries.push_back(std::move(entry));
  }
  out->offset = place.offset;
  out->entries = std::move(entries);
  return true;
}

}  // namespace

bool ReadZipDirectory(const uint8_t* data, size_t size, ZipDirectory* directory) {
  *directory = ZipDirectory();
  if (!data || size < kEndSize)
    return false;
  const Reader archive(data, size);
  const size_t window = kMaxCommentSize + kEndSize + kZip64LocatorSize;
  const size_t first = size > window ? size - window : 0;
  std::vector<size_t> candidates;
  for (size_t at = first; at + 4 <= size; ++at) {
    if (data[at] != 'P' || std::memcmp(data + at, "PK\x05\x06", 4) != 0)
      continue;
    if (candidates.size() == kMaxEndCandidates)
      return false;
    candidates.push_back(at);
  }
  for (size_t at : candidates) {
    if (ReadDirectoryAt(archive, at, directory))
      return true;
  }
  *directory = ZipDirectory();
  return false;
}

bool FindZipEntrySpan(const uint8_t* data,
                      size_t size,
                      const ZipDirectoryEntry& entry,
                      uint64_t limit,
                      ZipSpan* span) {
  const Reader archive(data, std::min<uint64_t>(size, limit));
  Reader header = archive.Sub(entry.local_header_offset, kLocalHeaderSize);
  if (header.U32() != kLocalHeaderSignature)
    return false;
  header.Skip(22);
  const uint16_t name_size = header.U16();
  const uint16_t extra_size = header.U16();
  if (!header.ok())
    return false;
  // Within the archive's first |limit| bytes, so none of these sums overflows.
  const uint64_t begin = entry.local_header_offset;
  const uint64_t data_begin = begin + kLocalHeaderSize + name_size + extra_size;
  if (data_begin > archive.size() || entry.compressed_size > archive.size() - data_begin)
    return false;
  span->begin = begin;
  span->end = data_begin + entry.compressed_size;
  return true;
}

std::vector<bool> FindOverlappingSpans(const std::vector<ZipSpan>& spans) {
  std::vector<bool> overlaps(spans.size(), false);
  std::vector<size_t> order(spans.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&spans](size_t a, size_t b) {
    return spans[a].begin != spans[b].begin ? spans[a].begin < spans[b].begin
                                            : spans[a].end < spans[b].end;
  });
  // Sweeping in order of beginning: a span that begins before the furthest end
  // seen so far overlaps the span that reached that end. Every span that overlaps
  // another is caught this way, either as the later one or as the one reaching
  // furthest when a later one begins inside it.
  bool any = false;
  size_t furthest = 0;
  for (size_t index : order) {
    const ZipSpan& span = spans[index];
    if (span.begin == span.end)
      continue;  // holds no byte
    if (any && span.begin < spans[furthest].end) {
      overlaps[index] = true;
      overlaps[furthest] = true;
    }
    if (!any || span.end > spans[furthest].end)
      furthest = index;
    any = true;
  }
  return overlaps;
}
