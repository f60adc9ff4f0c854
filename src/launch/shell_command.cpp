#include "launch/shell_command.h"

#include <string_view>

#include "launch/command_line.h"
#include "platform/platform.h"

namespace launch {

int run_shell_command(const char* command, std::size_t length) {
  return platform::run_command_interpreter(without_trailing_blanks(std::string_view(command, length)));
}

}  // namespace launch
