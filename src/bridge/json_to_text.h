// The one JSON serialisation of the bridge: bridge responses and page-event payloads
// both reach the page as this text.
#ifndef SRC_BRIDGE_JSON_TO_TEXT_H_
#define SRC_BRIDGE_JSON_TO_TEXT_H_

#include <string>

#include <rapidjson/fwd.h>

// Compact JSON text of |value|: no whitespace outside strings, object members in the
// order they were added. In strings, '"' and '\' get a backslash, the bytes 0x08,
// 0x09, 0x0A, 0x0C and 0x0D become \b \t \n \f \r, every other byte below 0x20 becomes
// \u00XX (upper-case hex), and every other byte is copied unchanged (so "/", 0x7F and
// multi-byte UTF-8 pass through as they are). A number that JSON cannot express (NaN,
// infinity) is written as null, as JSON.stringify does. Recursive: meant for the
// values we build, not for echoing arbitrarily deep page input.
std::string JsonToText(const rapidjson::Value& value);

#endif  // SRC_BRIDGE_JSON_TO_TEXT_H_
