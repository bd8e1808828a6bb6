// The computer's name as the page receives it.
#ifndef SRC_NATIVE_HOST_NAME_H_
#define SRC_NATIVE_HOST_NAME_H_

#include <string>

// |host_name| up to its first dot: "build-7.example.org" gives "build-7". Empty
// when the name is empty or starts with a dot.
std::string HostNameFirstLabel(const std::string& host_name);

#endif  // SRC_NATIVE_HOST_NAME_H_
