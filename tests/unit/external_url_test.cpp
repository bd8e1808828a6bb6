// Which URLs reach the desktop's default handler.
#include "native/external_url.h"

#include <gtest/gtest.h>

namespace {

TEST(ExternalUrlTest, WebPagesAndMailOpen) {
  for (const char* url :
       {"https://example.com/", "http://example.com", "HTTPS://Example.COM/a?b=1#c",
        "hTTp://example.com:8080/path", "https://user:pw@example.com/x",
        "http://[::1]:8080/", "https://example.com?q", "https://example.com#top",
        "https://b\xC3\xBC"
        "cher.example/\xC3\xA4",
        "mailto:someone@example.com", "MAILTO:someone@example.com?subject=Hi&body=There",
        "mailto:"}) {
    EXPECT_TRUE(IsExternalBrowserUrl(url)) << url;
  }
}

TEST(ExternalUrlTest, OtherSchemesOpenNothing) {
  for (const char* url :
       {"file:///etc/passwd", "FILE:///etc/passwd", "file://localhost/etc/passwd",
        "javascript:alert(1)", "data:text/html,<b>x</b>", "ftp://example.com/",
        "smb://server/share", "sftp://host/", "app://lumio/index.html",
        "x-scheme-handler:whatever", "httpx://example.com", "http+x://example.com",
        "mailto2:x@example.com"}) {
    EXPECT_FALSE(IsExternalBrowserUrl(url)) << url;
  }
}

TEST(ExternalUrlTest, InvalidUrlsOpenNothing) {
  for (const char* url : {"",
                          "example.com",
                          "//example.com/",
                          ":",
                          "://example.com",
                          "1http://x",
                          "ht tp://example.com",
                          "h_ttp://example.com",
                          "http:",
                          "http:/example.com",
                          "http:///etc/passwd",
                          "https://",
                          "https://:443/",
                          "https://user@/x",
                          "https://?q",
                          "http://[::1",
                          " https://example.com",
                          "https://example.com ",
                          "https://exa mple.com",
                          "https://example.com/\n",
                          "https://example.com/\t",
                          "https://example.com/\x7f",
                          "https:\\\\evil.example",
                          "https://evil.example\\@good.example/",
                          "mailto:a b@example.com"}) {
    EXPECT_FALSE(IsExternalBrowserUrl(url)) << url;
  }
}

// Mail programs attach files that some header fields name; a page must not have
// the user send local files away.
TEST(ExternalUrlTest, MailWithFieldsBeyondAMessagesOpensNothing) {
  for (const char* url :
       {"mailto:a@example.com?to=b@example.com&cc=c@example.com&bcc=d@example.com",
        "mailto:?subject=Q%26A&body=line%0D%0Aline&In-Reply-To=%3Cid@x%3E",
        "mailto:a@example.com?", "mailto:a@example.com?subject=&&body=x"}) {
    EXPECT_TRUE(IsExternalBrowserUrl(url)) << url;
  }
  for (const char* url :
       {"mailto:a@example.com?attach=/home/u/.ssh/id_rsa",
        "mailto:a@example.com?subject=x&attachment=file:///etc/passwd",
        "mailto:?ATTACH=~/.gnupg/secring.gpg", "mailto:?AtTaChMeNt=x",
        "mailto:?%61ttach=/etc/passwd", "mailto:?att%41ch=/etc/passwd",
        "mailto:?%2561ttach=/etc/passwd", "mailto:?attach",
        "mailto:?body=x&attach%3D=/etc/passwd", "mailto:?file=/etc/passwd",
        "mailto:?x-attach=/etc/passwd", "mailto:a@example.com%3Fattach=/etc/passwd",
        "mailto:a@example.com%26attach=/etc/passwd"}) {
    EXPECT_FALSE(IsExternalBrowserUrl(url)) << url;
  }
}

}  // namespace
