// How bridge commands read the members of a request. The rules are the bridge's,
// not JSON's: the page's scripts were written against them.
//
// - Integers are 32-bit: a JSON integer gives its low 32 bits (4294967295 reads
//   -1), null reads 0, and a missing member reads the command's default.
// - Booleans are true only for the literal true.
// - Strings are copied as they are; a missing member reads "".
// - Arrays are read element by element, in order; a missing member reads empty.
//
// A member of another JSON type than its command expects reads as if it were
// missing: a string or a fraction where an integer belongs, a number too large
// for 64 bits (it parses as a fraction), an object where an array belongs. An
// array element of the wrong type is skipped.
#ifndef SRC_BRIDGE_COMMAND_ARGUMENTS_H_
#define SRC_BRIDGE_COMMAND_ARGUMENTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "bridge/bridge_services.h"

class CommandArguments {
 public:
  // |object| must outlive this reader; anything but an object has no members.
  explicit CommandArguments(const rapidjson::Value& object) : object_(object) {}

  int32_t Int(const char* name, int32_t if_missing = 0) const;
  bool Bool(const char* name) const;
  std::string String(const char* name) const;
  std::vector<std::string> Strings(const char* name) const;
  std::vector<TrayMenuItem> MenuItems(const char* name) const;

 private:
  // The member's value, or null when there is no such member.
  const rapidjson::Value* Find(const char* name) const;

  const rapidjson::Value& object_;
};

#endif  // SRC_BRIDGE_COMMAND_ARGUMENTS_H_
