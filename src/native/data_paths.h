// Where the program keeps its data, after the XDG Base Directory rules. Nothing here
// creates anything on disk.
#ifndef SRC_NATIVE_DATA_PATHS_H_
#define SRC_NATIVE_DATA_PATHS_H_

#include <string>

// $XDG_DATA_HOME when it is set to an absolute path (relative ones are invalid and
// ignored), else $HOME/.local/share when $HOME is an absolute path; "" when neither.
// Either argument may be null (unset). Trailing slashes are dropped.
std::string UserDataHome(const char* xdg_data_home, const char* home);

// The same rules for $XDG_CONFIG_HOME, whose default is $HOME/.config.
std::string UserConfigHome(const char* xdg_config_home, const char* home);

// The engine's cache folder, in the program's |folder| below |data_home|; "" when
// |data_home| is empty.
std::string EngineCachePath(const std::string& data_home, const std::string& folder);

#endif  // SRC_NATIVE_DATA_PATHS_H_
