#include "native/badge.h"

std::optional<int32_t> BadgeCount(int32_t unread_count) {
  if (unread_count <= 0)
    return std::nullopt;
  return unread_count;
}

std::optional<std::string> BadgeText(int32_t unread_count) {
  const std::optional<int32_t> count = BadgeCount(unread_count);
  if (!count)
    return std::nullopt;
  return std::to_string(*count);
}
