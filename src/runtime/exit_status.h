// Exit statuses of the program, besides a severe report's message number.
#pragma once

#include "platform/platform.h"

namespace runtime {

/// The main routine ended and the plotting command ran.
constexpr int EXIT_NORMAL = 0;
/// The plotting command could not be run at all: the data file is complete,
/// but the plot the user asked for failed.
constexpr int EXIT_PLOT_NOT_SPAWNED = 1;
/// A stop found another stop already under way.
constexpr int EXIT_STOP_IN_PROGRESS = 0;
/// Console events: control-C is the system's own status for an interrupted
/// program; control-BREAK and window-CLOSE carry their event codes.
inline int exit_status_control_c() { return platform::CONTROL_C_EXIT_STATUS; }
constexpr int EXIT_CONTROL_BREAK = 1;
constexpr int EXIT_WINDOW_CLOSE = 2;

}  // namespace runtime
