// Starting at login the freedesktop.org way: a desktop entry in the user's
// autostart folder ($XDG_CONFIG_HOME/autostart) whose Exec starts the program.
// Paths come in as arguments, so that tests can use any folder.
//
// An entry counts for |program| when it is a "*.desktop" file of the folder that is
// neither Hidden=true nor disabled (X-GNOME-Autostart-enabled=false, which desktops'
// startup-application settings write when the user unticks it) and whose Exec
// names |program| itself: the first argument of Exec,
// a bare name looked up in |search_path| (as $PATH), resolved to its canonical path,
// equals the canonical path of |program|. An entry left by a copy that was moved or
// deleted names a path that resolves elsewhere or not at all, and does not count.
// Entries are taken in the order of their file names.
#ifndef SRC_NATIVE_AUTOSTART_H_
#define SRC_NATIVE_AUTOSTART_H_

#include <string>

#include "native/app_identity.h"

// The folder below the user's configuration home ("" when that is unknown).
std::string AutostartDirectory(const std::string& config_home);

// The keys of the "[Desktop Entry]" group that autostart decides by. |exec| has the
// string escapes (\s \n \t \r \\) undone but its quoting kept.
struct DesktopEntry {
  std::string exec;
  bool hidden = false;
  bool enabled = true;  // X-GNOME-Autostart-enabled
};
DesktopEntry ParseDesktopEntry(const std::string& text);

// The program an Exec value starts: its first argument, unquoted, with "%%" read as
// "%"; "" when there is none or its quotes are not closed.
std::string ExecProgram(const std::string& exec);

// A complete desktop entry, named and with the icon of |identity|, that starts
// |program| with no arguments; Exec holds the path quoted, so spaces, quotes, "$",
// "%" and backslashes in it survive.
std::string AutostartEntryText(const std::string& program, const AppIdentity& identity);

// The path of the first entry that counts for |program|; "" when none does.
std::string FindLoginItem(const std::string& directory,
                          const std::string& program,
                          const std::string& search_path);

// Adds an entry for |program| unless one counts already, creating the folder when
// needed. An entry for |program| that is only disabled is enabled where it is, the
// rest of its text kept. Otherwise the new entry is "<desktop id>.desktop", or
// "<desktop id>-2.desktop" and on when that name holds an entry that starts another
// program; an entry there that would start nothing (hidden, disabled, or naming a
// program that is gone) is replaced. The file appears complete or not at all: it
// is written beside, then renamed. False when nothing counts afterwards.
bool RegisterLoginItem(const std::string& directory,
                       const std::string& program,
                       const std::string& search_path,
                       const AppIdentity& identity);

// Removes the first entry that counts for |program|. False when one counted and
// could not be removed.
bool UnregisterLoginItem(const std::string& directory,
                         const std::string& program,
                         const std::string& search_path);

#endif  // SRC_NATIVE_AUTOSTART_H_
