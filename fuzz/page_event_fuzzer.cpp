// Arbitrary event names of letters and arbitrary strings in the payload: the
// script must be the fixed call around the name and a JSON text that reads back
// as exactly the payload, so that the page's function receives what was sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "bridge/page_event.h"

namespace {

void Check(bool condition) {
  if (!condition)
    std::abort();
}

// The member names the real events use.
const char* const kMemberNames[] = {"state", "text", "itemId", "name", "url"};

}  // namespace

// Input: one byte giving the name's length, the name's bytes (mapped to letters),
// then the payload's string values, separated by 0xff bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const size_t name_size = std::min<size_t>(data[0], size - 1);
  std::string name;
  for (size_t i = 1; i <= name_size; ++i) {
    const uint8_t c = data[i] % 52;
    name.push_back(static_cast<char>(c < 26 ? 'a' + c : 'A' + c - 26));
  }
  std::vector<std::string> values(1);
  for (size_t i = 1 + name_size; i < size; ++i) {
    if (data[i] == 0xff)
      values.emplace_back();
    else
      values.back().push_back(static_cast<char>(data[i]));
  }

  rapidjson::Document payload(rapidjson::kObjectType);
  auto& allocator = payload.GetAllocator();
  for (size_t i = 0; i < values.size(); ++i) {
    payload.AddMember(
        rapidjson::StringRef(kMemberNames[i % 5]),
        rapidjson::Value(values[i].data(),
                         static_cast<rapidjson::SizeType>(values[i].size()), allocator),
        allocator);
  }
  const std::string text = PageEventText(name, payload);

  const std::string head = "window.cefMessage && window.cefMessage('" + name + "', ";
  Check(text.size() > head.size() && text.compare(0, head.size(), head) == 0);
  Check(text.back() == ')');
  const std::string json = text.substr(head.size(), text.size() - head.size() - 1);
  // Nothing that ends a line or a statement outside a string literal, and no raw
  // control byte anywhere (a JavaScript string literal may not hold one).
  for (const char c : json)
    Check(static_cast<unsigned char>(c) >= 0x20);

  // Without kParseStopWhenDoneFlag, anything after the object is an error.
  rapidjson::Document back;
  back.Parse(json.c_str(), json.size());
  Check(!back.HasParseError());
  Check(back.IsObject() && back.MemberCount() == payload.MemberCount());
  auto sent = payload.MemberBegin();
  for (auto got = back.MemberBegin(); got != back.MemberEnd(); ++got, ++sent) {
    Check(got->name == sent->name);
    Check(got->value.IsString());
    Check(std::string(got->value.GetString(), got->value.GetStringLength()) ==
          std::string(sent->value.GetString(), sent->value.GetStringLength()));
  }
  return 0;
}
