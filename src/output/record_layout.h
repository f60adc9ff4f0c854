// How long the records of the point file may grow, from FORT_FMT_RECL.
#pragma once

#include <cstddef>
#include <cstdint>

namespace output {

constexpr std::uint16_t POINT_LINE_CAPACITY = 80;
constexpr std::size_t POINT_RECORD_AREA = 134;
constexpr std::size_t POINT_BUFFER_SIZE = 8192;

struct RecordLayout {
  /// Characters a record may take before a further field starts a new one.
  std::uint16_t line_capacity = POINT_LINE_CAPACITY;
  /// The part of the buffer a record is built in.
  std::size_t record_area = POINT_RECORD_AREA;
  std::size_t buffer_size = POINT_BUFFER_SIZE;

  /// The longest record ending, CR LF included: a record holds the fields
  /// that fit its capacity, but always at least one.
  std::size_t longest_record() const;
  /// Buffered mode holds a record only while its text ends more than this
  /// many bytes before the end of the buffer: twice the record area, and
  /// never less than what keeps the next record inside the buffer.
  std::size_t hold_margin() const;
};

enum class RecordLengthSyntax { valid, malformed, too_large };

struct RecordLengthSetting {
  RecordLengthSyntax syntax = RecordLengthSyntax::valid;
  RecordLayout layout;
};

/// The layout for a FORT_FMT_RECL value: unset, empty or 0 keep the
/// defaults; a decimal N gives capacity N + 1 (its low 16 bits), a record
/// area of N + 1 and a buffer of N + 5 bytes when that is more than 8192.
/// Anything but decimal digits is malformed; an N whose buffer could never
/// be had is too large.
RecordLengthSetting parse_record_length(const char* value);

}  // namespace output
