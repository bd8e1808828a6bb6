#include "engine/qt/page_frame.h"

namespace engine {

PageFrame::PageFrame(std::weak_ptr<DocumentScriptRunner> runner, bool is_main)
    : runner_(std::move(runner)), is_main_(is_main) {}

void PageFrame::SetDocument(const std::string& key, const std::string& origin) {
  document_key_ = key;
  origin_ = origin;
}

void PageFrame::ExecuteJavaScript(const std::string& code,
                                  const std::string& script_url,
                                  int start_line) {
  std::shared_ptr<DocumentScriptRunner> runner = runner_.lock();
  if (!runner || (!is_main_ && document_key_.empty()))
    return;
  std::string source = code;
  if (!script_url.empty())
    source += "\n//# sourceURL=" + script_url;
  runner->RunScriptInDocument(document_key_, is_main_, source);
}

}  // namespace engine
