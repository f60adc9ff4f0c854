// The numbered run-time report.
//
// Composition and emission are signal-safe: they allocate nothing, use no
// stdio and take no lock, so that the processor-exception handler can report
// through them with its preallocated buffer.
#include "runtime/report.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "runtime/env_switch.h"
#include "runtime/runtime.h"
#include "runtime/traceback.h"
#include "runtime/units.h"

namespace runtime {
namespace {

/// Text appended into a caller's buffer; what does not fit is cut, and a
/// null buffer only counts. Signal-safe.
class TextBuilder {
 public:
  TextBuilder(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void put(char c) {
    if (buffer_ != nullptr && length_ < capacity_) buffer_[length_] = c;
    ++length_;
  }
  void put(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) put(text[i]);
  }
  void put(const char* text) { put(text, std::strlen(text)); }

  void put_unsigned(unsigned long value, unsigned base) {
    char digits[32];
    std::size_t count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0);
    while (count > 0) put(digits[--count]);
  }
  void put_decimal(long value) {
    if (value < 0) put('-');
    put_unsigned(value < 0 ? 0ul - static_cast<unsigned long>(value)
                           : static_cast<unsigned long>(value),
                 10);
  }

  /// Bytes written so far, never more than the capacity.
  std::size_t stored() const { return length_ < capacity_ ? length_ : capacity_; }
  /// Bytes the text needs.
  std::size_t needed() const { return length_; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

const char* const SEVERITY_WORDS[] = {"", "info", "warning", "error", "severe"};

/// "forrtl: " and, for a labelled severity, the word and the number.
void put_prefix(TextBuilder& text, Severity severity, int number) {
  text.put("forrtl: ");
  if (severity == Severity::unlabelled) return;
  text.put(SEVERITY_WORDS[static_cast<int>(severity)]);
  text.put(" (");
  text.put_decimal(number);
  text.put("): ");
}

/// The template with its fill-ins in order; a field without a fill-in is
/// left as it stands.
void put_filled(TextBuilder& text, const char* pattern, std::initializer_list<FillIn> fill_ins) {
  const FillIn* next = fill_ins.begin();
  const FillIn* const end = fill_ins.end();
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '%') {
      text.put(*p);
      continue;
    }
    const char* field = p + 1;
    bool is_long = false;
    if (*field == 'l') {
      is_long = true;
      ++field;
    }
    const char conversion = *field;
    const bool known = conversion == 'd' || conversion == 'i' || conversion == 's' ||
                       (conversion == 'x' && is_long);
    if (conversion == '%') {
      text.put('%');
      p = field;
    } else if (!known || next == end) {
      text.put('%');
    } else {
      const FillIn& fill_in = *next++;
      if (conversion == 's') {
        text.put(fill_in.is_text && fill_in.text != nullptr ? fill_in.text : "");
      } else if (conversion == 'x') {
        text.put_unsigned(static_cast<unsigned long>(fill_in.number), 16);
      } else {
        text.put_decimal(fill_in.number);
      }
      p = field;
    }
  }
}

std::atomic_flag standard_error_redirected = ATOMIC_FLAG_INIT;

/// On the first report only: standard error goes to the FORT0 file.
/// Signal-safe.
void redirect_standard_error_once() {
  if (standard_error_redirected.test_and_set()) return;
  const char* destination = std::getenv("FORT0");
  if (destination != nullptr && *destination != '\0') platform::redirect_standard_error(destination);
}

/// A number missing from the catalog cannot be raised by this program; it
/// is still shown rather than lost.
constexpr RuntimeMessage UNKNOWN_MESSAGE = {0, Severity::severe, "unknown message"};

const RuntimeMessage& message_for(int number) {
  const RuntimeMessage* message = find_runtime_message(number);
  return message != nullptr ? *message : UNKNOWN_MESSAGE;
}

/// Message line, then CR LF.
void put_message_line(TextBuilder& text, int number, std::initializer_list<FillIn> fill_ins) {
  const RuntimeMessage& message = message_for(number);
  put_prefix(text, message.severity, number);
  put_filled(text, message.text, fill_ins);
  text.put("\r\n");
}

struct ReportPlan {
  bool debugger;
  bool traceback;
};

ReportPlan plan_report() {
  const bool debugger = debugger_present();
  return ReportPlan{debugger, !debugger && !env_switch_on("FOR_DISABLE_STACK_TRACE")};
}

/// Composes the report in `buffer` (zero-terminated) and returns its length.
std::size_t compose_report(char* buffer, std::size_t size, int number,
                           std::initializer_list<FillIn> fill_ins, bool with_traceback,
                           const platform::ProcessorException* exception) {
  TextBuilder text(buffer, size - 1);
  put_message_line(text, number, fill_ins);
  std::size_t length = text.stored();
  if (with_traceback && message_for(number).severity >= Severity::error && exception_context_exists() &&
      length < size - 1) {
    length += write_traceback(buffer + length, size - 1 - length, exception);
  }
  buffer[length] = '\0';
  return length;
}

/// To the log file, then (unless suppressed) to standard error.
void emit_report(const char* report, std::size_t length) {
  const char* log = std::getenv("FOR_DIAGNOSTIC_LOG_FILE");
  if (log != nullptr && *log != '\0') platform::append_text_to_file(log, report, length);
  if (!env_switch_on("FOR_DISABLE_DIAGNOSTIC_DISPLAY")) platform::write_standard_error_text(report, length);
}

/// What follows the emitted report: the end of the process for severe.
/// A processor exception with a debugger present is left to the debugger.
void conclude_report(int number, const ReportPlan& plan, bool flush_streams,
                     const platform::ProcessorException* exception) {
  const Severity severity = message_for(number).severity;
  if (severity < Severity::error) return;
  if (exception != nullptr && plan.debugger) return;
  if (severity == Severity::severe) run_exit_processing();
  if (plan.debugger && platform::debugger_attached()) platform::break_into_debugger();
  if (severity != Severity::severe) return;
  const int status = number & 0xFFFF;
  if (flush_streams) platform::exit_process(status);
  platform::exit_process_now(status);
}

/// The report's buffer could not be had: the message line alone, in a
/// buffer just large enough; failing that, a notice naming the number.
void report_without_buffer(int number, std::initializer_list<FillIn> fill_ins) {
  TextBuilder measure(nullptr, 0);
  put_message_line(measure, number, fill_ins);
  const std::size_t size = measure.needed() + 21;
  std::unique_ptr<char[]> line(new (std::nothrow) char[size]);
  if (line) {
    emit_report(line.get(), compose_report(line.get(), size, number, fill_ins, false, nullptr));
    return;
  }
  char notice[128];
  emit_report(notice, compose_report(notice, sizeof notice, 502, {number}, false, nullptr));
}

}  // namespace

bool debugger_present() {
  return platform::debugger_attached() || env_switch_on("FOR__IS_DEBUGGER_PRESENT") ||
         env_switch_on("FOR_DEBUGGER_IS_PRESENT");
}

void report_runtime_message(int number, std::initializer_list<FillIn> fill_ins) {
  const ReportPlan plan = plan_report();
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[REPORT_BUFFER_SIZE]);
  redirect_standard_error_once();
  if (buffer) {
    const std::size_t length =
        compose_report(buffer.get(), REPORT_BUFFER_SIZE, number, fill_ins, plan.traceback, nullptr);
    emit_report(buffer.get(), length);
  } else {
    report_without_buffer(number, fill_ins);
  }
  buffer.reset();
  conclude_report(number, plan, true, nullptr);
}

void report_runtime_message_in(char* buffer, std::size_t size, int number,
                               std::initializer_list<FillIn> fill_ins,
                               const platform::ProcessorException* exception) {
  const ReportPlan plan = plan_report();
  redirect_standard_error_once();
  emit_report(buffer, compose_report(buffer, size, number, fill_ins, plan.traceback, exception));
  conclude_report(number, plan, false, exception);
}

void write_reason_line(const platform::Failure& reason) {
  redirect_standard_error_once();
  const std::string description = platform::describe_failure(reason);
  std::string line = "forrtl: ";
  if (description.empty()) {
    char replacement[96];
    TextBuilder text(replacement, sizeof replacement);
    text.put("FormatMessage failed for sysmem message number ");
    text.put_unsigned(static_cast<std::uint32_t>(reason.reason), 10);
    line.append(replacement, text.stored());
  } else {
    line += description;
  }
  platform::write_standard_error_text(line.data(), line.size());
}

void report_file_failure(int number, int unit, const char* file, const platform::Failure* reason) {
  if (reason != nullptr) write_reason_line(*reason);
  report_runtime_message(number, {unit, file});
}

}  // namespace runtime
