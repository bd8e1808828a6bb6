// Operations on the main window (native/main_window.h), as the page and the quit
// sequence reach them. Each does nothing when there is no main window. UI thread
// only.
#ifndef SRC_NATIVE_WINDOW_OPERATIONS_H_
#define SRC_NATIVE_WINDOW_OPERATIONS_H_

#include <QObject>

#include "bridge/bridge_services.h"
#include "native/window_state.h"

class MainWindow;

// Shows the main window, brings it to the front and gives it the keyboard focus.
void MainWindowShow(MainWindow& main_window);
void MainWindowHide(MainWindow& main_window);
// Hidden when out of sight (hidden or minimised), focused when it has the
// keyboard focus, visible otherwise.
MainWindowState MainWindowGetState(MainWindow& main_window);

// The page's WindowService: acts on |main_window|, which must outlive it.
class MainWindowService : public WindowService {
 public:
  explicit MainWindowService(MainWindow& main_window);

  void Show() override;
  void Hide() override;
  void Minimize() override;
  // The user is looking already when the window has the focus.
  void Flash() override;
  void Unflash() override;
  void SetTopmost(bool enabled) override;
  void SetAlpha(int value) override;
  MainWindowState GetState() override;

 private:
  void SetAttention(bool on);

  MainWindow& main_window_;
  bool attention_ = false;
  // The connections of this service go with it.
  QObject context_;
};

#endif  // SRC_NATIVE_WINDOW_OPERATIONS_H_
