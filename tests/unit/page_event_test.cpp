#include "bridge/page_event.h"

#include <string>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "bridge/json_to_text.h"
#include "fakes.h"
#include "native/browser_operations.h"

namespace {

rapidjson::Document OneMember(const char* name, const std::string& value) {
  rapidjson::Document doc(rapidjson::kObjectType);
  doc.AddMember(
      rapidjson::StringRef(name),
      rapidjson::Value(value.data(), static_cast<rapidjson::SizeType>(value.size()),
                       doc.GetAllocator()),
      doc.GetAllocator());
  return doc;
}

// Scans |text| as JavaScript tokens far enough to tell whether it is one complete
// expression: every string literal closes, no raw line terminator (LF, CR) or other
// control byte appears anywhere, and the brackets outside literals balance, closing
// for the first time with the final ")". U+2028/U+2029 are allowed inside string
// literals (ES2019).
::testing::AssertionResult IsOneExpression(const std::string& text) {
  char quote = 0;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20)
      return ::testing::AssertionFailure() << "raw control byte at " << i;
    const bool separator = text.compare(i, 3, "\xe2\x80\xa8") == 0 ||
                           text.compare(i, 3, "\xe2\x80\xa9") == 0;
    if (quote) {
      if (c == '\\')
        ++i;
      else if (c == static_cast<unsigned char>(quote))
        quote = 0;
      continue;
    }
    if (separator)
      return ::testing::AssertionFailure() << "line separator outside a literal at " << i;
    if (c == '"' || c == '\'')
      quote = static_cast<char>(c);
    else if (c == '(' || c == '{' || c == '[')
      ++depth;
    else if (c == ')' || c == '}' || c == ']')
      --depth;
    if (depth < 0)
      return ::testing::AssertionFailure() << "unbalanced close at " << i;
    if (depth == 0 && c == ')' && i + 1 != text.size())
      return ::testing::AssertionFailure() << "text after the call at " << i;
  }
  if (quote || depth != 0 || text.empty() || text.back() != ')')
    return ::testing::AssertionFailure() << "unterminated: " << text;
  return ::testing::AssertionSuccess();
}

TEST(PageEventTextTest, StateEventHasTheExactDeliveryText) {
  EXPECT_EQ(
      R"(window.cefMessage && window.cefMessage('OrbitMainBrowserStateChange', {"state":"hidden"}))",
      PageEventText("OrbitMainBrowserStateChange", OneMember("state", "hidden")));
}

TEST(PageEventTextTest, EmptyPayloadIsAnEmptyObject) {
  EXPECT_EQ("window.cefMessage && window.cefMessage('OrbitAppWillQuit', {})",
            PageEventText("OrbitAppWillQuit", rapidjson::Value(rapidjson::kObjectType)));
}

TEST(PageEventTextTest, HostileAddressesStayInsideTheirLiteral) {
  const std::string addresses[] = {
      R"(https://x/?q="a"&b=\c)",
      "https://x/it's",
      "https://x/</script><script>alert(1)</script>",
      "https://x/\xe2\x80\xa8\xe2\x80\xa9line",
      "https://x/\n\r\t\x01\x1f",
      "https://x/'); alert('x",
      "https://x/\\",
      std::string("https://x/\0nul", 14),
  };
  for (const std::string& url : addresses) {
    const rapidjson::Document payload = OneMember("url", url);
    const std::string text = PageEventText("OrbitBrowserOnAddressChange", payload);
    EXPECT_TRUE(IsOneExpression(text)) << text;
    // The payload is exactly the JSON text, which gives the address back intact.
    const std::string prefix =
        "window.cefMessage && window.cefMessage('OrbitBrowserOnAddressChange', ";
    ASSERT_EQ(prefix, text.substr(0, prefix.size()));
    const std::string json = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    EXPECT_EQ(JsonToText(payload), json);
    rapidjson::Document parsed;
    ASSERT_FALSE(parsed.Parse(json.c_str()).HasParseError()) << json;
    EXPECT_EQ(url,
              std::string(parsed["url"].GetString(), parsed["url"].GetStringLength()));
  }
}

TEST(PageEventTextTest, ScannerRejectsTextsThatBreakOut) {
  // The scanner above must be able to fail, or the test proves nothing.
  EXPECT_FALSE(IsOneExpression("f('a\nb')"));
  EXPECT_FALSE(IsOneExpression("f('a'), g(\xe2\x80\xa8)"));
  EXPECT_FALSE(IsOneExpression("f('a)"));
  EXPECT_FALSE(IsOneExpression("f('a'), alert(1)"));
  EXPECT_FALSE(IsOneExpression("f({\"a\":\"b\"})}"));
}

class SendPageEventTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFakes(); }
  void TearDown() override { browsers_.set_main_browser(nullptr); }

  // As in the program: page events go to the main browser's main frame.
  Browsers browsers_;
  MainPageEventSink page_events_{browsers_};
};

TEST_F(SendPageEventTest, RunsInTheMainBrowsersMainFrameAsShellScript) {
  auto browser = std::make_shared<FakeBrowser>();
  browsers_.set_main_browser(browser);
  SendPageEvent(&page_events_, "OrbitMainBrowserStateChange",
                OneMember("state", "focused"));
  const auto& scripts = browser->main_frame()->scripts();
  ASSERT_EQ(1u, scripts.size());
  EXPECT_EQ(
      R"(window.cefMessage && window.cefMessage('OrbitMainBrowserStateChange', {"state":"focused"}))",
      scripts[0].code);
  EXPECT_EQ("lumio://shell", scripts[0].script_url);
  EXPECT_EQ(0, scripts[0].start_line);
}

TEST_F(SendPageEventTest, WithoutMainBrowserTheEventIsLost) {
  browsers_.set_main_browser(nullptr);
  SendPageEvent(&page_events_, "OrbitAppWillQuit",
                rapidjson::Value(rapidjson::kObjectType));
  EXPECT_TRUE(FakeCallLog().empty());

  // Nothing was queued for a browser that comes later.
  auto browser = std::make_shared<FakeBrowser>();
  browsers_.set_main_browser(browser);
  EXPECT_TRUE(browser->main_frame()->scripts().empty());
}

}  // namespace
