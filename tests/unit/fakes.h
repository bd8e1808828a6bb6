// Fake engine objects and native seams for the unit tests: no display, no engine.
//
// Every fake records what was asked of it. Calls that matter for ordering across
// objects are also appended to one shared log, FakeCallLog(), as "Object.Method"
// entries (with the argument after a colon where it identifies the call).
#ifndef TESTS_UNIT_FAKES_H_
#define TESTS_UNIT_FAKES_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/browser.h"
#include "engine/client.h"
#include "engine/message_router.h"
#include "engine/url_parts.h"

// Shared, ordered record of calls into the fakes; tests clear it in SetUp.
std::vector<std::string>& FakeCallLog();

// Clears the shared log.
void ResetFakes();

class FakeFrame : public engine::Frame {
 public:
  struct Script {
    std::string code;
    std::string script_url;
    int start_line = 0;
  };

  explicit FakeFrame(std::string url = "app://lumio/index.html",
                     bool is_main = true,
                     std::string name = "")
      : url_(std::move(url)), name_(std::move(name)), is_main_(is_main) {}

  void set_url(const std::string& url) { url_ = url; }
  void set_name(const std::string& name) { name_ = name; }
  void set_main(bool is_main) { is_main_ = is_main; }
  // By default the origin of the address.
  void set_origin(const std::string& origin) { origin_ = origin; }
  const std::vector<Script>& scripts() const { return scripts_; }

  // Frame
  std::string GetName() const override { return name_; }
  std::string GetURL() const override { return url_; }
  std::string GetSecurityOrigin() const override {
    return origin_.empty() ? engine::URLOrigin(url_) : origin_;
  }
  bool IsMain() const override { return is_main_; }
  void ExecuteJavaScript(const std::string& code,
                         const std::string& script_url,
                         int start_line) override {
    scripts_.push_back({code, script_url, start_line});
    FakeCallLog().push_back("Frame.ExecuteJavaScript:" + code);
  }

 private:
  std::string url_;
  std::string origin_;
  std::string name_;
  bool is_main_;
  std::vector<Script> scripts_;
};

// A browser and its host in one object, as tests rarely need them apart. Create it
// with std::make_shared: GetHost hands out the same object.
class FakeBrowser : public engine::Browser,
                    public engine::BrowserHost,
                    public std::enable_shared_from_this<FakeBrowser> {
 public:
  // Identifiers are unique within the test process unless given.
  explicit FakeBrowser(int identifier = NextIdentifier())
      : identifier_(identifier), main_frame_(std::make_shared<FakeFrame>()) {}

  const std::shared_ptr<FakeFrame>& main_frame() const { return main_frame_; }
  void set_main_frame(std::shared_ptr<FakeFrame> frame) {
    main_frame_ = std::move(frame);
  }
  void set_client(std::shared_ptr<engine::Client> client) { client_ = std::move(client); }
  void set_window_handle(engine::NativeView* handle) { window_handle_ = handle; }

  const std::vector<bool>& set_focus_calls() const { return set_focus_calls_; }
  const std::vector<bool>& focus_event_calls() const { return focus_event_calls_; }
  const std::vector<bool>& visibility_calls() const { return visibility_calls_; }
  const std::vector<bool>& close_calls() const { return close_calls_; }  // force_close
  const std::vector<engine::ProcessMessage>& sent_messages() const {
    return sent_messages_;
  }

  // Browser
  std::shared_ptr<engine::BrowserHost> GetHost() override { return shared_from_this(); }
  std::shared_ptr<engine::Frame> GetMainFrame() override { return main_frame_; }
  int GetIdentifier() const override { return identifier_; }
  void SendProcessMessage(const engine::ProcessMessage& message) override {
    sent_messages_.push_back(message);
    FakeCallLog().push_back("Browser.SendProcessMessage:" + message.result);
  }

  // BrowserHost
  void SetFocus(bool focus) override { set_focus_calls_.push_back(focus); }
  void SendFocusEvent(bool focus) override { focus_event_calls_.push_back(focus); }
  void SetWindowVisibility(bool visible) override {
    visibility_calls_.push_back(visible);
  }
  void CloseBrowser(bool force_close) override {
    close_calls_.push_back(force_close);
    FakeCallLog().push_back("Host.CloseBrowser:" + std::to_string(identifier_));
  }
  std::shared_ptr<engine::Client> GetClient() override { return client_; }
  engine::NativeView* GetWindowHandle() override { return window_handle_; }

 private:
  static int NextIdentifier() {
    static int next = 1000;
    return next++;
  }

  int identifier_;
  std::shared_ptr<FakeFrame> main_frame_;
  std::shared_ptr<engine::Client> client_;
  engine::NativeView* window_handle_ = nullptr;
  std::vector<bool> set_focus_calls_;
  std::vector<bool> focus_event_calls_;
  std::vector<bool> visibility_calls_;
  std::vector<bool> close_calls_;
  std::vector<engine::ProcessMessage> sent_messages_;
};

class FakeRouterCallback : public engine::MessageRouter::Callback {
 public:
  struct FailureCall {
    int code;
    std::string message;
  };

  const std::vector<std::string>& successes() const { return successes_; }
  const std::vector<FailureCall>& failures() const { return failures_; }

  void Success(const std::string& response) override {
    successes_.push_back(response);
    FakeCallLog().push_back("Callback.Success:" + response);
  }
  void Failure(int error_code, const std::string& error_message) override {
    failures_.push_back({error_code, error_message});
    FakeCallLog().push_back("Callback.Failure:" + error_message);
  }

 private:
  std::vector<std::string> successes_;
  std::vector<FailureCall> failures_;
};

class FakeRequest : public engine::Request {
 public:
  explicit FakeRequest(std::string url, engine::HeaderMap headers = {})
      : url_(std::move(url)), headers_(std::move(headers)) {}

  const engine::HeaderMap& headers() const { return headers_; }
  int set_header_map_calls() const { return set_header_map_calls_; }

  std::string GetURL() const override { return url_; }
  void GetHeaderMap(engine::HeaderMap& headers) const override { headers = headers_; }
  void SetHeaderMap(const engine::HeaderMap& headers) override {
    headers_ = headers;
    ++set_header_map_calls_;
  }

 private:
  std::string url_;
  engine::HeaderMap headers_;
  int set_header_map_calls_ = 0;
};

class FakeDownloadItem : public engine::DownloadItem {
 public:
  std::string GetURL() const override { return "app://lumio/report.pdf"; }
  std::string GetMimeType() const override { return "application/pdf"; }
};

class FakeDownloadCallback : public engine::BeforeDownloadCallback {
 public:
  struct Call {
    std::string download_path;
    bool show_dialog;
  };
  const std::vector<Call>& calls() const { return calls_; }

  void Continue(const std::string& download_path, bool show_dialog) override {
    calls_.push_back({download_path, show_dialog});
  }

 private:
  std::vector<Call> calls_;
};

class FakeContextMenuParams : public engine::ContextMenuParams {
 public:
  FakeContextMenuParams(bool editable, std::string selection)
      : editable_(editable), selection_(std::move(selection)) {}
  bool IsEditable() const override { return editable_; }
  std::string GetSelectionText() const override { return selection_; }

 private:
  bool editable_;
  std::string selection_;
};

// A menu of |count| items until cleared.
class FakeMenuModel : public engine::MenuModel {
 public:
  explicit FakeMenuModel(size_t count = 3) : count_(count) {}
  size_t GetCount() const override { return count_; }
  bool Clear() override {
    count_ = 0;
    return true;
  }

 private:
  size_t count_;
};

class FakeDragData : public engine::DragData {
 public:
  bool IsFile() const override { return true; }
  std::vector<std::string> GetFileNames() const override { return {"/tmp/notes.txt"}; }
};

#endif  // TESTS_UNIT_FAKES_H_
