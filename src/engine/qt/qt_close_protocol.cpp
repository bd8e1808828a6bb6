#include "engine/qt/qt_close_protocol.h"

#include <QMessageBox>
#include <QTimer>
#include <QVariant>
#include <QWebEngineView>

#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/qt/qt_page.h"

namespace engine {
namespace {

// Dispatches a beforeunload event in the page; true when the page asks the user
// to confirm leaving (a handler cancelled it or set a message), which browsers
// honour only once the user has interacted with the page.
constexpr char kBeforeUnloadScript[] = R"js((function () {
  try {
    var event = document.createEvent('BeforeUnloadEvent');
    event.initEvent('beforeunload', false, true);
    window.dispatchEvent(event);
    var asks = event.defaultPrevented ||
               (typeof event.returnValue === 'string' && event.returnValue !== '');
    return asks && !!(navigator.userActivation && navigator.userActivation.hasBeenActive);
  } catch (e) {
    return false;
  }
})())js";
constexpr int kBeforeUnloadTimeoutMs = 10000;
// How long the page's pagehide and unload handlers may take once it closes.
constexpr int kUnloadTimeoutMs = 5000;

}  // namespace

void QtCloseProtocol::Close(bool force_close) {
  if (browser_.closed_ || !browser_.page_)
    return;
  // A new request to close puts the question again, so that a quit can decide it.
  DismissLeaveQuestion();
  // A page without a renderer cannot be asked.
  if (force_close || browser_.renderer_gone_) {
    OnCloseRequested(/*run_unload_handlers=*/false);
    return;
  }
  if (question_ != 0 || unloading_)
    return;  // the page is being asked already
  // Qt's RequestClose runs the page's unload handlers along with the question and
  // leaves the page hidden for good, but the client may keep the browser (DoClose),
  // as the main window does. So only the beforeunload question is put to the page
  // here; the unload handlers run once the browser really closes.
  const int question = ++questions_;
  question_ = question;
  std::weak_ptr<QtBrowser> weak = browser_.shared_from_this();
  browser_.page_->runJavaScript(QString::fromUtf8(kBeforeUnloadScript), kBridgeWorldId,
                                [weak, question](const QVariant& wants_to_stay) {
                                  if (auto self = weak.lock())
                                    self->close_.OnAnswer(question,
                                                          wants_to_stay.toBool());
                                });
  // A page that hangs in its handler does not keep the program from closing.
  QTimer::singleShot(kBeforeUnloadTimeoutMs, browser_.page_, [weak, question] {
    if (auto self = weak.lock())
      self->close_.OnAnswer(question, false);
  });
}

void QtCloseProtocol::OnWindowCloseRequested() {
  if (unloading_)
    OnUnloaded();
  else
    OnCloseRequested(/*run_unload_handlers=*/true);
}

void QtCloseProtocol::OnRendererGone() {
  if (unloading_)
    OnUnloaded();
  else if (question_ != 0)
    OnAnswer(question_, false);
}

void QtCloseProtocol::OnAnswer(int question, bool page_asks_to_stay) {
  if (browser_.closed_ || question_ != question)
    return;
  question_ = 0;
  if (page_asks_to_stay && browser_.view_) {
    bool leave = false;
    auto handler = browser_.client_->GetJSDialogHandler();
    if (!handler || !handler->OnBeforeUnloadDialog(browser_.shared_from_this(), leave)) {
      AskWhetherToLeave();
      return;
    }
    if (!leave)
      return;
  }
  OnCloseRequested(/*run_unload_handlers=*/true);
}

void QtCloseProtocol::AskWhetherToLeave() {
  // Window-modal and answered through a signal, not a nested event loop: the
  // window may go while the question is open (a quit closes it), and the box,
  // its child, goes with it.
  auto* box = new QMessageBox(
      QMessageBox::Question, QStringLiteral("Leave page?"),
      QStringLiteral("Changes you made may not be saved."),
      QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::Cancel),
      browser_.view_->window());
  box->setDefaultButton(QMessageBox::Cancel);
  leave_question_ = box;
  std::weak_ptr<QtBrowser> weak = browser_.shared_from_this();
  QObject::connect(box, &QDialog::finished, box, [weak, box](int) {
    box->deleteLater();
    auto self = weak.lock();
    if (!self || self->close_.leave_question_ != box)
      return;  // dismissed
    self->close_.leave_question_ = nullptr;
    if (box->standardButton(box->clickedButton()) == QMessageBox::Yes)
      self->close_.OnCloseRequested(/*run_unload_handlers=*/true);
  });
  box->open();
}

void QtCloseProtocol::DismissLeaveQuestion() {
  QPointer<QMessageBox> box = leave_question_;
  leave_question_ = nullptr;
  if (box) {
    box->hide();
    box->deleteLater();
  }
}

void QtCloseProtocol::OnCloseRequested(bool run_unload_handlers) {
  if (browser_.closed_ || unloading_)
    return;
  DismissLeaveQuestion();  // the page goes (or stays) without it
  std::shared_ptr<QtBrowser> self = browser_.shared_from_this();
  if (auto handler = browser_.client_->GetLifeSpanHandler()) {
    if (handler->DoClose(self))
      return;
  }
  if (!run_unload_handlers || browser_.renderer_gone_ || !browser_.page_) {
    OnUnloaded();
    return;
  }
  // The page has agreed to close already: its pagehide and unload handlers run
  // now, without asking again, and the window goes when they are done.
  unloading_ = true;
  std::weak_ptr<QtBrowser> weak = self;
  browser_.page_->runJavaScript(
      QStringLiteral("window.__lumioClosing && window.__lumioClosing()"), kBridgeWorldId,
      [weak](const QVariant&) {
        auto browser = weak.lock();
        if (browser && browser->close_.unloading_ && browser->page_)
          browser->page_->triggerAction(QWebEnginePage::RequestClose);
      });
  QTimer::singleShot(kUnloadTimeoutMs, browser_.page_, [weak] {
    if (auto browser = weak.lock())
      browser->close_.OnUnloaded();
  });
}

void QtCloseProtocol::OnUnloaded() {
  if (browser_.closed_)
    return;
  if (unloading_) {
    if (QtEngineContext* context = QtEngineContext::Get())
      context->OnUnloadFinished();
  }
  unloading_ = false;
  std::shared_ptr<QtBrowser> self = browser_.shared_from_this();
  // The engine closes the browser's window; its owner may still refuse.
  QWidget* window = browser_.view_ ? browser_.view_->window() : nullptr;
  if (window && window != browser_.view_ && !window->close())
    return;
  browser_.Destroy();
}

}  // namespace engine
