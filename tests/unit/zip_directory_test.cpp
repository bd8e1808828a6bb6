#include "resources/zip_directory.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raw_zip.h"
#include "test_zip.h"

namespace {

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

bool Read(const std::string& archive, ZipDirectory* directory) {
  return ReadZipDirectory(Bytes(archive), archive.size(), directory);
}

TEST(ZipDirectoryTest, ReadsWhatLibzipWritesWithEachEntrysPlace) {
  const std::string big(100000, 'z');
  const std::string zip = MakeTestZip({{"index.html", "<html></html>", true},
                                       {"js/", ""},
                                       {"js/app.js", big},
                                       {"empty.txt", "", true},
                                       {"stored.bin", "raw bytes", true}});
  ASSERT_FALSE(zip.empty());
  ZipDirectory directory;
  ASSERT_TRUE(Read(zip, &directory));
  ASSERT_EQ(5u, directory.entries.size());
  const char* names[] = {"index.html", "js/", "js/app.js", "empty.txt", "stored.bin"};
  std::vector<ZipSpan> spans;
  for (size_t i = 0; i < 5; ++i) {
    const ZipDirectoryEntry& entry = directory.entries[i];
    EXPECT_EQ(names[i], entry.name);
    ZipSpan span;
    ASSERT_TRUE(FindZipEntrySpan(Bytes(zip), zip.size(), entry, directory.offset, &span))
        << entry.name;
    EXPECT_EQ(entry.local_header_offset, span.begin);
    spans.push_back(span);
  }
  EXPECT_EQ(100000u, directory.entries[2].uncompressed_size);
  EXPECT_EQ(8, directory.entries[2].method);
  EXPECT_LT(directory.entries[2].compressed_size, 1000u);
  EXPECT_EQ(RawZip::Crc(big), directory.entries[2].crc32);
  // A stored entry's data is the last compressed_size bytes of its span.
  const ZipSpan& stored = spans[4];
  EXPECT_EQ("raw bytes", zip.substr(stored.end - 9, 9));
  EXPECT_EQ(std::vector<bool>(5, false), FindOverlappingSpans(spans));
  // Entries lie one after another, before the directory.
  EXPECT_EQ(0u, spans[0].begin);
  EXPECT_LE(spans[4].end, directory.offset);
}

TEST(ZipDirectoryTest, Zip64RecordsAndExtraFieldsGiveTheValues) {
  RawZip raw;
  raw.Add("a.txt", "alpha");
  RawZip::Record b = raw.AddLocal("b.txt", std::string(5000, 'b'), 8);
  b.zip64 = true;
  // Another extra field after the Zip64 one, and padding shorter than a header.
  b.extra = std::string("\x99\x99\x02\x00xy", 6) + "pa";
  raw.AddRecord(b);
  RawZip::EndOptions end;
  end.zip64 = true;
  const std::string zip = raw.Finish(end);

  ZipDirectory directory;
  ASSERT_TRUE(Read(zip, &directory));
  ASSERT_EQ(2u, directory.entries.size());
  EXPECT_EQ("b.txt", directory.entries[1].name);
  EXPECT_EQ(5000u, directory.entries[1].uncompressed_size);
  EXPECT_EQ(b.compressed_size, directory.entries[1].compressed_size);
  EXPECT_EQ(b.offset, directory.entries[1].local_header_offset);
  ZipSpan span;
  EXPECT_TRUE(FindZipEntrySpan(Bytes(zip), zip.size(), directory.entries[1],
                               directory.offset, &span));
}

TEST(ZipDirectoryTest, EndRecordIsFoundPastCommentsAndPrefixes) {
  RawZip raw;
  raw.Add("index.html", "page");
  // A comment that holds something shaped like an end record: the real one
  // comes first and reads, so it counts.
  RawZip decoy;
  decoy.Add("decoy.txt", "no");
  RawZip::EndOptions end;
  end.comment = decoy.Finish().substr(0, 200);
  std::string zip = raw.Finish(end);
  ZipDirectory directory;
  ASSERT_TRUE(Read(zip, &directory));
  ASSERT_EQ(1u, directory.entries.size());
  EXPECT_EQ("index.html", directory.entries[0].name);

  // A comment full of end records, each of which reads: refused rather than read
  // sixteen times over (libzip would read every one).
  const std::string end_record = raw.Finish().substr(raw.Finish().size() - 22);
  std::string many;
  for (int i = 0; i < 16; ++i)
    many += end_record;
  end.comment = many.substr(0, 15 * 22);
  ASSERT_TRUE(Read(raw.Finish(end), &directory));
  end.comment = many;
  EXPECT_FALSE(Read(raw.Finish(end), &directory));

  // The longest comment there can be.
  end.comment = std::string(0xffff, 'c');
  zip = raw.Finish(end);
  ASSERT_TRUE(Read(zip, &directory));
  EXPECT_EQ(1u, directory.entries.size());
}

// Damage of every kind must make the directory unreadable (never an over-read or
// a huge allocation; the sanitizer build checks the first).
TEST(ZipDirectoryTest, TruncatedOrLyingRecordsAreRefused) {
  RawZip raw;
  raw.Add("index.html", "<html></html>");
  raw.Add("app.js", std::string(3000, 'j'), 8);
  const std::string good = raw.Finish();
  ZipDirectory directory;
  ASSERT_TRUE(Read(good, &directory));
  const size_t directory_offset = directory.offset;

  // Every shorter prefix loses the end record or the directory it points at.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(ReadZipDirectory(Bytes(good), n, &directory)) << n;
    EXPECT_TRUE(directory.entries.empty());
  }
  EXPECT_FALSE(ReadZipDirectory(nullptr, 0, &directory));

  const auto finish = [&raw](RawZip::EndOptions end) { return raw.Finish(end); };
  RawZip::EndOptions end;
  end.count = 3;  // more entries than the directory holds
  EXPECT_FALSE(Read(finish(end), &directory));
  end = RawZip::EndOptions();
  end.count = 0xffff;  // far more than the directory could hold
  EXPECT_FALSE(Read(finish(end), &directory));
  end = RawZip::EndOptions();
  end.directory_offset = directory_offset + 1;  // runs into the end record
  EXPECT_FALSE(Read(finish(end), &directory));
  end = RawZip::EndOptions();
  end.directory_offset = 0xfffffff0;
  EXPECT_FALSE(Read(finish(end), &directory));
  end = RawZip::EndOptions();
  end.directory_size = 0xffffffff;
  EXPECT_FALSE(Read(finish(end), &directory));
  end = RawZip::EndOptions();
  end.comment = "comment";
  std::string short_comment = finish(end);
  short_comment.pop_back();  // the comment is longer than what follows
  EXPECT_FALSE(Read(short_comment, &directory));

  // A record whose name runs past the directory.
  std::string long_name = good;
  const size_t second = long_name.find("PK\x01\x02", directory_offset + 1);
  ASSERT_NE(std::string::npos, second);
  long_name[second + 28] = '\x7f';
  EXPECT_FALSE(Read(long_name, &directory));

  // Zip64 marks without the extra field that should hold the values, or with one
  // too short for them.
  RawZip deferred = raw;
  deferred.records()[0].zip64 = true;
  std::string zip = deferred.Finish();
  ASSERT_TRUE(Read(zip, &directory));  // the helper writes the Zip64 field
  const size_t at = zip.find(std::string("\x01\x00\x18\x00", 4));
  ASSERT_NE(std::string::npos, at);
  std::string no_zip64 = zip;
  no_zip64[at] = '\x02';  // now some other field
  EXPECT_FALSE(Read(no_zip64, &directory));
  std::string short_zip64 = zip;
  short_zip64[at + 2] = '\x10';  // 16 bytes: the offset does not fit
  EXPECT_FALSE(Read(short_zip64, &directory));
  std::string overlong_field = zip;
  overlong_field[at + 2] = '\x40';  // longer than the extra field holds
  EXPECT_FALSE(Read(overlong_field, &directory));

  // Multi-disk archives.
  std::string multi_disk = good;
  multi_disk[multi_disk.size() - 22 + 4] = 1;
  EXPECT_FALSE(Read(multi_disk, &directory));

  // A Zip64 locator that points nowhere sensible.
  RawZip::EndOptions zip64_end;
  zip64_end.zip64 = true;
  std::string zip64 = finish(zip64_end);
  ASSERT_TRUE(Read(zip64, &directory));
  const size_t locator = zip64.size() - 22 - 20;
  for (uint64_t target : {uint64_t{0}, uint64_t{locator}, ~uint64_t{0}}) {
    std::string bad = zip64;
    std::string field;
    RawZip::Put64(field, target);
    bad.replace(locator + 8, 8, field);
    EXPECT_FALSE(Read(bad, &directory)) << target;
  }
  // The Zip64 record says another count than the classic one.
  std::string disagree = zip64;
  for (size_t field : {8, 10}) {
    disagree[zip64.size() - 22 + field] = 5;
    disagree[zip64.size() - 22 + field + 1] = 0;
  }
  EXPECT_FALSE(Read(disagree, &directory));
}

TEST(ZipDirectoryTest, EntrySpanNeedsItsLocalHeaderAndDataBeforeTheDirectory) {
  RawZip raw;
  raw.Add("a.txt", "alpha");
  raw.Add("b.txt", "beta");
  const std::string zip = raw.Finish();
  ZipDirectory directory;
  ASSERT_TRUE(Read(zip, &directory));
  ZipSpan span;
  ZipDirectoryEntry entry = directory.entries[1];
  ASSERT_TRUE(FindZipEntrySpan(Bytes(zip), zip.size(), entry, directory.offset, &span));
  EXPECT_EQ(directory.offset, span.end);

  ZipDirectoryEntry moved = entry;
  moved.local_header_offset += 1;  // no local header signature there
  EXPECT_FALSE(FindZipEntrySpan(Bytes(zip), zip.size(), moved, directory.offset, &span));
  moved.local_header_offset = directory.offset;  // the directory's own header
  EXPECT_FALSE(FindZipEntrySpan(Bytes(zip), zip.size(), moved, directory.offset, &span));
  moved.local_header_offset = ~uint64_t{0} - 10;
  EXPECT_FALSE(FindZipEntrySpan(Bytes(zip), zip.size(), moved, directory.offset, &span));
  ZipDirectoryEntry longer = entry;
  longer.compressed_size += 1;  // data would reach into the directory
  EXPECT_FALSE(FindZipEntrySpan(Bytes(zip), zip.size(), longer, directory.offset, &span));
  longer.compressed_size = ~uint64_t{0};
  EXPECT_FALSE(FindZipEntrySpan(Bytes(zip), zip.size(), longer, directory.offset, &span));
}

std::vector<bool> OverlapsByPairs(const std::vector<ZipSpan>& spans) {
  std::vector<bool> result(spans.size(), false);
  for (size_t i = 0; i < spans.size(); ++i)
    for (size_t j = 0; j < spans.size(); ++j)
      if (i != j && spans[i].begin < spans[j].end && spans[j].begin < spans[i].end)
        result[i] = true;
  return result;
}

TEST(ZipDirectoryTest, OverlappingSpansAreAllFound) {
  using V = std::vector<bool>;
  // The same stream ten times over.
  EXPECT_EQ(V(10, true), FindOverlappingSpans(std::vector<ZipSpan>(10, {100, 200})));
  // Touching is not overlapping.
  EXPECT_EQ(V({false, false, false}),
            FindOverlappingSpans({{0, 10}, {10, 20}, {20, 30}}));
  // One inside another, in any order; a span far away stays clear.
  EXPECT_EQ(V({true, false, true}), FindOverlappingSpans({{5, 6}, {50, 60}, {0, 10}}));
  // A long span covering two that lie apart.
  EXPECT_EQ(V({true, true, true}), FindOverlappingSpans({{0, 5}, {1, 100}, {90, 95}}));
  EXPECT_EQ(V(), FindOverlappingSpans({}));

  // Against the obvious quadratic check, on many small random layouts.
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<ZipSpan> spans(1 + random() % 8);
    for (ZipSpan& span : spans) {
      span.begin = random() % 40;
      span.end = span.begin + 1 + random() % 12;
    }
    ASSERT_EQ(OverlapsByPairs(spans), FindOverlappingSpans(spans)) << "round " << round;
  }
}

}  // namespace
