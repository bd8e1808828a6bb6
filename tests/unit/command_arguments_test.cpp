// The bridge's rules for reading request members.
#include "bridge/command_arguments.h"

#include <gtest/gtest.h>

namespace {

class CommandArgumentsTest : public testing::Test {
 protected:
  const CommandArguments& Read(const char* json) {
    document_.Parse(json);
    EXPECT_FALSE(document_.HasParseError()) << json;
    arguments_ = std::make_unique<CommandArguments>(document_);
    return *arguments_;
  }

  rapidjson::Document document_;
  std::unique_ptr<CommandArguments> arguments_;
};

TEST_F(CommandArgumentsTest, IntegersAreTheLow32Bits) {
  const auto& args = Read(
      R"({"a":5,"b":-7,"c":4294967295,"d":4294967296,"e":-2147483649,)"
      R"("f":18446744073709551615,"g":-9223372036854775808,"h":null,"i":2147483648})");
  EXPECT_EQ(5, args.Int("a"));
  EXPECT_EQ(-7, args.Int("b"));
  EXPECT_EQ(-1, args.Int("c"));
  EXPECT_EQ(0, args.Int("d"));
  EXPECT_EQ(2147483647, args.Int("e"));
  EXPECT_EQ(-1, args.Int("f"));
  EXPECT_EQ(0, args.Int("g"));
  EXPECT_EQ(0, args.Int("h", -1));  // null is 0, whatever the default
  EXPECT_EQ(-2147483648, args.Int("i"));
  EXPECT_EQ(0, args.Int("missing"));
  EXPECT_EQ(-1, args.Int("missing", -1));
}

TEST_F(CommandArgumentsTest, OtherTypesReadAsMissing) {
  const auto& args =
      Read(R"({"s":"12","f":1.5,"big":1e300,"t":true,"o":{},"a":[1],"neg":-0.0})");
  for (const char* name : {"s", "f", "big", "t", "o", "a", "neg"}) {
    EXPECT_EQ(-1, args.Int(name, -1)) << name;
    EXPECT_EQ("", args.String(name == std::string("s") ? "f" : name)) << name;
    EXPECT_FALSE(args.Bool(name == std::string("t") ? "s" : name)) << name;
    EXPECT_TRUE(args.Strings(name == std::string("a") ? "o" : name).empty()) << name;
  }
}

TEST_F(CommandArgumentsTest, OnlyTheLiteralTrueIsTrue) {
  const auto& args = Read(R"({"t":true,"f":false,"one":1,"s":"true","n":null})");
  EXPECT_TRUE(args.Bool("t"));
  for (const char* name : {"f", "one", "s", "n", "missing"})
    EXPECT_FALSE(args.Bool(name)) << name;
}

TEST_F(CommandArgumentsTest, StringsAreCopiedWholeAndTheFirstMemberCounts) {
  document_.Parse(R"({"s":"a\u0000b \u00e9 \ud83d\ude00","s":"second"})");
  CommandArguments args(document_);
  EXPECT_EQ(std::string("a\0b \xC3\xA9 \xF0\x9F\x98\x80", 11), args.String("s"));
}

TEST_F(CommandArgumentsTest, NotAnObjectHasNoMembers) {
  const auto& args = Read(R"([1,2])");
  EXPECT_EQ(-1, args.Int("0", -1));
  EXPECT_TRUE(args.MenuItems("items").empty());
}

}  // namespace
