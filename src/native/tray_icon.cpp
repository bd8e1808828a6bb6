#include "native/tray_icon.h"

#include <rapidjson/document.h>

#include <QAction>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

#include "bridge/page_event.h"
#include "engine/thread_check.h"
#include "lumio_protocol.h"
#include "native/badge.h"
#include "native/desktop_notifications.h"
#include "native/launcher_entry.h"
#include "native/session_notes.h"
#include "native/tray_menu.h"

namespace {

// The sizes panels ask for, up to the largest Qt sends over D-Bus.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64};

QPixmap ProgramPixmap(int size) {
  QPixmap canvas(size, size);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::Antialiasing);
  const QIcon icon = QGuiApplication::windowIcon();
  const QPixmap pixmap = icon.isNull() ? QPixmap() : icon.pixmap(QSize(size, size), 1.0);
  if (!pixmap.isNull()) {
    painter.drawPixmap((size - pixmap.width()) / 2, (size - pixmap.height()) / 2, pixmap);
  } else {
    // Without its icon files the program still needs something to click on.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3d, 0x7e, 0xdb));
    painter.drawEllipse(QRectF(1, 1, size - 2, size - 2));
  }
  return canvas;
}

// A red pill with the count in white, in the top right corner.
void DrawBadge(QPixmap& pixmap, const QString& text) {
  const int size = pixmap.width();
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const int height = (size * 3 + 4) / 5;
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(std::max(6, height * 4 / 5));
  // Long counts get a smaller font rather than leave the icon.
  while (font.pixelSize() > 6 &&
         QFontMetrics(font).horizontalAdvance(text) > size - height / 3)
    font.setPixelSize(font.pixelSize() - 1);
  const int width = std::min(
      size, std::max(height, QFontMetrics(font).horizontalAdvance(text) + height / 3));
  const QRectF pill(size - width, 0, width, height);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xe0, 0x24, 0x24));
  painter.drawRoundedRect(pill, height / 2.0, height / 2.0);
  painter.setPen(Qt::white);
  painter.setFont(font);
  painter.drawText(pill, Qt::AlignCenter, text);
}

QIcon TrayImage(const std::optional<std::string>& badge) {
  QIcon icon;
  for (int size : kIconSizes) {
    QPixmap pixmap = ProgramPixmap(size);
    if (badge)
      DrawBadge(pixmap, QString::fromStdString(*badge));
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

class OBTrayIconListener : public QObject {
 public:
  OBTrayIconListener(std::function<void()> reopen, PageEventSink* page_events)
      : reopen_(std::move(reopen)), page_events_(page_events), notifications_(reopen_) {
    icon_.setIcon(TrayImage(std::nullopt));
    icon_.setToolTip(QGuiApplication::applicationDisplayName());
    // The menu goes in before the icon is shown: a panel reads which menu an item
    // has once, when the item appears. Until the page sets one it is empty.
    icon_.setContextMenu(&menu_);
    // Qt gives the menu a platform menu exactly when it publishes it over D-Bus.
    exporter_ =
        menu_.platformMenu() ? TrayMenuExport::kDBusMenu : TrayMenuExport::kWidget;
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::Trigger ||
                  reason == QSystemTrayIcon::DoubleClick)
                reopen_();
            });
    // Qt's fallback for a Wayland session without a tray watcher is the X11 tray,
    // which only warns there; a tray that is not there is said once instead.
    if (OnWaylandPlatform() && !QSystemTrayIcon::isSystemTrayAvailable()) {
      SayOnce(
          "no system tray in this session (no StatusNotifierWatcher on the session "
          "bus): the tray icon and its menu are not shown");
    } else {
      icon_.show();
    }
  }

  void UpdateMenu(const std::vector<TrayMenuItem>& items) {
    menu_.clear();  // deletes the old actions, which the menu owns
    for (const TrayMenuEntry& entry : BuildTrayMenu(items, exporter_)) {
      // Made whole before it joins the menu, so the panel sees it once, as it is.
      auto* action = new QAction(QString::fromStdString(entry.text), &menu_);
      action->setEnabled(entry.enabled);
      const int32_t id = entry.id;
      connect(action, &QAction::triggered, this, [this, id] { DidItemSelect(id); });
      menu_.addAction(action);
    }
  }

  void Notify(const std::string& title, const std::string& text, int32_t unread_count) {
    notifications_.Notify(QString::fromStdString(title), QString::fromStdString(text));
    SetBadge(unread_count);
  }

  void SetBadge(int32_t unread_count) {
    const std::optional<int32_t> count = BadgeCount(unread_count);
    if (count == badge_)
      return;
    badge_ = count;
    icon_.setIcon(TrayImage(BadgeText(unread_count)));
    LauncherEntrySetCount(badge_);
  }

  void RemoveDeliveredNotifications() { notifications_.RemoveDelivered(); }

 private:
  void DidItemSelect(int32_t id) {
    rapidjson::Document payload(rapidjson::kObjectType);
    payload.AddMember("itemId", id, payload.GetAllocator());
    SendPageEvent(page_event::kOrbitTrayIconMenuDidSelect, payload);
  }

  void SendPageEvent(const std::string& name, const rapidjson::Value& payload) {
    ::SendPageEvent(page_events_, name, payload);
  }

  std::function<void()> reopen_;
  PageEventSink* page_events_;
  // Destroyed after the icon, which refers to it.
  QMenu menu_;
  QSystemTrayIcon icon_;
  TrayMenuExport exporter_ = TrayMenuExport::kWidget;
  DesktopNotifications notifications_;
  std::optional<int32_t> badge_;
};

namespace {

void AssertUIThread() {
  LUMIO_ASSERT_UI_THREAD();
}

}  // namespace

TrayIcon::TrayIcon(std::function<void()> reopen, PageEventSink* page_events)
    : listener_(std::make_unique<OBTrayIconListener>(std::move(reopen), page_events)) {}

TrayIcon::~TrayIcon() = default;

void TrayIcon::UpdateMenu(const std::vector<TrayMenuItem>& items) {
  AssertUIThread();
  listener_->UpdateMenu(items);
}

void TrayIcon::Notify(const std::string& title,
                      const std::string& text,
                      int32_t unread_count) {
  AssertUIThread();
  listener_->Notify(title, text, unread_count);
}

void TrayIcon::ClearBadge() {
  AssertUIThread();
  listener_->SetBadge(0);
}

void TrayIcon::RemoveDeliveredNotifications() {
  AssertUIThread();
  listener_->RemoveDeliveredNotifications();
}
