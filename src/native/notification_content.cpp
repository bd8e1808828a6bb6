#include "native/notification_content.h"

#include <algorithm>

namespace {

bool Has(const std::vector<std::string>& capabilities, const char* name) {
  return std::find(capabilities.begin(), capabilities.end(), name) != capabilities.end();
}

}  // namespace

std::string NotificationBody(const std::string& text,
                             const std::vector<std::string>& capabilities) {
  if (!Has(capabilities, "body-markup"))
    return text;
  std::string body;
  body.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        body += "&amp;";
        break;
      case '<':
        body += "&lt;";
        break;
      case '>':
        body += "&gt;";
        break;
      default:
        body += c;
    }
  }
  return body;
}

std::vector<std::string> NotificationActions(
    const std::vector<std::string>& capabilities) {
  if (!Has(capabilities, "actions"))
    return {};
  return {kNotificationDefaultAction, "Open"};
}
