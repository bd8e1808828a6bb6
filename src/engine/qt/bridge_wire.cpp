#include "engine/qt/bridge_wire.h"

#include <cmath>
#include <cstring>

namespace engine {
namespace {

// Query ids arrive as JavaScript numbers; only whole numbers that a double holds
// exactly are ids.
bool ToQueryId(const rapidjson::Value& value, int64_t& id) {
  if (!value.IsNumber())
    return false;
  const double number = value.GetDouble();
  if (!std::isfinite(number) || std::trunc(number) != number ||
      std::fabs(number) > 9.0e15)
    return false;
  id = static_cast<int64_t>(number);
  return true;
}

// The member |index| of |entry|, or null when there is none.
const rapidjson::Value& Member(const rapidjson::Value& entry, rapidjson::SizeType index) {
  static const rapidjson::Value kNull;
  return index < entry.Size() ? entry[index] : kNull;
}

bool IsString(const rapidjson::Value& value) {
  return value.IsString();
}

std::string Text(const rapidjson::Value& value) {
  // By length: a string may hold NUL characters.
  return value.IsString() ? std::string(value.GetString(), value.GetStringLength())
                          : std::string();
}

// The member |name| of |object| as text; empty when |object| is not an object or
// the member is missing or no string.
std::string Field(const rapidjson::Value& object, const char* name) {
  if (!object.IsObject())
    return std::string();
  const auto member = object.FindMember(name);
  return member == object.MemberEnd() ? std::string() : Text(member->value);
}

bool KindIs(const rapidjson::Value& kind, const char* name) {
  return kind.IsString() && kind.GetStringLength() == std::strlen(name) &&
         std::memcmp(kind.GetString(), name, kind.GetStringLength()) == 0;
}

}  // namespace

std::optional<BridgeEntry> DecodeBridgeEntry(const rapidjson::Value& value) {
  if (!value.IsArray())
    return std::nullopt;
  const rapidjson::Value& kind = Member(value, 0);
  const rapidjson::Value& first = Member(value, 1);
  BridgeEntry entry;
  if (KindIs(kind, "q") || KindIs(kind, "n")) {
    if (!IsString(first) || !IsString(Member(value, 3)) ||
        !ToQueryId(Member(value, 2), entry.page_id))
      return std::nullopt;
    entry.kind = KindIs(kind, "q") ? BridgeEntry::Kind::kQuery
                                   : BridgeEntry::Kind::kProgramRequest;
    entry.key = Text(first);
    entry.request = Text(Member(value, 3));
    const rapidjson::Value& persistent = Member(value, 4);
    entry.persistent = entry.kind == BridgeEntry::Kind::kQuery && persistent.IsBool() &&
                       persistent.GetBool();
    return entry;
  }
  if (KindIs(kind, "c")) {
    if (!IsString(first) || !ToQueryId(Member(value, 2), entry.page_id))
      return std::nullopt;
    entry.kind = BridgeEntry::Kind::kCancel;
    entry.key = Text(first);
    return entry;
  }
  if (KindIs(kind, "d")) {
    entry.kind = BridgeEntry::Kind::kDocument;
    entry.key = Field(first, "key");
    if (first.IsObject()) {
      const auto main = first.FindMember("main");
      entry.main =
          main != first.MemberEnd() && main->value.IsBool() && main->value.GetBool();
    }
    entry.origin = Field(first, "origin");
    entry.url = Field(first, "url");
    entry.name = Field(first, "name");
    return entry;
  }
  if (KindIs(kind, "g")) {
    if (!IsString(first))
      return std::nullopt;
    entry.kind = BridgeEntry::Kind::kDocumentGone;
    entry.key = Text(first);
    return entry;
  }
  if (KindIs(kind, "a")) {
    entry.kind = BridgeEntry::Kind::kFrameAddress;
    entry.url = Field(first, "url");
    entry.origin = Field(first, "senderOrigin");
    entry.name = Field(first, "name");
    return entry;
  }
  return std::nullopt;
}

std::vector<BridgeEntry> DecodeBridgeBatch(const rapidjson::Value& batch) {
  std::vector<BridgeEntry> entries;
  if (!batch.IsArray())
    return entries;
  entries.reserve(batch.Size());
  for (const rapidjson::Value& value : batch.GetArray()) {
    if (std::optional<BridgeEntry> entry = DecodeBridgeEntry(value))
      entries.push_back(std::move(*entry));
  }
  return entries;
}

rapidjson::Document EncodeBridgeAnswers(const std::vector<BridgeAnswer>& answers) {
  rapidjson::Document document(rapidjson::kArrayType);
  auto& allocator = document.GetAllocator();
  document.Reserve(static_cast<rapidjson::SizeType>(answers.size() * 5), allocator);
  for (const BridgeAnswer& answer : answers) {
    document.PushBack(rapidjson::StringRef(answer.key.data(), answer.key.size()),
                      allocator);
    // The page's ids are JavaScript numbers.
    document.PushBack(rapidjson::Value(static_cast<double>(answer.page_id)), allocator);
    document.PushBack(answer.success, allocator);
    document.PushBack(answer.code, allocator);
    document.PushBack(rapidjson::StringRef(answer.text.data(), answer.text.size()),
                      allocator);
  }
  return document;
}

}  // namespace engine
