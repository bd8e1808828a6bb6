// The bridge's wire format: batches from the page's bridge world, hostile ones
// included, and the answers that go back.
#include "engine/qt/bridge_wire.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using engine::BridgeAnswer;
using engine::BridgeEntry;
using engine::DecodeBridgeBatch;
using Kind = engine::BridgeEntry::Kind;

rapidjson::Document Parse(const std::string& json) {
  rapidjson::Document document;
  document.Parse(json.c_str(), json.size());
  EXPECT_FALSE(document.HasParseError()) << json;
  return document;
}

std::vector<BridgeEntry> Decode(const std::string& json) {
  return DecodeBridgeBatch(Parse(json));
}

TEST(BridgeWireTest, DecodesEveryKindInOrder) {
  const auto entries = Decode(R"([
    ["d", {"key": "k1", "main": true, "origin": "app://lumio",
           "url": "app://lumio/index.html", "name": "top"}],
    ["q", "k1", 7, "{\"command\":\"a\"}", true],
    ["n", "k1", 8, "{\"url\":\"https://x.test/\"}"],
    ["c", "k1", 7],
    ["a", {"url": "https://y.test/f", "senderOrigin": "https://y.test", "name": "f"}],
    ["g", "k1"]
  ])");
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0].kind, Kind::kDocument);
  EXPECT_EQ(entries[0].key, "k1");
  EXPECT_TRUE(entries[0].main);
  EXPECT_EQ(entries[0].origin, "app://lumio");
  EXPECT_EQ(entries[0].url, "app://lumio/index.html");
  EXPECT_EQ(entries[0].name, "top");
  EXPECT_EQ(entries[1].kind, Kind::kQuery);
  EXPECT_EQ(entries[1].key, "k1");
  EXPECT_EQ(entries[1].page_id, 7);
  EXPECT_EQ(entries[1].request, "{\"command\":\"a\"}");
  EXPECT_TRUE(entries[1].persistent);
  EXPECT_EQ(entries[2].kind, Kind::kProgramRequest);
  EXPECT_EQ(entries[2].page_id, 8);
  EXPECT_EQ(entries[2].request, "{\"url\":\"https://x.test/\"}");
  EXPECT_EQ(entries[3].kind, Kind::kCancel);
  EXPECT_EQ(entries[3].key, "k1");
  EXPECT_EQ(entries[3].page_id, 7);
  EXPECT_EQ(entries[4].kind, Kind::kFrameAddress);
  EXPECT_EQ(entries[4].url, "https://y.test/f");
  EXPECT_EQ(entries[4].origin, "https://y.test");
  EXPECT_EQ(entries[4].name, "f");
  EXPECT_EQ(entries[5].kind, Kind::kDocumentGone);
  EXPECT_EQ(entries[5].key, "k1");
}

// Truncated records and members of the wrong type are skipped one by one; what
// follows them is still read, and members after those named are ignored.
TEST(BridgeWireTest, SkipsMalformedEntriesAndKeepsTheRest) {
  const auto entries = Decode(R"([
    ["q", "k", 1], ["q", "k"], ["q"], ["c", "k"], ["g"], ["n", "k", 2], [], "q", 5, null,
    {"0": "q", "1": "k", "2": 1, "3": "x"},
    ["q", 1, 1, "x"], ["q", "k", "1", "x"], ["q", "k", 1, {}], ["q", "k", 1, ["x"]],
    ["n", "k", 1, 2], ["c", "k", true], ["c", "k", null], ["c", 3, 1], ["g", 5], ["g", ["k"]],
    [7, "k", 1, "x"], ["Q", "k", 1, "x"], ["qq", "k", 1, "x"], ["", "k", 1, "x"],
    ["q", "k", 3, "kept", "yes", "extra"],
    ["c", "k", 4, "extra"]
  ])");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].kind, Kind::kQuery);
  EXPECT_EQ(entries[0].page_id, 3);
  EXPECT_EQ(entries[0].request, "kept");
  EXPECT_FALSE(entries[0].persistent);  // only true is true
  EXPECT_EQ(entries[1].kind, Kind::kCancel);
  EXPECT_EQ(entries[1].page_id, 4);
  EXPECT_TRUE(Decode("{}").empty());
  EXPECT_TRUE(Decode("null").empty());
  EXPECT_TRUE(Decode(R"("q")").empty());
}

// Ids are JavaScript numbers: whole ones a double holds exactly, up to 9e15.
TEST(BridgeWireTest, TakesOnlyWholeIdsADoubleHoldsExactly) {
  for (const char* id : {"1.5", "-0.25", "9000000000000001", "-9000000000000001", "1e300",
                         "-1e308", "18446744073709551616", "1e-300"}) {
    EXPECT_TRUE(Decode(std::string(R"([["q", "k", )") + id + R"(, "r"]])").empty()) << id;
    EXPECT_TRUE(Decode(std::string(R"([["c", "k", )") + id + "]]").empty()) << id;
  }
  const auto entries =
      Decode(R"([["q", "k", 9000000000000000, "r"], ["c", "k", -9e15], ["c", "k", -0.0],
                 ["c", "k", 2.0], ["c", "k", 18446744073709551615]])");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].page_id, 9000000000000000);
  EXPECT_EQ(entries[1].page_id, -9000000000000000);
  EXPECT_EQ(entries[2].page_id, 0);
  EXPECT_EQ(entries[3].page_id, 2);
}

// Strings are passed on byte for byte: pairs of surrogates, NUL characters, and
// bytes that are no UTF-8 at all (a lone surrogate as some encoders write it).
TEST(BridgeWireTest, KeepsStringsByteForByte) {
  const auto entries = Decode(
      R"([["q", "\ud83d\ude00", 1, "a\u0000b\"\\\u2028</script>", false],
          ["d", {"key": "\u00e9", "name": "\ud800\udc00x"}]])");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "\xF0\x9F\x98\x80");
  EXPECT_EQ(entries[0].request, std::string("a\0b\"\\\xE2\x80\xA8</script>", 17));
  EXPECT_EQ(entries[1].key, "\xC3\xA9");
  EXPECT_EQ(entries[1].name, "\xF0\x90\x80\x80x");

  rapidjson::Document batch(rapidjson::kArrayType);
  auto& allocator = batch.GetAllocator();
  rapidjson::Value entry(rapidjson::kArrayType);
  const std::string lone("\xED\xA0\x80", 3);
  entry.PushBack("g", allocator);
  entry.PushBack(rapidjson::Value(lone.data(), 3, allocator), allocator);
  batch.PushBack(entry, allocator);
  const auto gone = DecodeBridgeBatch(batch);
  ASSERT_EQ(gone.size(), 1u);
  EXPECT_EQ(gone[0].key, lone);
}

// A document or an address report is always passed on; what its object lacks
// reads as empty, so that the frame table decides about it.
TEST(BridgeWireTest, DocumentsAndAddressesReadMissingMembersAsEmpty) {
  const auto entries = Decode(R"([
    ["d", "not an object"],
    ["d", {"key": 5, "main": "yes", "origin": null, "url": ["x"], "name": "n"}],
    ["a", 3],
    ["a", {"url": "https://y.test/", "senderOrigin": 1}],
    ["d"]
  ])");
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].kind, Kind::kDocument);
  EXPECT_EQ(entries[0].key, "");
  EXPECT_EQ(entries[1].key, "");
  EXPECT_FALSE(entries[1].main);
  EXPECT_EQ(entries[1].origin, "");
  EXPECT_EQ(entries[1].url, "");
  EXPECT_EQ(entries[1].name, "n");
  EXPECT_EQ(entries[2].kind, Kind::kFrameAddress);
  EXPECT_EQ(entries[2].url, "");
  EXPECT_EQ(entries[3].url, "https://y.test/");
  EXPECT_EQ(entries[3].origin, "");
  EXPECT_EQ(entries[4].kind, Kind::kDocument);
}

TEST(BridgeWireTest, DecodesAHugeBatchInOrder) {
  constexpr int kCount = 100000;
  std::string json = "[";
  for (int i = 0; i < kCount; ++i)
    json += (i ? ",[\"c\",\"k" : "[\"c\",\"k") + std::to_string(i % 7) + "\"," +
            std::to_string(i) + "]";
  json += "]";
  const auto entries = Decode(json);
  ASSERT_EQ(entries.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; i += 9973) {
    EXPECT_EQ(entries[i].page_id, i);
    EXPECT_EQ(entries[i].key, "k" + std::to_string(i % 7));
  }
  EXPECT_EQ(entries.back().page_id, kCount - 1);
}

// The page reads answers as runs of exactly five members.
TEST(BridgeWireTest, EncodesAnswersAsRunsOfFive) {
  const std::vector<BridgeAnswer> answers = {
      {"k1", 1, true, 0, "one"},
      {"k2", 9000000000000000, false, -1, std::string("t\0\"w\\o", 6)},
      {"", 3, true, 7, ""},
  };
  const rapidjson::Document encoded = engine::EncodeBridgeAnswers(answers);
  ASSERT_TRUE(encoded.IsArray());
  ASSERT_EQ(encoded.Size(), 15u);
  for (size_t i = 0; i < answers.size(); ++i) {
    const rapidjson::Value* run = &encoded[static_cast<rapidjson::SizeType>(i * 5)];
    SCOPED_TRACE(i);
    ASSERT_TRUE(run[0].IsString());
    EXPECT_EQ(std::string(run[0].GetString(), run[0].GetStringLength()), answers[i].key);
    ASSERT_TRUE(run[1].IsNumber());
    EXPECT_EQ(run[1].GetDouble(), static_cast<double>(answers[i].page_id));
    ASSERT_TRUE(run[2].IsBool());
    EXPECT_EQ(run[2].GetBool(), answers[i].success);
    ASSERT_TRUE(run[3].IsInt());
    EXPECT_EQ(run[3].GetInt(), answers[i].code);
    ASSERT_TRUE(run[4].IsString());
    EXPECT_EQ(std::string(run[4].GetString(), run[4].GetStringLength()), answers[i].text);
  }
  EXPECT_EQ(engine::EncodeBridgeAnswers({}).Size(), 0u);
}

}  // namespace
