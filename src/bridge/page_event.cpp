#include "bridge/page_event.h"

#include <rapidjson/document.h>

#include "bridge/json_to_text.h"

std::string PageEventText(const std::string& name, const rapidjson::Value& payload) {
  // The guard makes the call a no-op, not a script error, before the page has
  // defined its listener.
  std::string text = "window.cefMessage && window.cefMessage('";
  text += name;
  text += "', ";
  text += JsonToText(payload);
  text += ")";
  return text;
}

namespace {

// Set once at start-up and read only on the UI thread.
PageEventSink* g_sink = nullptr;

}  // namespace

void SetPageEventSink(PageEventSink* sink) {
  g_sink = sink;
}

void SendPageEvent(const std::string& name, const rapidjson::Value& payload) {
  if (g_sink)
    g_sink->RunPageEventScript(PageEventText(name, payload));
}
