#include "native/tray_menu.h"

#include <gtest/gtest.h>

namespace {

constexpr TrayMenuExport kExports[] = {TrayMenuExport::kWidget,
                                       TrayMenuExport::kDBusMenu};

TEST(TrayMenuTest, OneEntryPerItemWithIdAndEnabledAsGiven) {
  const std::vector<TrayMenuItem> items = {
      {7, "Open", true},    {-1, "Minus one", true},   {2, "Off", false},
      {7, "Same id", true}, {INT32_MIN, "Min", false}, {INT32_MAX, "", true},
  };
  for (TrayMenuExport exporter : kExports) {
    const std::vector<TrayMenuEntry> entries = BuildTrayMenu(items, exporter);
    ASSERT_EQ(items.size(), entries.size());
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].id, entries[i].id) << i;
      EXPECT_EQ(items[i].enabled, entries[i].enabled) << i;
      EXPECT_EQ(items[i].label, entries[i].text) << i;  // nothing to escape here
    }
    EXPECT_TRUE(BuildTrayMenu({}, exporter).empty());
  }
}

// The texts QMenu shows as the page's label: "&&" is one '&'.
TEST(TrayMenuTest, WidgetMenuDoublesEveryAmpersand) {
  EXPECT_EQ("Save && Quit", TrayMenuText("Save & Quit", TrayMenuExport::kWidget));
  EXPECT_EQ("&&&&x&&", TrayMenuText("&&x&", TrayMenuExport::kWidget));
  EXPECT_EQ("&&", TrayMenuText("&", TrayMenuExport::kWidget));
  EXPECT_EQ("snake_case __x_", TrayMenuText("snake_case __x_", TrayMenuExport::kWidget));
  EXPECT_EQ("Ünïcødé ✓ 日本", TrayMenuText("Ünïcødé ✓ 日本", TrayMenuExport::kWidget));
}

// Qt's D-Bus exporter turns the first '&' that is not the last character into '_';
// dbusmenu then shows "__" as '_' and drops any other '_' before the character it
// marks. Replays both steps and checks the label survives.
std::string ShownOverDBus(const std::string& text) {
  std::string label = text;
  const size_t amp = label.find('&');
  if (amp != std::string::npos && amp + 1 < label.size())
    label[amp] = '_';
  std::string shown;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] != '_') {
      shown += label[i];
    } else if (i + 1 < label.size() && label[i + 1] == '_') {
      shown += '_';
      ++i;
    }
  }
  return shown;
}

TEST(TrayMenuTest, DBusMenuTextShowsTheLabelUnchanged) {
  for (const std::string label :
       {"Open", "Save & Quit", "A && B & C", "&", "&&", "x&", "&x", "_", "__",
        "snake_case", "_lead", "trail_", "a_&b", "&_", "_&_&_", "Ünïcødé ✓ 日本", ""}) {
    const std::string text = TrayMenuText(label, TrayMenuExport::kDBusMenu);
    EXPECT_EQ(label, ShownOverDBus(text)) << "label " << label << " text " << text;
  }
  EXPECT_EQ("Save && Quit", TrayMenuText("Save & Quit", TrayMenuExport::kDBusMenu));
  EXPECT_EQ("snake__case", TrayMenuText("snake_case", TrayMenuExport::kDBusMenu));
}

}  // namespace
