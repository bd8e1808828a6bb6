// Arbitrary text as a bridge request from our own page, through the real command
// table with services that only record. Whatever the text, the dispatcher must not
// crash, and a request it takes must get at most one answer, in valid JSON; one it
// does not take must get none and touch no service.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <rapidjson/document.h>

#include "bridge/bridge_commands.h"
#include "bridge/bridge_router.h"
#include "fake_services.h"
#include "fakes.h"
#include "native/browser_operations.h"

namespace {

struct Setup {
  Browsers browsers;
  MainPageEventSink page_events{browsers};
  BridgeCommandTable table;
  std::shared_ptr<FakeServices> services = std::make_shared<FakeServices>();
  std::shared_ptr<FakeBrowser> browser = std::make_shared<FakeBrowser>();

  Setup() {
    RegisterBridgeCommands(table, AllServices(services, &page_events));
    browsers.set_main_browser(browser);
  }
};

bool IsJson(const std::string& text) {
  rapidjson::Document document;
  document.Parse(text.c_str(), text.size());
  return !document.HasParseError();
}

void Check(bool condition) {
  if (!condition)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup* setup = new Setup();
  setup->services->calls.clear();
  ResetFakes();
  auto frame = std::make_shared<FakeFrame>();
  setup->browser->set_main_frame(frame);
  auto callback = std::make_shared<FakeRouterCallback>();
  const std::string request(reinterpret_cast<const char*>(data), size);

  const bool taken = DispatchBridgeQuery(setup->table, setup->browser, frame, 1, request,
                                         /*persistent=*/size % 2 == 1, callback);

  const size_t answers = callback->successes().size() + callback->failures().size();
  if (!taken) {
    Check(answers == 0);
    Check(setup->services->calls.empty());
    Check(frame->scripts().empty());
    return 0;
  }
  Check(answers <= 1);
  for (const std::string& success : callback->successes())
    Check(IsJson(success));
  for (const FakeRouterCallback::FailureCall& failure : callback->failures()) {
    rapidjson::Document message;
    message.Parse(failure.message.c_str(), failure.message.size());
    Check(!message.HasParseError() && message.IsObject() && message.HasMember("error"));
  }
  return 0;
}
