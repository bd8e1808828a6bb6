#include "resources/zip_archive.h"

#include <string>

#include <gtest/gtest.h>

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

}  // namespace
