#include "bridge/command_arguments.h"

namespace {

// Low 32 bits, as the two's complement 32-bit value.
int32_t LowBits(uint64_t bits) {
  return static_cast<int32_t>(static_cast<uint32_t>(bits & 0xffffffffu));
}

}  // namespace

const rapidjson::Value* CommandArguments::Find(const char* name) const {
  if (!object_.IsObject())
    return nullptr;
  // The first member of that name counts.
  const auto member = object_.FindMember(name);
  return member == object_.MemberEnd() ? nullptr : &member->value;
}

int32_t CommandArguments::Int(const char* name, int32_t if_missing) const {
  const rapidjson::Value* value = Find(name);
  if (!value)
    return if_missing;
  if (value->IsNull())
    return 0;
  if (value->IsUint64())
    return LowBits(value->GetUint64());
  if (value->IsInt64())
    return LowBits(static_cast<uint64_t>(value->GetInt64()));
  return if_missing;
}

bool CommandArguments::Bool(const char* name) const {
  const rapidjson::Value* value = Find(name);
  return value && value->IsTrue();
}

std::string CommandArguments::String(const char* name) const {
  const rapidjson::Value* value = Find(name);
  if (!value || !value->IsString())
    return {};
  return std::string(value->GetString(), value->GetStringLength());
}

std::vector<std::string> CommandArguments::Strings(const char* name) const {
  std::vector<std::string> strings;
  const rapidjson::Value* value = Find(name);
  if (!value || !value->IsArray())
    return strings;
  for (const rapidjson::Value& element : value->GetArray()) {
    if (element.IsString())
      strings.emplace_back(element.GetString(), element.GetStringLength());
  }
  return strings;
}

std::vector<TrayMenuItem> CommandArguments::MenuItems(const char* name) const {
  std::vector<TrayMenuItem> items;
  const rapidjson::Value* value = Find(name);
  if (!value || !value->IsArray())
    return items;
  for (const rapidjson::Value& element : value->GetArray()) {
    if (!element.IsObject())
      continue;
    const CommandArguments item(element);
    items.push_back({item.Int("id"), item.String("label"), item.Bool("enabled")});
  }
  return items;
}
