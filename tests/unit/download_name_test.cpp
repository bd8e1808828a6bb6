// The name a download is offered under, from names that pages and servers choose.
#include "engine/qt/download_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using engine::SafeDownloadName;

TEST(DownloadNameTest, OrdinaryNamesStay) {
  EXPECT_EQ("report.pdf", SafeDownloadName("report.pdf"));
  EXPECT_EQ("a b (1).tar.gz", SafeDownloadName("a b (1).tar.gz"));
  EXPECT_EQ("r\xC3\xA9sum\xC3\xA9.txt", SafeDownloadName("r\xC3\xA9sum\xC3\xA9.txt"));
  EXPECT_EQ("x.txt", SafeDownloadName("x%2Etxt"));
}

TEST(DownloadNameTest, NamesThatClimbOrNameFoldersKeepOnlyTheirLastPart) {
  for (const char* name :
       {"..%2f..%2f.config%2fautostart%2fevil.desktop",
        "../../.config/autostart/evil.desktop", "%2E%2E%2F%2E%2E%2Fevil.desktop",
        "..%252f..%252fevil.desktop", "%25252e%25252e%25252fevil.desktop",
        "/etc/evil.desktop", "..\\..\\evil.desktop", "..%5c..%5cevil.desktop",
        "dir/.evil.desktop", "...evil.desktop"}) {
    EXPECT_EQ("evil.desktop", SafeDownloadName(name)) << name;
  }
}

TEST(DownloadNameTest, HiddenControlAndEmptyNamesAreMadeSafe) {
  EXPECT_EQ("bashrc", SafeDownloadName(".bashrc"));
  EXPECT_EQ("a.txt", SafeDownloadName(" .a.txt. . "));
  EXPECT_EQ("ab.txt", SafeDownloadName("a\nb\x7f.txt"));
  EXPECT_EQ("ab.txt", SafeDownloadName("a%0d%0ab%00.txt"));
  // A right-to-left override makes "evil\u202Efdp.exe" show as "evilexe.pdf".
  EXPECT_EQ("evilfdp.exe", SafeDownloadName("evil\xE2\x80\xAE"
                                            "fdp.exe"));
  for (const char* name :
       {"", ".", "..", "...", "/", "a/", "%2e%2e", "..%2f", " ", "\x01"})
    EXPECT_EQ("download", SafeDownloadName(name)) << name;
}

TEST(DownloadNameTest, LongNamesKeepTheirEndWithinTheBound) {
  const std::string long_name = std::string(300, 'a') + ".desktop";
  const std::string safe = SafeDownloadName(long_name);
  EXPECT_EQ(200u, safe.size());
  EXPECT_EQ(".desktop", safe.substr(safe.size() - 8));
  // Two-byte letters: the cut falls between them, never inside one.
  std::string letters;
  for (int i = 0; i < 150; ++i)
    letters += "\xC3\xA9";
  const std::string cut = SafeDownloadName(letters + ".txt");
  EXPECT_LE(cut.size(), 200u);
  EXPECT_NE(0xA9, static_cast<unsigned char>(cut[0]));
  EXPECT_EQ(".txt", cut.substr(cut.size() - 4));
}

}  // namespace
