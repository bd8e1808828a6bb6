// The program's own connection to the Wayland compositor, apart from Qt's: it
// binds the protocols Qt does not use for us (the idle protocols) or uses only
// with a serial of user input (xdg-activation), and reports through plain
// return values. Made on first use, once per process; UI thread only.
#ifndef SRC_NATIVE_WAYLAND_CONNECTION_H_
#define SRC_NATIVE_WAYLAND_CONNECTION_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;
class QWidget;
struct wl_display;

class WaylandConnection {
 public:
  // Null outside a Wayland session, or when the compositor cannot be reached.
  static WaylandConnection* Get();
  ~WaylandConnection();

  // Milliseconds since the user's last input as the compositor's idle protocol
  // tells it (ext-idle-notify-v1, else KDE's org_kde_kwin_idle), counted from
  // when this connection was made at the earliest; nullopt when the compositor
  // offers neither or the connection broke. Below kIdleStep it reads 0.
  std::optional<uint64_t> IdleMilliseconds();

  // A fresh xdg-activation token made without any serial of user input, which
  // compositors take as "this program wants attention" rather than as
  // permission to take the focus; empty when the compositor has no xdg-activation.
  std::string AttentionToken();

  // The compositor notifies idleness after this long without input.
  static constexpr std::chrono::milliseconds kIdleStep{100};

  // Wayland listener entry points; not for other callers.
  struct Globals;
  void OnIdle();
  void OnResumed();

 private:
  explicit WaylandConnection(wl_display* display);
  bool Roundtrip();
  void Dispatch();
  void Lose();

  wl_display* display_;
  std::unique_ptr<Globals> globals_;
  std::unique_ptr<QSocketNotifier> notifier_;
  // When the compositor last said the user went idle (minus kIdleStep); unset
  // while the user is active.
  std::optional<std::chrono::steady_clock::time_point> idle_since_;
};

// Asks the compositor to show that |window| wants attention (xdg-activation
// without a valid token: "demands attention" on KDE, a notice on GNOME, the
// urgent mark on wlroots compositors). Says once on standard error when the
// compositor offers no way to do so.
void RequestWaylandAttention(QWidget* window);

#endif  // SRC_NATIVE_WAYLAND_CONNECTION_H_
