#include "native/data_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(DataPathsTest, XdgDataHomeWinsWhenAbsolute) {
  EXPECT_EQ("/data", UserDataHome("/data", "/home/u"));
  EXPECT_EQ("/data", UserDataHome("/data/", "/home/u"));
  EXPECT_EQ("/", UserDataHome("/", "/home/u"));
}

TEST(DataPathsTest, FallsBackToHomeWhenXdgIsUnsetEmptyOrRelative) {
  EXPECT_EQ("/home/u/.local/share", UserDataHome(nullptr, "/home/u"));
  EXPECT_EQ("/home/u/.local/share", UserDataHome("", "/home/u/"));
  EXPECT_EQ("/home/u/.local/share", UserDataHome("data", "/home/u"));
  EXPECT_EQ("/home/u/.local/share", UserDataHome("~/data", "/home/u"));
  EXPECT_EQ("/.local/share", UserDataHome(nullptr, "/"));
}

TEST(DataPathsTest, NothingUsableGivesEmpty) {
  EXPECT_EQ("", UserDataHome(nullptr, nullptr));
  EXPECT_EQ("", UserDataHome("", ""));
  EXPECT_EQ("", UserDataHome("rel", "home"));
}

TEST(DataPathsTest, ConfigHomeFollowsTheSameRules) {
  EXPECT_EQ("/conf", UserConfigHome("/conf/", "/home/u"));
  EXPECT_EQ("/home/u/.config", UserConfigHome(nullptr, "/home/u"));
  EXPECT_EQ("/home/u/.config", UserConfigHome("conf", "/home/u/"));
  EXPECT_EQ("", UserConfigHome("conf", "home"));
}

TEST(DataPathsTest, CacheIsBelowTheDataHome) {
  EXPECT_EQ("/home/u/.local/share/Lumio/cache",
            EngineCachePath("/home/u/.local/share", "Lumio"));
  EXPECT_EQ("/data/Lumio/cache", EngineCachePath("/data/", "Lumio"));
  EXPECT_EQ("/Lumio/cache", EngineCachePath("/", "Lumio"));
  EXPECT_EQ("", EngineCachePath("", "Lumio"));
}

}  // namespace
