#include "native/permission_prompt.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace {

QString WhatItUses(engine::Permission permission) {
  switch (permission) {
    case engine::Permission::kCamera:
      return QStringLiteral("your camera");
    case engine::Permission::kMicrophone:
      return QStringLiteral("your microphone");
    case engine::Permission::kCameraAndMicrophone:
      return QStringLiteral("your camera and microphone");
    case engine::Permission::kScreenCapture:
      return QStringLiteral("what your screen shows");
    case engine::Permission::kGeolocation:
      return QStringLiteral("your location");
    default:
      return QStringLiteral("more of your computer");
  }
}

}  // namespace

void AskUserPermission(QWidget* parent,
                       engine::Permission permission,
                       std::function<void(bool)> answer) {
  const QString app = QGuiApplication::applicationDisplayName();
  auto* box = new QMessageBox(QMessageBox::Question, app,
                              QStringLiteral("%1 wants to use %2.")
                                  .arg(app.toHtmlEscaped(), WhatItUses(permission)),
                              QMessageBox::NoButton, parent);
  box->setInformativeText(QStringLiteral("Your answer is remembered."));
  QPushButton* allow = box->addButton(QStringLiteral("Allow"), QMessageBox::AcceptRole);
  box->addButton(QStringLiteral("Don't Allow"), QMessageBox::RejectRole);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
  // Answered once, when the box goes, however it goes.
  auto reply = std::make_shared<std::function<void(bool)>>(std::move(answer));
  QObject::connect(box, &QMessageBox::finished, box, [box, allow, reply](int) {
    if (*reply) {
      auto once = std::move(*reply);
      *reply = nullptr;
      once(box->clickedButton() == allow);
    }
  });
  QObject::connect(box, &QObject::destroyed, [reply] {
    if (*reply) {
      auto once = std::move(*reply);
      *reply = nullptr;
      once(false);
    }
  });
  box->open();
}
