// A Chromium-style command line: a program name followed by "--name" or
// "--name=value" switches and plain arguments.
#ifndef SRC_ENGINE_COMMAND_LINE_H_
#define SRC_ENGINE_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace engine {

class CommandLine {
 public:
  CommandLine() = default;
  CommandLine(int argc, const char* const* argv);

  const std::string& GetProgram() const { return program_; }
  void SetProgram(const std::string& program) { program_ = program; }

  // Empty when the switch is absent or has no value.
  std::string GetSwitchValue(const std::string& name) const;
  void AppendSwitch(const std::string& name);
  void AppendSwitchWithValue(const std::string& name, const std::string& value);

  // The program followed by every switch and argument, in order.
  std::vector<std::string> GetArgv() const;

 private:
  struct Switch {
    std::string name;
    std::string value;
    bool has_value = false;
  };
  std::string program_;
  std::vector<Switch> switches_;
  std::vector<std::string> arguments_;
};

}  // namespace engine

#endif  // SRC_ENGINE_COMMAND_LINE_H_
