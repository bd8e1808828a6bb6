// Top-level windows that hold a browser view.
//
// BrowserWindow is the main window's class: a plain top-level widget whose content
// is the browser view, with an optional frame autosave name under which its
// geometry is kept in the user's settings whenever it changes.
// KeyableWindow is the class of popup windows: it may be frameless and still take
// the keyboard focus. Closing either asks the window's delegate (through the
// close event), with a frame or without.
#ifndef SRC_NATIVE_BROWSER_WINDOW_H_
#define SRC_NATIVE_BROWSER_WINDOW_H_

#include <QTimer>
#include <QWidget>

class BrowserWindow : public QWidget {
  Q_OBJECT
 public:
  explicit BrowserWindow(Qt::WindowFlags flags = Qt::Window);

  // Saves the geometry under |name| from now on (empty: no saving).
  void SetFrameAutosaveName(const QString& name);
  // Restores the geometry saved under |name|; false when there is none.
  bool SetFrameUsingName(const QString& name);

  // Set when the window was asked to minimise on a compositor that never says
  // whether it did (Wayland's xdg-shell); cleared once the window is active again.
  bool minimize_requested() const { return minimize_requested_; }
  void set_minimize_requested(bool requested) { minimize_requested_ = requested; }
  // True while the window is unmapped and mapped again in one step, which is no
  // change the page should hear of.
  bool remapping() const { return remapping_; }
  void set_remapping(bool remapping) { remapping_ = remapping; }

 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void SaveFrame();

  QString autosave_name_;
  QTimer save_timer_;
  bool minimize_requested_ = false;
  bool remapping_ = false;
};

class KeyableWindow : public BrowserWindow {
  Q_OBJECT
 public:
  explicit KeyableWindow(Qt::WindowFlags flags = Qt::Window);
};

#endif  // SRC_NATIVE_BROWSER_WINDOW_H_
