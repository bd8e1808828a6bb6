// The program's side of the application object, which the engine creates
// (engine::CreateApplication). Whatever asks that object to end (the Quit shortcut,
// a termination signal, the session manager, QCoreApplication::quit from anywhere,
// such as a tray menu) reaches the delegate's quit sequence instead; the message
// loop ends only when the last browser has closed. Closing or hiding the last
// window does not end the program.
#ifndef SRC_APP_OB_APPLICATION_H_
#define SRC_APP_OB_APPLICATION_H_

#include <QObject>

#include "native/app_identity.h"

class OBApplication;

// What the application object asks of its delegate (OBAppDelegate implements it).
class OBApplicationDelegate {
 public:
  virtual ~OBApplicationDelegate() = default;
  virtual void tryToTerminateApplication(OBApplication* application) = 0;
};

class OBApplication : public QObject {
  Q_OBJECT
 public:
  // Takes charge of the application object that exists by now, and names it after
  // |identity|.
  explicit OBApplication(const AppIdentity& identity);

  // The delegate is not owned. A request to terminate made before it is set waits
  // for it.
  void setDelegate(OBApplicationDelegate* delegate);

  // Hands the request to the delegate; never ends the loop itself.
  void terminate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  OBApplicationDelegate* delegate_ = nullptr;
  bool termination_pending_ = false;
};

#endif  // SRC_APP_OB_APPLICATION_H_
