// The numbered run-time report: one fixed form for every fatal failure.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "platform/platform.h"

namespace runtime {

enum class Severity : int { unlabelled = 0, info = 1, warning = 2, error = 3, severe = 4 };

/// One entry of the message catalog.
struct RuntimeMessage {
  int number;
  Severity severity;
  const char* text;  // template: %d %i %ld decimal, %lx hexadecimal, %s text
};

/// The catalog entry for the low 16 bits of `number`; null when absent.
/// Signal-safe.
const RuntimeMessage* find_runtime_message(int number);

/// One fill-in of a message template: a number or a text.
struct FillIn {
  FillIn(long number) : is_text(false), number(number), text(nullptr) {}
  FillIn(int number) : FillIn(static_cast<long>(number)) {}
  FillIn(unsigned number) : FillIn(static_cast<long>(number)) {}
  FillIn(const char* text) : is_text(true), number(0), text(text) {}
  bool is_text;
  long number;
  const char* text;
};

constexpr std::size_t REPORT_BUFFER_SIZE = 16384;

/// Reports catalog message `number` with its fill-ins: message line,
/// traceback for severities error and severe, to standard error and the
/// log. Returns for severities up to error; for severe, runs the exit
/// processing and ends the process with the number as its status.
/// Not signal-safe (obtains its buffer from the heap).
void report_runtime_message(int number, std::initializer_list<FillIn> fill_ins = {});

/// The same with a buffer the caller owns (the fault path's preallocated
/// one), and the exception being reported, if any. Signal-safe.
void report_runtime_message_in(char* buffer, std::size_t size, int number,
                               std::initializer_list<FillIn> fill_ins,
                               const platform::ProcessorException* exception);

/// A file failure: the reason line first when `reason` is given, then the
/// report of `number` with ", unit %d, file %s" filled with `unit` and
/// `file`.
void report_file_failure(int number, int unit, const char* file,
                         const platform::Failure* reason);

/// A file that could not be opened, reported with the number its reason
/// calls for (29, 9, 42, 43 or 30); the reason line comes first only for
/// reasons that no number names.
void report_open_failure(int unit, const char* file, const platform::Failure& failure);

/// "forrtl: " and the system's description of the reason, straight to
/// standard error (after its redirection), never to the log.
void write_reason_line(const platform::Failure& reason);

/// True when a debugger is attached or a debugger-present switch is on.
/// Signal-safe.
bool debugger_present();

}  // namespace runtime
