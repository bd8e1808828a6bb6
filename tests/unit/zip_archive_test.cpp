#include "resources/zip_archive.h"

#include <string>

#include <gtest/gtest.h>

#include "raw_zip.h"
#include "test_zip.h"

namespace {

std::string Contents(const ZipArchive& archive, const std::string& name) {
  auto file = archive.GetFile(name);
  return file ? *file : "<absent>";
}

TEST(ZipArchiveTest, LoadsFilesAndLooksThemUpIgnoringAsciiCase) {
  TestTempDir dir;
  const std::string path = dir.File("lumio.pak");
  ASSERT_TRUE(WriteTestZip(path, {{"index.html", "<html></html>"},
                                  {"JS/", ""},
                                  {"JS/App.js", "app();"},
                                  {"empty.txt", ""},
                                  {"img/sub/", ""},
                                  {"\xc3\x84.txt", "umlaut"}}));
  ZipArchive archive;
  EXPECT_EQ(3u, archive.LoadFile(path));
  EXPECT_EQ(3u, archive.GetFileCount());
  EXPECT_EQ("<html></html>", Contents(archive, "index.html"));
  EXPECT_EQ("<html></html>", Contents(archive, "INDEX.Html"));
  EXPECT_EQ("app();", Contents(archive, "js/app.js"));
  EXPECT_EQ("app();", Contents(archive, "JS/APP.JS"));
  // Only ASCII letters fold: U+00C4 and U+00E4 stay different names.
  EXPECT_EQ("umlaut", Contents(archive, "\xc3\x84.TXT"));
  EXPECT_EQ(nullptr, archive.GetFile("\xc3\xa4.txt"));
  // Directories and zero-length files can never be served.
  EXPECT_EQ(nullptr, archive.GetFile("JS/"));
  EXPECT_EQ(nullptr, archive.GetFile("js"));
  EXPECT_EQ(nullptr, archive.GetFile("img/sub/"));
  EXPECT_EQ(nullptr, archive.GetFile("empty.txt"));
  EXPECT_EQ(nullptr, archive.GetFile("/index.html"));
  EXPECT_EQ(nullptr, archive.GetFile(""));
}

TEST(ZipArchiveTest, BinaryContentLargerThanOneReadComesBackIntact) {
  std::string binary;
  for (unsigned i = 0; i < 300000; ++i)
    binary.push_back(static_cast<char>((i * 7919u) % 256));
  const std::string zip =
      MakeTestZip({{"blob.bin", binary}, {"stored.bin", binary, /*stored=*/true}});
  ASSERT_FALSE(zip.empty());
  ZipArchive archive;
  EXPECT_EQ(2u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ(binary, Contents(archive, "blob.bin"));
  EXPECT_EQ(binary, Contents(archive, "stored.bin"));
}

TEST(ZipArchiveTest, LaterLoadsReplaceNamesThatDifferOnlyInCase) {
  const std::string first = MakeTestZip({{"a.txt", "one"}, {"b.txt", "bee"}});
  const std::string second = MakeTestZip({{"A.TXT", "two"}, {"c.txt", "sea"}});
  ZipArchive archive;
  {
    // The caller's bytes are not kept.
    std::string scratch = first;
    ASSERT_EQ(2u, archive.LoadBuffer(scratch.data(), scratch.size()));
    scratch.assign(scratch.size(), '\0');
  }
  EXPECT_EQ("one", Contents(archive, "A.txt"));
  EXPECT_EQ(2u, archive.LoadBuffer(second.data(), second.size()));
  EXPECT_EQ(3u, archive.GetFileCount());
  EXPECT_EQ("two", Contents(archive, "a.txt"));
  EXPECT_EQ("bee", Contents(archive, "b.txt"));
  EXPECT_EQ("sea", Contents(archive, "c.txt"));
}

TEST(ZipArchiveTest, UnreadableInputLoadsNothing) {
  TestTempDir dir;
  const std::string zip = MakeTestZip({{"index.html", "page"}, {"app.js", "code"}});
  ASSERT_FALSE(zip.empty());
  WriteWholeFile(dir.File("text.pak"), "this is not a zip archive");
  WriteWholeFile(dir.File("truncated.pak"), zip.substr(0, zip.size() - 10));
  WriteWholeFile(dir.File("empty.pak"), "");

  ZipArchive archive;
  EXPECT_EQ(0u, archive.LoadFile(dir.File("missing.pak")));
  EXPECT_EQ(0u, archive.LoadFile(dir.File("text.pak")));
  EXPECT_EQ(0u, archive.LoadFile(dir.File("truncated.pak")));
  EXPECT_EQ(0u, archive.LoadFile(dir.File("empty.pak")));
  EXPECT_EQ(0u, archive.LoadFile(dir.File("")));  // the folder itself
  EXPECT_EQ(0u, archive.LoadBuffer(nullptr, 0));
  EXPECT_EQ(0u, archive.LoadBuffer("PK\x03\x04", 4));
  const std::string garbage(4096, '\xff');
  EXPECT_EQ(0u, archive.LoadBuffer(garbage.data(), garbage.size()));
  EXPECT_EQ(0u, archive.GetFileCount());
}

TEST(ZipArchiveTest, DamagedEntryEndsTheLoadButKeepsWhatWasRead) {
  const std::string good = "first entry";
  const std::string bad = "second entry, about to be damaged";
  std::string zip =
      MakeTestZip({{"a.txt", good, true}, {"b.txt", bad, true}, {"c.txt", "c"}});
  const size_t at = zip.find(bad);
  ASSERT_NE(std::string::npos, at);
  zip[at] = 'S';  // the CRC no longer matches

  ZipArchive archive;
  ASSERT_EQ(1u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ(good, Contents(archive, "a.txt"));
  EXPECT_EQ(nullptr, archive.GetFile("b.txt"));
  EXPECT_EQ(nullptr, archive.GetFile("c.txt"));

  // Files from an earlier load survive a later, failing one.
  EXPECT_EQ(0u, archive.LoadBuffer("junk", 4));
  EXPECT_EQ(good, Contents(archive, "a.txt"));
}

// A crafted pack: many directory records pointing at one highly compressed stream.
// Each would unpack to the whole stream; none of them may load, and nothing else of
// the pack is lost.
TEST(ZipArchiveTest, EntriesSharingTheirBytesAreRefusedTheRestLoads) {
  RawZip raw;
  raw.Add("index.html", "<html>start</html>");
  const RawZip::Record bomb = raw.AddLocal("bomb0.bin", std::string(20 << 20, '\0'), 8);
  for (int i = 0; i < 10; ++i) {
    RawZip::Record copy = bomb;
    copy.name = "bomb" + std::to_string(i) + ".bin";
    raw.AddRecord(copy);
  }
  // An entry whose local header and data lie inside another entry's data.
  RawZip nested;
  RawZip::Record inside = nested.AddLocal("inside.bin", "inside data");
  const RawZip::Record outer = raw.Add("outer.bin", "head" + nested.bytes());
  inside.offset = outer.offset + 30 + outer.name.size() + 4;
  raw.AddRecord(inside);
  raw.Add("app.js", "app();", 8);
  const std::string zip = raw.Finish();
  ASSERT_LT(zip.size(), 100u * 1024);

  ZipArchive archive;
  EXPECT_EQ(2u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ("<html>start</html>", Contents(archive, "index.html"));
  EXPECT_EQ("app();", Contents(archive, "app.js"));
  EXPECT_EQ(nullptr, archive.GetFile("bomb0.bin"));
  EXPECT_EQ(nullptr, archive.GetFile("bomb9.bin"));
  EXPECT_EQ(nullptr, archive.GetFile("outer.bin"));
  EXPECT_EQ(nullptr, archive.GetFile("inside.bin"));

  // Zero-length entries and directories that share a header hold no data; they
  // neither load nor spoil the entry they point at.
  RawZip harmless;
  const RawZip::Record page = harmless.Add("index.html", "page");
  RawZip::Record empty = page;
  empty.name = "empty.txt";
  empty.compressed_size = empty.uncompressed_size = 0;
  harmless.AddRecord(empty);
  empty.name = "dir/";
  harmless.AddRecord(empty);
  const std::string harmless_zip = harmless.Finish();
  EXPECT_EQ(1u, archive.LoadBuffer(harmless_zip.data(), harmless_zip.size()));
}

TEST(ZipArchiveTest, PackThatWouldUnpackPastTheBoundLoadsNothing) {
  EXPECT_EQ(256u << 20, ZipArchive::MaxUnpackedSize(0));
  EXPECT_EQ((256u << 20) + 16 * 1000, ZipArchive::MaxUnpackedSize(1000));
  EXPECT_EQ(~uint64_t{0}, ZipArchive::MaxUnpackedSize(~uint64_t{0} / 2));

  // Sizes that the directory claims are enough: nothing is read or allocated to
  // find out. Two entries, each within the bound, are over it together.
  RawZip raw;
  raw.Add("index.html", "page");
  RawZip::Record a = raw.AddLocal("a.bin", "tiny", 8);
  RawZip::Record b = raw.AddLocal("b.bin", "tiny", 8);
  const std::string sized = raw.Finish();
  const uint64_t half = ZipArchive::MaxUnpackedSize(sized.size() + 200) / 2;
  a.uncompressed_size = half;
  b.uncompressed_size = half + 1;
  a.zip64 = b.zip64 = true;
  raw.AddRecord(a);
  raw.AddRecord(b);
  const std::string zip = raw.Finish();
  ZipArchive archive;
  EXPECT_EQ(0u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ(0u, archive.GetFileCount());

  // Just within the bound, the same pack loads as far as its first damaged
  // entry: a.bin does not unpack to the size it claims.
  raw.records().back().uncompressed_size = half - 1000;
  const std::string within = raw.Finish();
  EXPECT_EQ(1u, archive.LoadBuffer(within.data(), within.size()));
  EXPECT_EQ("page", Contents(archive, "index.html"));
}

TEST(ZipArchiveTest, EntryThatUnpacksPastItsSizeIsDamaged) {
  RawZip raw;
  raw.Add("index.html", "page");
  RawZip::Record liar = raw.AddLocal("liar.bin", std::string(4 << 20, 'x'), 8);
  liar.uncompressed_size = 1000;
  raw.AddRecord(liar);
  raw.Add("after.txt", "after");
  const std::string zip = raw.Finish();
  ZipArchive archive;
  EXPECT_EQ(1u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ(nullptr, archive.GetFile("liar.bin"));
  EXPECT_EQ(nullptr, archive.GetFile("after.txt"));
}

TEST(ZipArchiveTest, HandMadeZip64ArchiveLoads) {
  RawZip raw;
  RawZip::Record a = raw.AddLocal("a.txt", "alpha");
  RawZip::Record b = raw.AddLocal("B.txt", std::string(70000, 'b'), 8);
  a.zip64 = b.zip64 = true;
  raw.AddRecord(a);
  raw.AddRecord(b);
  RawZip::EndOptions end;
  end.zip64 = true;
  const std::string zip = raw.Finish(end);
  ZipArchive archive;
  EXPECT_EQ(2u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ("alpha", Contents(archive, "a.txt"));
  EXPECT_EQ(std::string(70000, 'b'), Contents(archive, "b.txt"));
}

// A local header that is not where the directory says ends the load there.
TEST(ZipArchiveTest, MissingLocalHeaderEndsTheLoad) {
  RawZip raw;
  raw.Add("a.txt", "alpha");
  RawZip::Record b = raw.AddLocal("b.txt", "beta");
  b.offset += 3;
  raw.AddRecord(b);
  raw.Add("c.txt", "gamma");
  const std::string zip = raw.Finish();
  ZipArchive archive;
  EXPECT_EQ(1u, archive.LoadBuffer(zip.data(), zip.size()));
  EXPECT_EQ("alpha", Contents(archive, "a.txt"));
  EXPECT_EQ(nullptr, archive.GetFile("c.txt"));
}

}  // namespace
