// The lines of the traceback, apart from the stack walk that feeds them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace runtime {

/// Appends text to a caller's buffer and cuts it where the room ends;
/// once cut, nothing more is appended. Signal-safe.
class TextSink {
 public:
  TextSink(char* buffer, std::size_t room) : buffer_(buffer), room_(room) {}

  void append(const char* text, std::size_t size);
  void append(const char* text);
  void append_repeated(char c, std::size_t count);
  /// `value` in hexadecimal, at least `digits` digits.
  void append_hex(std::uint64_t value, int digits, bool uppercase);
  void append_decimal(std::uint64_t value);
  /// `text` cut to `width` characters, padded with blanks on the right.
  void append_left(const char* text, std::size_t width);
  /// `text` cut to `width` characters, padded with blanks on the left.
  void append_right(const char* text, std::size_t width);

  /// Where the next text goes, and how much still fits there; a writer
  /// that fills it directly hands the count it wrote to `claim`.
  char* tail() const { return buffer_ + used_; }
  std::size_t remaining() const { return room_ - used_; }
  void claim(std::size_t size);

  std::size_t size() const { return used_; }
  /// True once something did not fit.
  bool full() const { return full_; }

 private:
  char* buffer_;
  std::size_t room_;
  std::size_t used_ = 0;
  bool full_ = false;
};

/// The short form's column titles: 79 characters and LF. Signal-safe.
void append_short_header(TextSink& sink);

/// One short-form line for `frame`. Signal-safe.
void append_short_frame(TextSink& sink, const platform::StackFrame& frame);

/// The long form's opening lines. Signal-safe.
void append_long_header(TextSink& sink);

/// The long form's block for frame number `index`. Signal-safe.
void append_long_frame(TextSink& sink, int index, const platform::StackFrame& frame);

/// The opening of the processor-context dump, before the registers.
/// Signal-safe.
void append_context_dump_title(TextSink& sink);

/// The end of a walk that failed. Signal-safe.
void append_abnormal_end(TextSink& sink);

}  // namespace runtime
