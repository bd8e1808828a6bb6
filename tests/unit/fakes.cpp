#include "fakes.h"

std::vector<std::string>& FakeCallLog() {
  static std::vector<std::string> log;
  return log;
}

void ResetFakes() {
  FakeCallLog().clear();
}
