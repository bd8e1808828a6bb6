// SIGTERM and SIGINT, delivered on the UI thread instead of ending the process.
#ifndef SRC_APP_TERMINATION_SIGNALS_H_
#define SRC_APP_TERMINATION_SIGNALS_H_

#include <functional>

// Calls |on_terminate| on the UI thread for each SIGTERM or SIGINT. Needs the
// application object.
void InstallTerminationHandler(std::function<void()> on_terminate);

#endif  // SRC_APP_TERMINATION_SIGNALS_H_
