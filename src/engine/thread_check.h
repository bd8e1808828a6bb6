// LUMIO_ASSERT_UI_THREAD(): ends the program, naming the file and line on stderr,
// when the code around it runs off the UI thread. It is live in every build,
// release builds included (unlike Q_ASSERT and assert, which NDEBUG and QT_NO_DEBUG
// turn off): a callback that touches shared state from another thread would
// otherwise race silently in the builds that are actually run.
#ifndef SRC_ENGINE_THREAD_CHECK_H_
#define SRC_ENGINE_THREAD_CHECK_H_

#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"

namespace engine {
namespace internal {

[[noreturn]] inline void UIThreadCheckFailed(const char* file, int line) {
  std::fprintf(stderr, "%s:%d: called off the UI thread\n", file, line);
  std::abort();
}

}  // namespace internal
}  // namespace engine

#define LUMIO_ASSERT_UI_THREAD()                                   \
  do {                                                             \
    if (!::engine::CurrentlyOnUIThread())                          \
      ::engine::internal::UIThreadCheckFailed(__FILE__, __LINE__); \
  } while (0)

#endif  // SRC_ENGINE_THREAD_CHECK_H_
