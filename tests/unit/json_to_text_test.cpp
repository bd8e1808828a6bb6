#include "bridge/json_to_text.h"

#include <cstdio>
#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

namespace {

std::string StringText(const std::string& s) {
  rapidjson::Value value(s.data(), static_cast<rapidjson::SizeType>(s.size()));
  return JsonToText(value);
}

TEST(JsonToTextTest, ScalarsAreWrittenAsJsonWords) {
  EXPECT_EQ("null", JsonToText(rapidjson::Value()));
  EXPECT_EQ("true", JsonToText(rapidjson::Value(true)));
  EXPECT_EQ("false", JsonToText(rapidjson::Value(false)));
  EXPECT_EQ("0", JsonToText(rapidjson::Value(0)));
  EXPECT_EQ("-1", JsonToText(rapidjson::Value(-1)));
  EXPECT_EQ("-2147483648",
            JsonToText(rapidjson::Value(std::numeric_limits<int32_t>::min())));
  EXPECT_EQ("4294967295", JsonToText(rapidjson::Value(4294967295u)));
  EXPECT_EQ("-9223372036854775808",
            JsonToText(rapidjson::Value(std::numeric_limits<int64_t>::min())));
}

TEST(JsonToTextTest, NonFiniteNumbersBecomeNullSoTheTextStaysValid) {
  rapidjson::Document doc(rapidjson::kArrayType);
  auto& a = doc.GetAllocator();
  doc.PushBack(std::numeric_limits<double>::quiet_NaN(), a);
  doc.PushBack(std::numeric_limits<double>::infinity(), a);
  doc.PushBack(1.5, a);
  EXPECT_EQ("[null,null,1.5]", JsonToText(doc));
}

TEST(JsonToTextTest, ObjectsAreCompactAndKeepMemberOrder) {
  rapidjson::Document doc(rapidjson::kObjectType);
  auto& a = doc.GetAllocator();
  doc.AddMember("z", 1, a);
  doc.AddMember("a", "x", a);
  rapidjson::Value inner(rapidjson::kObjectType);
  inner.AddMember("list",
                  rapidjson::Value(rapidjson::kArrayType)
                      .PushBack(-3, a)
                      .PushBack(rapidjson::Value(rapidjson::kObjectType), a),
                  a);
  inner.AddMember("empty", rapidjson::Value(rapidjson::kArrayType), a);
  doc.AddMember("inner", inner, a);
  doc.AddMember("m", rapidjson::Value(), a);
  EXPECT_EQ(R"({"z":1,"a":"x","inner":{"list":[-3,{}],"empty":[]},"m":null})",
            JsonToText(doc));
  EXPECT_EQ("{}", JsonToText(rapidjson::Value(rapidjson::kObjectType)));
}

TEST(JsonToTextTest, QuotesAndBackslashesAreEscaped) {
  EXPECT_EQ(R"js("alert(\"gotcha\")")js", StringText("alert(\"gotcha\")"));
  EXPECT_EQ(R"("C:\\dir\\\"x\"")", StringText("C:\\dir\\\"x\""));
  EXPECT_EQ(R"("it's")", StringText("it's"));
}

TEST(JsonToTextTest, EveryControlByteIsEscaped) {
  for (int byte = 0; byte < 0x20; ++byte) {
    std::string expected;
    switch (byte) {
      case 0x08:
        expected = "\\b";
        break;
      case 0x09:
        expected = "\\t";
        break;
      case 0x0A:
        expected = "\\n";
        break;
      case 0x0C:
        expected = "\\f";
        break;
      case 0x0D:
        expected = "\\r";
        break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof(buf), "\\u00%02X", byte);
        expected = buf;
      }
    }
    EXPECT_EQ("\"" + expected + "\"", StringText(std::string(1, static_cast<char>(byte))))
        << "byte " << byte;
  }
  // Upper-case hex digits.
  EXPECT_EQ(R"("\u001F\u001B\u000B")", StringText("\x1f\x1b\x0b"));
}

TEST(JsonToTextTest, OtherBytesPassThroughUnchanged) {
  // "/" is not escaped, so "</script>" stays as it is; so do DEL and UTF-8
  // sequences, U+2028 and U+2029 included.
  const std::string hostile =
      "</script><script>alert(1)</script>\x7f"
      "\xe2\x80\xa8\xe2\x80\xa9"
      "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";
  EXPECT_EQ("\"" + hostile + "\"", StringText(hostile));
  // Bytes that are not valid UTF-8 are not the serialiser's business either.
  EXPECT_EQ("\"\xff\xfe\"", StringText("\xff\xfe"));
}

TEST(JsonToTextTest, EmbeddedNulIsWrittenNotTruncated) {
  EXPECT_EQ(R"("a\u0000b")", StringText(std::string("a\0b", 3)));
  rapidjson::Document doc(rapidjson::kObjectType);
  doc.AddMember(rapidjson::Value("k\0y", 3, doc.GetAllocator()),
                rapidjson::Value("\0", 1, doc.GetAllocator()), doc.GetAllocator());
  EXPECT_EQ(R"({"k\u0000y":"\u0000"})", JsonToText(doc));
}

TEST(JsonToTextTest, ParsedTextRoundTripsToTheSameValue) {
  const char* text = R"({"s":"\"\\\/\b\f\n\r\t\u0001é\u2028","n":[1,-2,true,null]})";
  rapidjson::Document doc;
  ASSERT_FALSE(doc.Parse(text).HasParseError());
  const std::string written = JsonToText(doc);
  rapidjson::Document again;
  ASSERT_FALSE(again.Parse(written.c_str()).HasParseError());
  EXPECT_TRUE(doc == again);
  EXPECT_EQ(written, JsonToText(again));
}

}  // namespace
