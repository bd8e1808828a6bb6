// SIGTERM, SIGINT and SIGHUP become requests to quit, handled on the UI thread
// instead of ending the process.
#ifndef SRC_APP_TERMINATION_SIGNALS_H_
#define SRC_APP_TERMINATION_SIGNALS_H_

#include <functional>

// From now on the signals no longer end the process; they are kept until
// DeliverTerminationSignals. Call once, early, in the browser process only.
void CatchTerminationSignals();

// Calls |on_terminate| on the UI thread, from the message loop, once for each
// signal caught, those caught before this call included. Needs the application
// object.
void DeliverTerminationSignals(std::function<void()> on_terminate);

#endif  // SRC_APP_TERMINATION_SIGNALS_H_
