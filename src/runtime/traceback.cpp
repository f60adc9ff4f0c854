// The traceback appended to serious reports: formatting of its lines and
// the walk that feeds them.
//
// Safety contract: everything here may run in a signal handler, on a thread
// that faulted anywhere. No allocation, no stdio, no lock other than the
// writer's own flag; text is built by hand into the caller's buffer.
#include "runtime/traceback.h"

#include <atomic>
#include <cstring>

#include "runtime/env_switch.h"
#include "runtime/traceback_format.h"

namespace runtime {

// ---------------------------------------------------------------------------
// TextSink
// ---------------------------------------------------------------------------

// Signal-safe.
void TextSink::append(const char* text, std::size_t size) {
  if (full_) return;
  std::size_t take = size;
  if (take > room_ - used_) {
    take = room_ - used_;
    full_ = true;
  }
  std::memcpy(buffer_ + used_, text, take);
  used_ += take;
}

// Signal-safe.
void TextSink::claim(std::size_t size) {
  if (size >= room_ - used_) {
    size = room_ - used_;
    full_ = true;
  }
  used_ += size;
}

// Signal-safe.
void TextSink::append(const char* text) { append(text, std::strlen(text)); }

// Signal-safe.
void TextSink::append_repeated(char c, std::size_t count) {
  for (std::size_t i = 0; i < count && !full_; ++i) append(&c, 1);
}

// Signal-safe.
void TextSink::append_hex(std::uint64_t value, int digits, bool uppercase) {
  const char* symbols = uppercase ? "0123456789ABCDEF" : "0123456789abcdef";
  char text[16];
  int count = 0;
  do {
    text[15 - count] = symbols[value & 0xF];
    value >>= 4;
    ++count;
  } while (value != 0);
  if (count < digits) append_repeated('0', static_cast<std::size_t>(digits - count));
  append(text + 16 - count, static_cast<std::size_t>(count));
}

// Signal-safe.
void TextSink::append_decimal(std::uint64_t value) {
  char text[20];
  int count = 0;
  do {
    text[19 - count] = static_cast<char>('0' + value % 10);
    value /= 10;
    ++count;
  } while (value != 0);
  append(text + 20 - count, static_cast<std::size_t>(count));
}

// Signal-safe.
void TextSink::append_left(const char* text, std::size_t width) {
  const std::size_t size = strnlen(text, width);
  append(text, size);
  append_repeated(' ', width - size);
}

// Signal-safe.
void TextSink::append_right(const char* text, std::size_t width) {
  const std::size_t size = strnlen(text, width);
  append_repeated(' ', width - size);
  append(text, size);
}

// ---------------------------------------------------------------------------
// Lines
// ---------------------------------------------------------------------------

namespace {

// No tables map a program counter to its routine, source file and line.
constexpr const char* UNKNOWN = "Unknown";

// The flat 32-bit model: every segment reads 0 and every address is flat.
constexpr const char* ADDRESS_MODE = "AddrModeFlat";

// Signal-safe.
void append_address_line(runtime::TextSink& sink, const char* name, const char* offset_label,
                         const char* segment_label, const char* mode_label,
                         std::uint64_t offset) {
  sink.append(name);
  sink.append(offset_label);
  sink.append_hex(offset, 8, true);
  sink.append("  ");
  sink.append(name);
  sink.append(segment_label);
  sink.append_hex(0, 4, true);
  sink.append("  ");
  sink.append(name);
  sink.append(mode_label);
  sink.append(ADDRESS_MODE);
  sink.append("\n");
}

}  // namespace

// Signal-safe.
void append_short_header(TextSink& sink) {
  sink.append_left("Image", 19);
  sink.append_left("PC", 10);
  sink.append_left("Routine", 19);
  sink.append_left("Line", 12);
  sink.append_left("Source", 19);
  sink.append("\n");
}

// Signal-safe.
void append_short_frame(TextSink& sink, const platform::StackFrame& frame) {
  sink.append_left(frame.image, 17);
  sink.append("  ");
  sink.append_hex(frame.pc, 8, true);
  sink.append("  ");
  sink.append_left(UNKNOWN, 17);
  sink.append("  ");
  sink.append_right(UNKNOWN, 10);
  sink.append("  ");
  sink.append(UNKNOWN);
  sink.append("\n");
}

// Signal-safe.
void append_long_header(TextSink& sink) {
  sink.append("\n\nTraceback symbolic or hex stack dump follows:\n\n");
}

// Signal-safe.
void append_long_frame(TextSink& sink, int index, const platform::StackFrame& frame) {
  sink.append("--------- Frame # ");
  sink.append_decimal(static_cast<std::uint64_t>(index));
  sink.append(" ---------------------------------------\n\n");
  sink.append("Image:         ");
  sink.append(frame.image);
  sink.append("\nPC:            ");
  sink.append_hex(frame.pc, 8, false);
  sink.append("\nRoutine name:  ");
  sink.append(UNKNOWN);
  sink.append("\nSource file:   ");
  sink.append(UNKNOWN);
  sink.append("\nLine number:   ");
  sink.append(UNKNOWN);
  sink.append("\n\nInfo from StackFrame is:\n\n");
  append_address_line(sink, "PC", ".Offset:       ", ".Segment:       ", ".Mode:       ",
                      frame.pc);
  append_address_line(sink, "Return", ".Offset:   ", ".Segment:   ", ".Mode:   ",
                      frame.return_offset);
  append_address_line(sink, "Frame", ".Offset:    ", ".Segment:    ", ".Mode:    ",
                      frame.frame_offset);
  append_address_line(sink, "Stack", ".Offset:    ", ".Segment:    ", ".Mode:    ",
                      frame.stack_offset);
  for (int pair = 0; pair < 2; ++pair) {
    sink.append(pair == 0 ? "\nParams[0]:       " : "Params[2]:       ");
    sink.append_hex(frame.params[2 * pair], 8, true);
    sink.append(pair == 0 ? "  Params[1]:   " : "  Params[3]:   ");
    sink.append_hex(frame.params[2 * pair + 1], 8, true);
    sink.append("\n");
  }
  sink.append("\n");
}

// Signal-safe.
void append_context_dump_title(TextSink& sink) {
  sink.append("\nHex Dump Of Exception Record Context Information:\n\n");
}

// Signal-safe.
void append_abnormal_end(TextSink& sink) { sink.append("\nStack trace terminated abnormally.\n"); }

// ---------------------------------------------------------------------------
// The traceback
// ---------------------------------------------------------------------------

namespace {

struct WalkState {
  TextSink* sink;
  bool verbose;
  int index;
};

// Signal-safe.
bool append_frame(const platform::StackFrame& frame, void* data) {
  WalkState& state = *static_cast<WalkState*>(data);
  if (state.verbose) {
    append_long_frame(*state.sink, state.index, frame);
  } else {
    append_short_frame(*state.sink, frame);
  }
  ++state.index;
  return !state.sink->full();
}

// Signal-safe.
void append_context_dump(TextSink& sink, const platform::ProcessorException& exception) {
  append_context_dump_title(sink);
  if (sink.full()) return;
  sink.claim(platform::describe_processor_context(exception, sink.tail(), sink.remaining()));
}

// Serialises tracebacks so that two reports never interleave their walks.
std::atomic_flag writer_busy = ATOMIC_FLAG_INIT;
// A fault inside the writer must not wait for itself.
thread_local bool writing_here = false;

}  // namespace

// Signal-safe.
std::size_t write_traceback(char* buffer, std::size_t room,
                            const platform::ProcessorException* exception) {
  if (writing_here) return 0;
  writing_here = true;
  while (writer_busy.test_and_set(std::memory_order_acquire)) {
  }

  TextSink sink(buffer, room);
  WalkState state{&sink, env_switch_on("FOR_ENABLE_VERBOSE_STACK_TRACE") ||
                             env_switch_on("TBK_ENABLE_VERBOSE_STACK_TRACE"),
                  0};
  if (state.verbose) {
    if (exception != nullptr) append_context_dump(sink, *exception);
    append_long_header(sink);
  } else {
    append_short_header(sink);
  }
  if (!sink.full() && !platform::walk_stack(exception, append_frame, &state)) {
    append_abnormal_end(sink);
  }

  writer_busy.clear(std::memory_order_release);
  writing_here = false;
  return sink.size();
}

}  // namespace runtime
