#include "fakes.h"

#include "native/browser_operations.h"

std::vector<std::string>& FakeCallLog() {
  static std::vector<std::string> log;
  return log;
}

namespace {

// As in the program: page events go to the main browser's main frame.
MainPageEventSink g_page_events;
const bool g_page_events_set = (SetPageEventSink(&g_page_events), true);

}  // namespace

void ResetFakes() {
  FakeCallLog().clear();
  SetPageEventSink(&g_page_events);
}
