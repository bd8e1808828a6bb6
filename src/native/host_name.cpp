#include "native/host_name.h"

std::string HostNameFirstLabel(const std::string& host_name) {
  return host_name.substr(0, host_name.find('.'));
}
