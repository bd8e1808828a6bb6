// The computer name the page receives.
#include "native/host_name.h"

#include <gtest/gtest.h>

namespace {

TEST(HostNameTest, UpToTheFirstDot) {
  EXPECT_EQ("build-7", HostNameFirstLabel("build-7.example.org"));
  EXPECT_EQ("a", HostNameFirstLabel("a..b"));
  EXPECT_EQ("plain", HostNameFirstLabel("plain"));
  EXPECT_EQ("trailing", HostNameFirstLabel("trailing."));
}

TEST(HostNameTest, EmptyWhenThereIsNoFirstLabel) {
  EXPECT_EQ("", HostNameFirstLabel(""));
  EXPECT_EQ("", HostNameFirstLabel(".local"));
}

}  // namespace
