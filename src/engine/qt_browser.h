// The Qt WebEngine backend of Browser, BrowserHost and Frame: one QWebEnginePage
// shown in one QWebEngineView, with a QWebChannel that carries the page's queries.
#ifndef SRC_ENGINE_QT_BROWSER_H_
#define SRC_ENGINE_QT_BROWSER_H_

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <map>
#include <memory>
#include <string>

#include "engine/browser.h"
#include "engine/client.h"

class QWebChannel;
class QWebEngineProfile;

namespace engine {

class QtBrowser;

// The object the page's router script talks to over the web channel. Lives in the
// browser process, on the UI thread; one per page.
class BridgeObject : public QObject {
  Q_OBJECT
 public:
  explicit BridgeObject(std::weak_ptr<QtBrowser> browser)
      : browser_(std::move(browser)) {}

  Q_INVOKABLE void query(const QVariantMap& frame,
                         double id,
                         const QString& request,
                         bool persistent);
  Q_INVOKABLE void cancel(double id);
  Q_INVOKABLE void frameLoaded(const QVariantMap& frame);

 signals:
  void response(double id, bool success, int code, const QString& text);

 private:
  // The page's objects may outlive the browser by a turn of the event loop.
  std::weak_ptr<QtBrowser> browser_;
};

class QtPage : public QWebEnginePage {
  Q_OBJECT
 public:
  QtPage(QWebEngineProfile* profile, QObject* parent, std::weak_ptr<QtBrowser> browser)
      : QWebEnginePage(profile, parent), browser_(std::move(browser)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url,
                               NavigationType type,
                               bool is_main_frame) override;
  // The engine log is off: console messages go nowhere.
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                const QString& message,
                                int line_number,
                                const QString& source_id) override {}

 private:
  std::weak_ptr<QtBrowser> browser_;
};

class QtFrame : public Frame {
 public:
  QtFrame(QtBrowser* browser, std::string key, bool is_main)
      : browser_(browser), key_(std::move(key)), is_main_(is_main) {}

  std::string GetName() const override { return name_; }
  std::string GetURL() const override;
  bool IsMain() const override { return is_main_; }
  void ExecuteJavaScript(const std::string& code,
                         const std::string& script_url,
                         int start_line) override;

  void set_name(std::string name) { name_ = std::move(name); }
  void set_url(std::string url) { url_ = std::move(url); }
  void Detach() { browser_ = nullptr; }

 private:
  QtBrowser* browser_;  // null once the browser has closed
  std::string key_;
  bool is_main_;
  std::string name_;
  std::string url_;  // sub-frames only; the main frame asks the page
};

class QtBrowser : public Browser,
                  public BrowserHost,
                  public std::enable_shared_from_this<QtBrowser> {
 public:
  // Creates the view inside |window_info.parent_view| (a QWidget*, may be null).
  static std::shared_ptr<QtBrowser> Create(const WindowInfo& window_info,
                                           const std::shared_ptr<Client>& client,
                                           const BrowserSettings& settings,
                                           QWebEngineProfile* profile);
  ~QtBrowser() override;

  // Every browser that has not closed yet, by identifier.
  static const std::map<int, std::shared_ptr<QtBrowser>>& OpenBrowsers();

  void Load(const std::string& url);
  QWebEnginePage* page() const { return page_; }
  QWebEngineView* view() const { return view_; }

  // Browser
  std::shared_ptr<BrowserHost> GetHost() override { return shared_from_this(); }
  std::shared_ptr<Frame> GetMainFrame() override { return main_frame_; }
  int GetIdentifier() const override { return id_; }
  void SendProcessMessage(const ProcessMessage& message) override;

  // BrowserHost
  void SetFocus(bool focus) override;
  void SendFocusEvent(bool focus) override { SetFocus(focus); }
  void SetWindowVisibility(bool visible) override;
  void CloseBrowser(bool force_close) override;
  std::shared_ptr<Client> GetClient() override { return client_; }
  void* GetWindowHandle() override;

  // From the page side.
  void OnQuery(const QVariantMap& frame,
               int64_t id,
               const std::string& request,
               bool persistent);
  void OnCancel(int64_t id);
  void OnFrameLoaded(const QVariantMap& frame);
  bool OnBeforeBrowse(const QUrl& url, bool is_main_frame);

 private:
  QtBrowser(int id, std::shared_ptr<Client> client);
  std::shared_ptr<Frame> FrameFor(const QVariantMap& frame);
  // The page's answer to the question that CloseBrowser put to it.
  void OnCloseAnswer(int question, bool page_asks_to_stay);
  // The page agreed to close (or was forced to).
  void OnCloseRequested();
  void Destroy();

  int id_;
  std::shared_ptr<Client> client_;
  QPointer<QWebEngineView> view_;
  QPointer<QtPage> page_;
  QWebChannel* channel_ = nullptr;  // owned by page_
  BridgeObject* bridge_ = nullptr;  // owned by channel_
  std::shared_ptr<QtFrame> main_frame_;
  std::map<std::string, std::shared_ptr<QtFrame>> sub_frames_;
  bool renderer_gone_ = false;
  int close_question_ = 0;   // the close question awaiting an answer, or 0
  int close_questions_ = 0;  // close questions put so far
  bool closed_ = false;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_BROWSER_H_
