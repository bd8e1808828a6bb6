#include "native/notification_content.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kMarkup = {"body", "body-markup", "actions"};
const std::vector<std::string> kPlain = {"body", "body-hyperlinks"};

TEST(NotificationContentTest, MarkupServersGetTheTextEscaped) {
  EXPECT_EQ("a &lt; b &amp;&amp; c &gt; d", NotificationBody("a < b && c > d", kMarkup));
  EXPECT_EQ("&lt;img src=\"http://x/y.png\"/&gt;&lt;/b&gt;",
            NotificationBody("<img src=\"http://x/y.png\"/></b>", kMarkup));
  // Entities stay text, not characters.
  EXPECT_EQ("&amp;lt; &amp;#x41;", NotificationBody("&lt; &#x41;", kMarkup));
  // Quotes, backslashes, control bytes and multi-byte UTF-8 pass as they are.
  const std::string other = "\"q\" 'a' \\ \x01\t\n Ünï ✓ \xe2\x80\xa8";
  EXPECT_EQ(other, NotificationBody(other, kMarkup));
}

TEST(NotificationContentTest, OtherServersGetTheTextAsItIs) {
  const std::string text = "a < b && c > d <b>x</b> &amp;";
  EXPECT_EQ(text, NotificationBody(text, kPlain));
  EXPECT_EQ(text, NotificationBody(text, {}));
}

TEST(NotificationContentTest, DefaultActionOnlyWhereActionsAre) {
  const std::vector<std::string> actions = NotificationActions(kMarkup);
  ASSERT_EQ(2u, actions.size());  // key, label
  EXPECT_EQ("default", actions[0]);
  EXPECT_FALSE(actions[1].empty());
  EXPECT_TRUE(NotificationActions(kPlain).empty());
  EXPECT_TRUE(NotificationActions({}).empty());
}

}  // namespace
