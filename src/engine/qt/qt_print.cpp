#include "engine/qt/qt_print.h"

#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdio>
#include <memory>

#include "engine/qt/qt_browser.h"
#include "engine/thread_check.h"

namespace engine {
namespace {

class PagePrinter : public QObject {
 public:
  explicit PagePrinter(QWebEngineView* view) : QObject(view), view_(view) {
    QObject::connect(view, &QWebEngineView::printFinished, this, [this](bool success) {
      if (!success)
        std::fprintf(stderr, "lumio: the page could not be printed\n");
      printer_.reset();
    });
  }

  void OnPrintRequested() {
    LUMIO_ASSERT_UI_THREAD();
    if (dialog_ || printer_ || !view_)
      return;
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setDocName(view_->title());
    // Window-modal and not waited for: the engine's and the program's work goes
    // on while the user decides.
    dialog_ = new QPrintDialog(printer_.get(), view_->window());
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog_, &QDialog::finished, this, [this](int result) {
      if (result == QDialog::Accepted && view_)
        view_->print(printer_.get());
      else
        printer_.reset();
    });
    dialog_->open();
  }

 private:
  QPointer<QWebEngineView> view_;
  QPointer<QPrintDialog> dialog_;
  std::unique_ptr<QPrinter> printer_;  // from the dialog to the end of the job
};

}  // namespace

void QtPrint::Connect(QtBrowser& browser) {
  QWebEngineView* view = browser.view();
  if (!view)
    return;
  auto* printer = new PagePrinter(view);
  QObject::connect(browser.page(), &QWebEnginePage::printRequested, printer,
                   [printer] { printer->OnPrintRequested(); });
}

}  // namespace engine
