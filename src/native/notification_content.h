// What a desktop notification (org.freedesktop.Notifications) carries, given what
// the notification server says it can do (its GetCapabilities answer).
#ifndef SRC_NATIVE_NOTIFICATION_CONTENT_H_
#define SRC_NATIVE_NOTIFICATION_CONTENT_H_

#include <string>
#include <vector>

// The action a click on the notification itself invokes.
inline constexpr char kNotificationDefaultAction[] = "default";

// The body that shows |text| as plain text. Servers with "body-markup" read the
// body as XML-like markup, so the page's text would otherwise be taken for tags
// and entities (or images and links); for them it is escaped.
std::string NotificationBody(const std::string& text,
                             const std::vector<std::string>& capabilities);

// The actions, as (key, label) pairs: the default action when the server has
// "actions", none otherwise.
std::vector<std::string> NotificationActions(
    const std::vector<std::string>& capabilities);

#endif  // SRC_NATIVE_NOTIFICATION_CONTENT_H_
