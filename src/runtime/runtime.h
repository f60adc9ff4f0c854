// Start-up and normal end of the process, around the main routine.
#pragma once

#include "platform/platform.h"

namespace runtime {

/// Prepares the process; runs once, a second call does nothing.
void start_runtime();

/// Runs the exit processing and returns the status for the process exit.
int finish_runtime();

/// The exception context exists from start-up until the exit processing;
/// reports carry a traceback only while it exists. The exception being
/// reported travels with its report, so that a report on another thread
/// never starts its traceback from it. Signal-safe.
bool exception_context_exists();

/// Creates the exception context (start-up).
void create_exception_context();
/// Releases the exception context (exit processing). Signal-safe.
void release_exception_context();

}  // namespace runtime

namespace runtime {

/// The process entry: processor exceptions handled from before the
/// start-up until `main_routine` returns, then the normal end. Returns the
/// exit status.
int run_process(void (*main_routine)());

}  // namespace runtime
