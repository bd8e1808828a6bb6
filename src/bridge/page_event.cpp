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

void SendPageEvent(PageEventSink* sink,
                   const std::string& name,
                   const rapidjson::Value& payload) {
  if (sink)
    sink->RunPageEventScript(PageEventText(name, payload));
}
