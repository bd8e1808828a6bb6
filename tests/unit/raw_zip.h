// Zip archives written byte by byte, for the records that zip tools never write:
// entries that share their data, sizes that lie, truncated or misplaced records.
// Local headers and data go first, in the order added; Finish() appends the
// central directory from the records given and the end records.
#ifndef TESTS_UNIT_RAW_ZIP_H_
#define TESTS_UNIT_RAW_ZIP_H_

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

class RawZip {
 public:
  // One central directory record. Defaults describe a stored entry at offset 0.
  struct Record {
    std::string name;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint32_t crc = 0;
    uint64_t compressed_size = 0;
    uint64_t uncompressed_size = 0;
    uint64_t offset = 0;  // of the local header
    // Sizes and offset go in a Zip64 extra field, with 0xffffffff in their place.
    bool zip64 = false;
    std::string extra;  // further extra fields, after the Zip64 one
  };

  static void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
  }
  static void Put32(std::string& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xffff));
    Put16(out, static_cast<uint16_t>(v >> 16));
  }
  static void Put64(std::string& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v & 0xffffffff));
    Put32(out, static_cast<uint32_t>(v >> 32));
  }

  static uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                       static_cast<uInt>(data.size())));
  }

  // Raw deflate, as zip entries hold it.
  static std::string Deflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
  }

  // Appends a local header and the entry's bytes (already compressed for method
  // 8); returns the record that points at them, not yet in the directory.
  Record AddLocal(const std::string& name,
                  const std::string& data,
                  uint16_t method = 0,
                  const std::string& local_extra = "") {
    Record record;
    record.name = name;
    record.method = method;
    record.offset = bytes_.size();
    const std::string content = method == 8 ? Deflate(data) : data;
    record.crc = Crc(data);
    record.compressed_size = content.size();
    record.uncompressed_size = data.size();
    Put32(bytes_, 0x04034b50);
    Put16(bytes_, 20);
    Put16(bytes_, 0);  // flags
    Put16(bytes_, method);
    Put32(bytes_, 0);  // time, date
    Put32(bytes_, record.crc);
    Put32(bytes_, static_cast<uint32_t>(record.compressed_size));
    Put32(bytes_, static_cast<uint32_t>(record.uncompressed_size));
    Put16(bytes_, static_cast<uint16_t>(name.size()));
    Put16(bytes_, static_cast<uint16_t>(local_extra.size()));
    bytes_ += name;
    bytes_ += local_extra;
    bytes_ += content;
    return record;
  }

  // A local entry and its directory record, as an honest archive has them.
  Record Add(const std::string& name, const std::string& data, uint16_t method = 0) {
    Record record = AddLocal(name, data, method);
    records_.push_back(record);
    return record;
  }

  void AddRecord(const Record& record) { records_.push_back(record); }
  // Arbitrary bytes after the entries, before the directory.
  void AddBytes(const std::string& raw) { bytes_ += raw; }
  std::vector<Record>& records() { return records_; }
  // What has been added so far: local headers and data.
  const std::string& bytes() const { return bytes_; }

  struct EndOptions {
    bool zip64 = false;  // Zip64 end record and locator before the classic one
    std::string comment;
    // Overrides of the classic end record's fields; -1 keeps the true value.
    int64_t count = -1;
    int64_t directory_size = -1;
    int64_t directory_offset = -1;
  };

  // The archive: entries, directory, end records.
  std::string Finish(const EndOptions& options) const {
    std::string out = bytes_;
    const uint64_t directory_offset = out.size();
    for (const Record& r : records_)
      out += CentralHeader(r);
    const uint64_t directory_size = out.size() - directory_offset;
    const uint64_t count = records_.size();
    if (options.zip64) {
      const uint64_t zip64_at = out.size();
      Put32(out, 0x06064b50);
      Put64(out, 44);
      Put16(out, 45);
      Put16(out, 45);
      Put32(out, 0);
      Put32(out, 0);
      Put64(out, count);
      Put64(out, count);
      Put64(out, directory_size);
      Put64(out, directory_offset);
      Put32(out, 0x07064b50);
      Put32(out, 0);
      Put64(out, zip64_at);
      Put32(out, 1);
    }
    const auto field = [&](int64_t given, uint64_t real, uint64_t deferred) {
      if (given >= 0)
        return static_cast<uint64_t>(given);
      return options.zip64 ? deferred : real;
    };
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    const uint16_t n = static_cast<uint16_t>(field(options.count, count, 0xffff));
    Put16(out, n);
    Put16(out, n);
    Put32(out, static_cast<uint32_t>(
                   field(options.directory_size, directory_size, 0xffffffff)));
    Put32(out, static_cast<uint32_t>(
                   field(options.directory_offset, directory_offset, 0xffffffff)));
    Put16(out, static_cast<uint16_t>(options.comment.size()));
    out += options.comment;
    return out;
  }
  std::string Finish() const { return Finish(EndOptions()); }

 private:
  static std::string CentralHeader(const Record& r) {
    std::string out;
    std::string extra;
    if (r.zip64) {
      Put16(extra, 0x0001);
      Put16(extra, 24);
      Put64(extra, r.uncompressed_size);
      Put64(extra, r.compressed_size);
      Put64(extra, r.offset);
    }
    extra += r.extra;
    Put32(out, 0x02014b50);
    Put16(out, 45);
    Put16(out, 20);
    Put16(out, 0);  // flags
    Put16(out, r.method);
    Put32(out, 0);  // time, date
    Put32(out, r.crc);
    Put32(out, r.zip64 ? 0xffffffff : static_cast<uint32_t>(r.compressed_size));
    Put32(out, r.zip64 ? 0xffffffff : static_cast<uint32_t>(r.uncompressed_size));
    Put16(out, static_cast<uint16_t>(r.name.size()));
    Put16(out, static_cast<uint16_t>(extra.size()));
    Put16(out, 0);  // comment
    Put16(out, 0);  // disk
    Put16(out, 0);  // internal attributes
    Put32(out, 0);  // external attributes
    Put32(out, r.zip64 ? 0xffffffff : static_cast<uint32_t>(r.offset));
    out += r.name;
    out += extra;
    return out;
  }

  std::string bytes_;
  std::vector<Record> records_;
};

#endif  // TESTS_UNIT_RAW_ZIP_H_
