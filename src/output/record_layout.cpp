#include "output/record_layout.h"

#include <algorithm>

#include "output/number_text.h"

namespace output {
namespace {

// Beyond this a record buffer is not worth asking the system for.
constexpr std::uint64_t LARGEST_RECORD_LENGTH = (std::uint64_t{1} << 31) - 5;

}  // namespace

std::size_t RecordLayout::longest_record() const {
  return std::max<std::size_t>(line_capacity, FIELD_WIDTH) + 2;
}

std::size_t RecordLayout::hold_margin() const {
  return std::max(2 * record_area, longest_record() + 2);
}

RecordLengthSetting parse_record_length(const char* value) {
  RecordLengthSetting setting;
  if (value == nullptr || *value == '\0') return setting;
  std::uint64_t length = 0;
  for (const char* digit = value; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') {
      setting.syntax = RecordLengthSyntax::malformed;
      return setting;
    }
    // Keep reading after the limit: a later letter still makes it malformed.
    if (length <= LARGEST_RECORD_LENGTH) length = length * 10 + static_cast<unsigned>(*digit - '0');
  }
  if (length == 0) return setting;
  if (length > LARGEST_RECORD_LENGTH) {
    setting.syntax = RecordLengthSyntax::too_large;
    return setting;
  }
  setting.layout.line_capacity = static_cast<std::uint16_t>((length + 1) & 0xFFFF);
  setting.layout.record_area = static_cast<std::size_t>(length + 1);
  setting.layout.buffer_size = std::max<std::size_t>(POINT_BUFFER_SIZE, static_cast<std::size_t>(length + 5));
  return setting;
}

}  // namespace output
