// Start-up and normal end of the process, around the main routine.
#pragma once

#include "platform/platform.h"

namespace runtime {

/// Prepares the process; runs once, a second call does nothing.
void start_runtime();

/// Runs the exit processing and returns the status for the process exit.
int finish_runtime();

/// The exception being reported and whether a debugger is present, while
/// a processor exception is reported. The slot exists from start-up until
/// the exit processing; reports carry a traceback only while it exists.
struct ExceptionContextSlot {
  const platform::ProcessorException* exception;
  bool debugger_present;
};

/// Null when the slot does not exist (before start-up, after the exit
/// processing). Signal-safe.
ExceptionContextSlot* exception_context_slot();

/// Creates the slot, empty (start-up).
void create_exception_context_slot();
/// Empties and releases the slot (exit processing). Signal-safe.
void release_exception_context_slot();

}  // namespace runtime

namespace runtime {

/// The process entry: processor exceptions handled from before the
/// start-up until `main_routine` returns, then the normal end. Returns the
/// exit status.
int run_process(void (*main_routine)());

}  // namespace runtime
