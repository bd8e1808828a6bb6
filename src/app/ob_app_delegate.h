// The application delegate: sets up what the program needs once its loop runs,
// starts the quit sequence and answers the desktop's requests to reopen.
//
// Notifications are always presented, the program's window focused or not: the
// notification code never holds one back. A click on one reopens the program
// (Shell::Reopen), as a click on the tray icon does. There is no
// updater: the package manager updates the program.
//
// One instance, owned by the entry for the whole run. UI thread only.
#ifndef SRC_APP_OB_APP_DELEGATE_H_
#define SRC_APP_OB_APP_DELEGATE_H_

#include <QObject>
#include <functional>

#include "app/ob_application.h"

class BrowserWindow;
class QScreen;

class OBAppDelegate : public QObject, public OBApplicationDelegate {
  Q_OBJECT
 public:
  // |quit| starts the quit sequence, |reopen| shows the program again.
  OBAppDelegate(std::function<void()> quit, std::function<void()> reopen)
      : quit_(std::move(quit)), reopen_(std::move(reopen)) {}

  // Run once from the message loop (the entry queues it): the window shortcuts
  // that stand in for a menu bar, on |main_window| (may be null), then the
  // delegate takes up its role.
  void createApplication(OBApplication* application, BrowserWindow* main_window);
  // Every request to terminate: starts the quit sequence.
  void tryToTerminateApplication(OBApplication* application) override;
  // The user clicked the tray icon or started the program a second time.
  void applicationShouldHandleReopen();
  // Screens came, went or changed resolution: every window redraws.
  void applicationDidChangeScreenParameters();

 private:
  void WatchScreen(QScreen* screen);

  std::function<void()> quit_;
  std::function<void()> reopen_;
};

#endif  // SRC_APP_OB_APP_DELEGATE_H_
