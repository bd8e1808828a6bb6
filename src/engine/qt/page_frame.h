// A frame of a page as the program sees it: one document's name, address and
// origin, as the program's own script in that document announced them. Qt-free;
// the browser that runs scripts in it is held weakly, so a frame kept past its
// browser's close (by a command, a pending query) runs nothing instead of
// touching a freed browser.
#ifndef SRC_ENGINE_QT_PAGE_FRAME_H_
#define SRC_ENGINE_QT_PAGE_FRAME_H_

#include <memory>
#include <string>

#include "engine/browser.h"

namespace engine {

// Runs scripts in the documents of one page. Implemented by the browser.
class DocumentScriptRunner {
 public:
  virtual ~DocumentScriptRunner() = default;
  // Runs |code| where the page's own scripts run (not the program's script
  // world), in the document |document_key| (the main document when |main|);
  // nothing when that document is gone.
  virtual void RunScriptInDocument(const std::string& document_key,
                                   bool main,
                                   const std::string& code) = 0;
};

class PageFrame : public Frame {
 public:
  PageFrame(std::weak_ptr<DocumentScriptRunner> runner, bool is_main);

  // The document now shown in this frame.
  void SetDocument(const std::string& key, const std::string& origin);
  void set_name(const std::string& name) { name_ = name; }
  void set_url(const std::string& url) { url_ = url; }
  const std::string& document_key() const { return document_key_; }

  // Frame
  std::string GetName() const override { return name_; }
  std::string GetURL() const override { return url_; }
  std::string GetSecurityOrigin() const override { return origin_; }
  bool IsMain() const override { return is_main_; }
  void ExecuteJavaScript(const std::string& code,
                         const std::string& script_url,
                         int start_line) override;

 private:
  std::weak_ptr<DocumentScriptRunner> runner_;
  bool is_main_;
  std::string document_key_;
  std::string origin_;
  std::string name_;
  std::string url_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_PAGE_FRAME_H_
