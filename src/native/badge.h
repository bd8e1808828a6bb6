// The unread count that a notification leaves on the program's icons: the
// launcher's count and the number drawn on the tray icon.
#ifndef SRC_NATIVE_BADGE_H_
#define SRC_NATIVE_BADGE_H_

#include <cstdint>
#include <optional>
#include <string>

// The count shown for |unread_count|: itself when above 0; no badge for 0 or less
// (a notification without a count arrives as -1).
std::optional<int32_t> BadgeCount(int32_t unread_count);

// The badge's text for |unread_count|: the count's decimal digits, or no badge.
std::optional<std::string> BadgeText(int32_t unread_count);

#endif  // SRC_NATIVE_BADGE_H_
