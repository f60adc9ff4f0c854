#include "launch/plotter_launch.h"

#include <cstring>

#include "launch/shell_command.h"
#include "launch/stop.h"
#include "platform/platform.h"
#include "runtime/exit_status.h"

namespace launch {

const char* const PLOT_COMMAND = platform::PLOT_COMMAND_TEXT;

namespace {

constexpr char SPAWN_FAILURE_TEXT[] = "Could not spawn gnuplot program";
// Only the runner's own "could not run at all" stops the program; whatever
// the plotting program itself returns is its business.
constexpr int COULD_NOT_RUN = -1;

}  // namespace

void launch_plotter() {
  const int result = run_shell_command(PLOT_COMMAND, std::strlen(PLOT_COMMAND));
  if (result == COULD_NOT_RUN) {
    stop_with_message(SPAWN_FAILURE_TEXT, sizeof SPAWN_FAILURE_TEXT - 1,
                      runtime::EXIT_PLOT_NOT_SPAWNED);
  }
}

}  // namespace launch
