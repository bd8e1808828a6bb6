#include "native/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kEntryGroup[] = "[Desktop Entry]";
// Written false by desktops' startup-application settings when the user unticks an
// entry; the session then starts nothing for it.
constexpr char kEnabledKey[] = "X-GNOME-Autostart-enabled";
// Names tried for a new entry: lumio.desktop, lumio-2.desktop, ...
constexpr int kMaxEntryNames = 100;

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string TrimSpaces(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
}

// The escapes that every string value of a desktop entry may carry.
std::string UnescapeStringValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

std::string EscapeStringValue(const std::string& value) {
  std::string out;
  for (const char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One Exec argument in double quotes; inside them '"', '`', '$' and '\' take a
// backslash, and '%' is doubled so that it is not read as a field code.
std::string QuoteExecArgument(const std::string& argument) {
  std::string out = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      out += '\\';
    else if (c == '%')
      out += '%';
    out += c;
  }
  return out + "\"";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

std::string Canonical(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::canonical(path, error);
  return error ? std::string() : canonical.string();
}

// Where the program that Exec names lives: an absolute path as it stands, a bare name
// through the search path. A relative path would depend on a working folder that the
// session does not promise, so it names nothing.
std::string ResolveProgram(const std::string& name, const std::string& search_path) {
  if (name.empty())
    return {};
  if (name[0] == '/')
    return Canonical(name);
  if (name.find('/') != std::string::npos)
    return {};
  size_t begin = 0;
  while (begin <= search_path.size()) {
    size_t end = search_path.find(':', begin);
    if (end == std::string::npos)
      end = search_path.size();
    const std::string folder = search_path.substr(begin, end - begin);
    begin = end + 1;
    if (folder.empty() || folder[0] != '/')
      continue;
    const std::string candidate = folder + "/" + name;
    std::error_code error;
    if (fs::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0)
      return Canonical(candidate);
  }
  return {};
}

// The canonical path of the program |entry| would start; "" for none.
std::string StartedProgram(const DesktopEntry& entry, const std::string& search_path) {
  if (entry.hidden || !entry.enabled)
    return {};
  return ResolveProgram(ExecProgram(entry.exec), search_path);
}

// The key of a "key=value" line, without the spaces around it; "" for other lines.
std::string KeyOf(const std::string& line) {
  const size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : TrimSpaces(line.substr(0, equals));
}

// Calls |fn(line, carriage_return, newline)| for each line of |text|: the line
// without its line end, whether it ended in "\r\n" and whether a "\n" followed.
template <typename Fn>
void ForEachLine(const std::string& text, Fn fn) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(begin, end - begin);
    const bool carriage_return = !line.empty() && line.back() == '\r';
    if (carriage_return)
      line.pop_back();
    fn(line, carriage_return, end < text.size());
    begin = end + 1;
  }
}

// |text| with the enabled key of its "[Desktop Entry]" group set to true, and every
// other line as the user or the desktop wrote it.
std::string EnabledEntryText(const std::string& text) {
  std::string out;
  bool in_group = false;
  ForEachLine(text, [&](std::string line, bool carriage_return, bool newline) {
    if (!line.empty() && line[0] == '[')
      in_group = line == kEntryGroup;
    else if (in_group && KeyOf(line) == kEnabledKey)
      line = std::string(kEnabledKey) + "=true";
    out += line;
    if (carriage_return)
      out += '\r';
    if (newline)
      out += '\n';
  });
  return out;
}

std::vector<std::string> EntryFiles(const std::string& directory) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code type_error;
    if (EndsWith(it->path().filename().string(), ".desktop") &&
        it->is_regular_file(type_error)) {
      files.push_back(it->path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool WriteAll(int fd, const std::string& content) {
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

// Writes a hidden temporary file beside |path| (its name does not end in ".desktop",
// so the session never reads it) and renames it over |path|: a crash leaves either
// the old file or the complete new one.
bool WriteFileAtomically(const std::string& path, const std::string& content) {
  const fs::path target(path);
  std::string temp =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return false;
  bool ok = WriteAll(fd, content) && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder.
  const int dir_fd =
      open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    fsync(dir_fd);
    close(dir_fd);
  }
  return true;
}

// The first entry name that is free, or holds an entry that starts nothing.
std::string NewEntryPath(const std::string& directory,
                         const std::string& search_path,
                         const std::string& desktop_id) {
  for (int n = 1; n <= kMaxEntryNames; ++n) {
    const std::string name = n == 1 ? desktop_id + ".desktop"
                                    : desktop_id + "-" + std::to_string(n) + ".desktop";
    std::string path = directory + "/" + name;
    std::error_code error;
    // A dangling link starts nothing either; renaming over it replaces the link.
    const fs::file_type type = fs::status(path, error).type();
    if (type == fs::file_type::not_found)
      return path;
    if (type == fs::file_type::regular &&
        StartedProgram(ParseDesktopEntry(ReadFile(path)), search_path).empty()) {
      return path;
    }
  }
  return {};
}

}  // namespace

std::string AutostartDirectory(const std::string& config_home) {
  if (config_home.empty())
    return {};
  return (config_home.back() == '/' ? config_home : config_home + "/") + "autostart";
}

DesktopEntry ParseDesktopEntry(const std::string& text) {
  DesktopEntry entry;
  bool in_group = false;
  ForEachLine(text, [&](const std::string& line, bool, bool) {
    if (line.empty() || line[0] == '#')
      return;
    if (line[0] == '[') {
      in_group = line == kEntryGroup;
      return;
    }
    const size_t equals = line.find('=');
    if (!in_group || equals == std::string::npos)
      return;
    // Spaces around "=" are not part of the key or the value.
    const std::string key = TrimSpaces(line.substr(0, equals));
    const std::string value = line.substr(equals + 1);
    const size_t value_begin = value.find_first_not_of(" \t");
    const std::string trimmed =
        value_begin == std::string::npos ? std::string() : value.substr(value_begin);
    // A repeated key takes its last value, as GLib's key files do.
    if (key == "Exec")
      entry.exec = UnescapeStringValue(trimmed);
    else if (key == "Hidden")
      entry.hidden = TrimSpaces(trimmed) == "true" || TrimSpaces(trimmed) == "1";
    else if (key == kEnabledKey)
      entry.enabled = !(TrimSpaces(trimmed) == "false" || TrimSpaces(trimmed) == "0");
  });
  return entry;
}

std::string ExecProgram(const std::string& exec) {
  const size_t start = exec.find_first_not_of(" \t");
  if (start == std::string::npos)
    return {};
  std::string argument;
  if (exec[start] == '"') {
    size_t i = start + 1;
    for (; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size() &&
          std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) {
        ++i;
      }
      argument += exec[i];
    }
    if (i == exec.size())
      return {};
  } else {
    argument = exec.substr(start, exec.find_first_of(" \t", start) - start);
  }
  std::string program;
  for (size_t i = 0; i < argument.size(); ++i) {
    program += argument[i];
    if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%')
      ++i;
  }
  return program;
}

std::string AutostartEntryText(const std::string& program, const AppIdentity& identity) {
  const std::string name = EscapeStringValue(identity.name);
  return std::string(kEntryGroup) +
         "\n"
         "Type=Application\n"
         "Name=" +
         name +
         "\n"
         "Comment=Start " +
         name +
         " when you log in\n"
         "Exec=" +
         EscapeStringValue(QuoteExecArgument(program)) +
         "\n"
         "Icon=" +
         EscapeStringValue(identity.desktop_id) +
         "\n"
         "Terminal=false\n";
}

std::string FindLoginItem(const std::string& directory,
                          const std::string& program,
                          const std::string& search_path) {
  const std::string self = Canonical(program);
  if (self.empty() || directory.empty())
    return {};
  for (const std::string& path : EntryFiles(directory)) {
    if (StartedProgram(ParseDesktopEntry(ReadFile(path)), search_path) == self)
      return path;
  }
  return {};
}

bool RegisterLoginItem(const std::string& directory,
                       const std::string& program,
                       const std::string& search_path,
                       const AppIdentity& identity) {
  const std::string self = Canonical(program);
  if (self.empty() || directory.empty())
    return false;
  if (!FindLoginItem(directory, self, search_path).empty())
    return true;
  // An entry of this program that the user disabled is enabled again where it is,
  // with the rest of it as they left it.
  for (const std::string& path : EntryFiles(directory)) {
    const std::string text = ReadFile(path);
    DesktopEntry entry = ParseDesktopEntry(text);
    entry.enabled = true;
    if (StartedProgram(entry, search_path) == self)
      return WriteFileAtomically(path, EnabledEntryText(text)) &&
             !FindLoginItem(directory, self, search_path).empty();
  }
  std::error_code error;
  fs::create_directories(directory, error);
  if (error)
    return false;
  const std::string path = NewEntryPath(directory, search_path, identity.desktop_id);
  return !path.empty() && WriteFileAtomically(path, AutostartEntryText(self, identity));
}

bool UnregisterLoginItem(const std::string& directory,
                         const std::string& program,
                         const std::string& search_path) {
  const std::string path = FindLoginItem(directory, program, search_path);
  return path.empty() || unlink(path.c_str()) == 0 || errno == ENOENT;
}
