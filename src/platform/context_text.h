// The processor-context dump's text, the same on every system: registers
// under their headings, each name padded to 9, three to a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

/// Fills a caller's buffer, cutting where it ends. Signal-safe.
class ContextText {
 public:
  ContextText(char* buffer, std::size_t room) : buffer_(buffer), room_(room) {}

  void append(const char* text) {
    for (; *text != '\0' && used_ < room_; ++text) buffer_[used_++] = *text;
  }
  void append_hex(std::uint64_t value, int digits) {
    char text[17];
    for (int i = digits - 1; i >= 0; --i) {
      text[i] = "0123456789abcdef"[value & 0xF];
      value >>= 4;
    }
    text[digits] = '\0';
    append(text);
  }
  void heading(const char* title) {
    append("Exception Context:  ");
    append(title);
    append("\n\n");
  }
  /// One register: its name padded to 9, its value; three to a line.
  void reg(const char* name, std::uint64_t value, int digits) {
    if (in_line_ > 0) append("    ");
    append(name);
    for (std::size_t pad = std::strlen(name); pad < 9; ++pad) append(" ");
    append_hex(value, digits);
    if (++in_line_ == 3) {
      append("\n");
      in_line_ = 0;
    }
  }
  void end_group() {
    append(in_line_ == 0 ? "\n" : "\n\n");
    in_line_ = 0;
  }
  std::size_t size() const { return used_; }

 private:
  char* buffer_;
  std::size_t room_;
  std::size_t used_ = 0;
  int in_line_ = 0;
};

}  // namespace platform
