#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; the UI thread does the work.
  [[maybe_unused]] ssize_t written = write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

void InstallTerminationHandler(std::function<void()> on_terminate) {
  if (g_signal_pipe[0] >= 0 || pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read,
                                       QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [on_terminate = std::move(on_terminate)] {
                     char buffer[16];
                     while (read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
                     }
                     on_terminate();
                   });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}
