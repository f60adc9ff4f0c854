// Handing the traced points to the plotting program.
#pragma once

namespace launch {

/// The plotting command line for this system.
extern const char* const PLOT_COMMAND;

/// Runs the plotting command; stops with "Could not spawn gnuplot program"
/// when it cannot be run at all.
void launch_plotter();

}  // namespace launch
