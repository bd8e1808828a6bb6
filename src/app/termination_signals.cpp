#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace {

// Process-wide because a signal handler reaches nothing else: it takes no
// argument, and may only make async-signal-safe calls (write to this pipe).
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  // Only async-signal-safe calls here; the UI thread does the work. A full pipe
  // drops the byte, but a request to quit is pending then anyway.
  const int saved_errno = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t written = write(g_signal_pipe[1], &byte, 1);
  errno = saved_errno;
}

}  // namespace

void CatchTerminationSignals() {
  if (g_signal_pipe[0] >= 0 || pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP})
    sigaction(signal_number, &action, nullptr);
}

void DeliverTerminationSignals(std::function<void()> on_terminate) {
  if (g_signal_pipe[0] < 0)
    return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read,
                                       QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [on_terminate = std::move(on_terminate)] {
                     char buffer[16];
                     ssize_t count;
                     while ((count = read(g_signal_pipe[0], buffer, sizeof buffer)) > 0) {
                       for (ssize_t i = 0; i < count; ++i)
                         on_terminate();
                     }
                   });
}
