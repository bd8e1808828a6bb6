#include "bridge/json_to_text.h"

#include <cmath>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

// RapidJSON's Writer gives up on NaN and infinity mid-text, leaving a truncated
// document; write null in their place so the page always receives valid JSON.
class CompactWriter : public rapidjson::Writer<rapidjson::StringBuffer> {
 public:
  explicit CompactWriter(rapidjson::StringBuffer& buffer) : Writer(buffer) {}

  // Hides Writer::Double; Value::Accept is a template and calls this one.
  bool Double(double d) {
    if (!std::isfinite(d))
      return Null();
    return Writer::Double(d);
  }
};

}  // namespace

std::string JsonToText(const rapidjson::Value& value) {
  rapidjson::StringBuffer buffer;
  CompactWriter writer(buffer);
  value.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}
