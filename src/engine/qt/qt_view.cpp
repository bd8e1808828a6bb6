#include "engine/qt/qt_view.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QWebEngineContextMenuRequest>

#include "engine/qt/qt_browser.h"

namespace engine {
namespace {

class QtContextMenuParams : public ContextMenuParams {
 public:
  explicit QtContextMenuParams(const QWebEngineContextMenuRequest& request)
      : request_(request) {}
  bool IsEditable() const override { return request_.isContentEditable(); }
  std::string GetSelectionText() const override {
    return request_.selectedText().toStdString();
  }

 private:
  const QWebEngineContextMenuRequest& request_;
};

class QtMenuModel : public MenuModel {
 public:
  explicit QtMenuModel(QMenu* menu) : menu_(menu) {}
  size_t GetCount() const override { return menu_->actions().size(); }
  // The page's actions stay with the page; the menu only lets go of them.
  bool Clear() override {
    menu_->clear();
    return true;
  }

 private:
  QMenu* menu_;
};

class QtDragData : public DragData {
 public:
  explicit QtDragData(const QMimeData* data) : data_(data) {}
  bool IsFile() const override { return !GetFileNames().empty(); }
  std::vector<std::string> GetFileNames() const override {
    std::vector<std::string> names;
    if (!data_)
      return names;
    for (const QUrl& url : data_->urls()) {
      if (url.isLocalFile())
        names.push_back(url.toLocalFile().toStdString());
    }
    return names;
  }

 private:
  const QMimeData* data_;
};

DragOperationsMask ToDragOperationsMask(Qt::DropActions actions) {
  DragOperationsMask mask = kDragOperationNone;
  if (actions & Qt::CopyAction)
    mask |= kDragOperationCopy;
  if (actions & Qt::LinkAction)
    mask |= kDragOperationLink;
  if (actions & Qt::MoveAction)
    mask |= kDragOperationMove;
  return mask;
}

// Whether a widget of |view|'s window other than the view itself would take the
// focus from a Tab.
bool OthersTakeTabFocus(QWidget* view) {
  QWidget* window = view->window();
  for (QWidget* w = view->nextInFocusChain(); w && w != view; w = w->nextInFocusChain()) {
    if (w != window && !view->isAncestorOf(w) && w->window() == window &&
        (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled())
      return true;
  }
  return false;
}

}  // namespace

bool QtView::focusNextPrevChild(bool next) {
  QWidget* focused = QApplication::focusWidget();
  if (!focused || (focused != this && !isAncestorOf(focused)) || OthersTakeTabFocus(this))
    return QWebEngineView::focusNextPrevChild(next);
  // The page would lose the focus to nothing for one Tab, silently. Focus coming
  // in from a Tab (or Shift+Tab) makes the engine focus the page's first (last)
  // control, as a browser window without other controls does; a page with no
  // control keeps the focus on itself, without asking again. Screen readers hear
  // only of the control: the view's own focus change in between is not theirs.
  const QAccessible::UpdateHandler updates =
      QAccessible::installUpdateHandler([](QAccessibleEvent*) {});
  focused->clearFocus();
  focused->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  QAccessible::installUpdateHandler(updates);
  return true;
}

void QtView::contextMenuEvent(QContextMenuEvent* event) {
  std::shared_ptr<QtBrowser> browser = browser_.lock();
  const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
  if (!browser || !request)
    return;
  QMenu* menu = createStandardContextMenu();
  if (auto handler = browser->GetClient()->GetContextMenuHandler()) {
    QtContextMenuParams params(*request);
    QtMenuModel model(menu);
    // Qt does not say which frame was clicked; the menu belongs to the page.
    handler->OnBeforeContextMenu(browser, browser->GetMainFrame(), params, model);
  }
  if (menu->isEmpty()) {
    delete menu;
    return;
  }
  menu->setAttribute(Qt::WA_DeleteOnClose, true);
  menu->popup(event->globalPos());
}

void QtView::dragEnterEvent(QDragEnterEvent* event) {
  std::shared_ptr<QtBrowser> browser = browser_.lock();
  bool refused = !browser;
  if (browser) {
    if (auto handler = browser->GetClient()->GetDragHandler()) {
      refused = handler->OnDragEnter(browser, QtDragData(event->mimeData()),
                                     ToDragOperationsMask(event->possibleActions()));
    }
  }
  if (refused) {
    // Ignored here, the drag reaches neither the page nor a drop on this view.
    event->ignore();
    return;
  }
  QWebEngineView::dragEnterEvent(event);
}

}  // namespace engine
