// Page events: native code tells the page about something it did not ask for by
// calling the page's window.cefMessage(name, payload), when the page defines it.
// Nothing is queued or acknowledged; an event sent while there is no main browser
// is lost. UI thread only.
#ifndef SRC_BRIDGE_PAGE_EVENT_H_
#define SRC_BRIDGE_PAGE_EVENT_H_

#include <string>

#include <rapidjson/fwd.h>

// The script that delivers one event:
//   window.cefMessage && window.cefMessage('<name>', <JsonToText(payload)>)
// |name| goes in unchanged, so it must not contain a quote or a backslash (every
// event name is letters only). No semicolon, no line break.
std::string PageEventText(const std::string& name, const rapidjson::Value& payload);

// Where page events go: the program's main page. The bridge knows nothing of
// windows or browsers; the program owns one sink and hands it to what sends
// events.
class PageEventSink {
 public:
  virtual ~PageEventSink() = default;
  // Runs |script| (a PageEventText) where the page hears it, or drops it.
  virtual void RunPageEventScript(const std::string& script) = 0;
};

// Delivers one event through |sink|; a null sink drops it.
void SendPageEvent(PageEventSink* sink,
                   const std::string& name,
                   const rapidjson::Value& payload);

#endif  // SRC_BRIDGE_PAGE_EVENT_H_
