// The count on the program's launcher icon (docks, task managers), sent as the
// com.canonical.Unity.LauncherEntry "Update" signal on the session bus: the
// launchers that show counts listen for it, the others ignore it.
#ifndef SRC_NATIVE_LAUNCHER_ENTRY_H_
#define SRC_NATIVE_LAUNCHER_ENTRY_H_

#include <cstdint>
#include <optional>

// Shows |count| on the launcher entry of this program's desktop file, or removes
// the count when there is none.
void LauncherEntrySetCount(std::optional<int32_t> count);

#endif  // SRC_NATIVE_LAUNCHER_ENTRY_H_
