#include "engine/command_line.h"

namespace engine {

CommandLine::CommandLine(int argc, const char* const* argv) {
  if (argc > 0 && argv[0])
    program_ = argv[0];
  bool only_arguments = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    if (only_arguments || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      arguments_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_arguments = true;
      continue;
    }
    Switch s;
    const size_t eq = arg.find('=');
    s.name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    if (eq != std::string::npos) {
      s.value = arg.substr(eq + 1);
      s.has_value = true;
    }
    switches_.push_back(std::move(s));
  }
}

std::string CommandLine::GetSwitchValue(const std::string& name) const {
  for (const Switch& s : switches_) {
    if (s.name == name)
      return s.value;
  }
  return {};
}

void CommandLine::AppendSwitch(const std::string& name) {
  switches_.push_back({name, {}, false});
}

void CommandLine::AppendSwitchWithValue(const std::string& name,
                                        const std::string& value) {
  switches_.push_back({name, value, true});
}

std::vector<std::string> CommandLine::GetArgv() const {
  std::vector<std::string> argv{program_};
  for (const Switch& s : switches_)
    argv.push_back("--" + s.name + (s.has_value ? "=" + s.value : ""));
  for (const std::string& a : arguments_)
    argv.push_back(a);
  return argv;
}

}  // namespace engine
