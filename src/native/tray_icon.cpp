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

class OBTrayIconListener : public QObject {
 public:
  explicit OBTrayIconListener(std::function<void()> reopen)
      : reopen_(std::move(reopen)), notifications_(reopen_) {
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
    icon_.show();
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

  std::function<void()> reopen_;
  // Destroyed after the icon, which refers to it.
  QMenu menu_;
  QSystemTrayIcon icon_;
  TrayMenuExport exporter_ = TrayMenuExport::kWidget;
  DesktopNotifications notifications_;
  std::optional<int32_t> badge_;
};

std::unique_ptr<OBTrayIconListener> g_listener;

OBTrayIconListener* Listener() {
  LUMIO_ASSERT_UI_THREAD();
  return g_listener.get();
}

class DesktopTrayService : public TrayService {
 public:
  void Notify(const std::string& title,
              const std::string& text,
              int32_t unread_count) override {
    TrayIconNotify(title, text, unread_count);
  }
  void UpdateMenu(const std::vector<TrayMenuItem>& items) override {
    TrayIconUpdateMenu(items);
  }
  void ClearBadge() override { TrayIconClearBadge(); }
  void RemoveDeliveredNotifications() override { TrayIconRemoveDeliveredNotifications(); }
};

}  // namespace

std::unique_ptr<TrayService> TrayService::Create() {
  return std::make_unique<DesktopTrayService>();
}

void TrayIconListenerCreate(std::function<void()> reopen) {
  if (!g_listener)
    g_listener = std::make_unique<OBTrayIconListener>(std::move(reopen));
}

void TrayIconListenerDestroy() {
  g_listener.reset();
}

void TrayIconUpdateMenu(const std::vector<TrayMenuItem>& items) {
  if (OBTrayIconListener* listener = Listener())
    listener->UpdateMenu(items);
}

void TrayIconNotify(const std::string& title,
                    const std::string& text,
                    int32_t unread_count) {
  if (OBTrayIconListener* listener = Listener())
    listener->Notify(title, text, unread_count);
}

void TrayIconClearBadge() {
  if (OBTrayIconListener* listener = Listener())
    listener->SetBadge(0);
}

void TrayIconRemoveDeliveredNotifications() {
  if (OBTrayIconListener* listener = Listener())
    listener->RemoveDeliveredNotifications();
}
