#include "native/accessibility_switches.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

AccessibilityRequest With(const std::map<std::string, std::string>& env) {
  return AccessibilityFromEnvironment([&env](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  });
}

TEST(AccessibilitySwitchesTest, NoSwitchAsksTheDesktop) {
  EXPECT_EQ(With({}), AccessibilityRequest::kAskDesktop);
  EXPECT_EQ(With({{"GTK_MODULES", "canberra-gtk-module:gail-like"},
                  {"QT_ACCESSIBILITY", "0"},
                  {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", ""}}),
            AccessibilityRequest::kAskDesktop);
}

TEST(AccessibilitySwitchesTest, UserSwitchesTurnItOn) {
  EXPECT_EQ(With({{"GTK_MODULES", "canberra-gtk-module:atk-bridge"}}),
            AccessibilityRequest::kOn);
  EXPECT_EQ(With({{"GTK_MODULES", "gail,atk-bridge"}}), AccessibilityRequest::kOn);
  EXPECT_EQ(With({{"QT_ACCESSIBILITY", "1"}}), AccessibilityRequest::kOn);
  EXPECT_EQ(With({{"GNOME_ACCESSIBILITY", "1"}}), AccessibilityRequest::kOn);
  EXPECT_EQ(With({{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}}), AccessibilityRequest::kOn);
  EXPECT_EQ(With({{"QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1"}}),
            AccessibilityRequest::kOn);
}

TEST(AccessibilitySwitchesTest, OffSwitchesWinOverOnes) {
  EXPECT_EQ(With({{"QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "0"},
                  {"GTK_MODULES", "atk-bridge"}}),
            AccessibilityRequest::kOff);
  EXPECT_EQ(With({{"NO_AT_BRIDGE", "1"}, {"QT_ACCESSIBILITY", "1"}}),
            AccessibilityRequest::kOff);
}

}  // namespace
