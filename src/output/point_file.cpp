#include "output/point_file.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "output/number_text.h"
#include "output/point_file_unit.h"
#include "runtime/env_switch.h"
#include "runtime/report.h"

namespace output {
namespace {

constexpr std::size_t NAME_LIMIT = 256;

std::string_view trimmed_name(std::string_view name) {
  name = name.substr(0, NAME_LIMIT);
  const auto first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

/// The status word: compared without regard to case, trailing blanks
/// ignored. This program opens with "unknown" only.
bool status_is_unknown(std::string_view status) {
  constexpr std::string_view unknown = "unknown";
  status = status.substr(0, status.find_last_not_of(' ') + 1);
  return status.size() == unknown.size() &&
         std::equal(status.begin(), status.end(), unknown.begin(),
                    [](char a, char b) { return (a | 0x20) == b; });
}

constexpr int REPORT_INSUFFICIENT_MEMORY = 41;
constexpr int REPORT_CLOSE_ERROR = 28;
constexpr int REPORT_WRITE_ERROR = 38;
constexpr int REPORT_READ_ONLY = 47;
constexpr int REPORT_RECORD_LENGTH_SYNTAX = 99;

}  // namespace

PointFileUnit::PointFileUnit(platform::FileSystem& files) : files_(files) {}

void PointFileUnit::set_record_length_value(const char* value) {
  std::lock_guard guard(lock_);
  if (value == nullptr) {
    record_length_value_.reset();
  } else {
    record_length_value_ = value;
  }
}

void PointFileUnit::connect(int unit, std::string_view name, std::string_view status) {
  std::lock_guard guard(lock_);
  if (closed_for_exit_ || !status_is_unknown(status)) return;
  const std::string_view trimmed = trimmed_name(name);
  if (!connected_) return open(unit, trimmed);
  write_pending();
  if (still_same_file(trimmed)) return;
  close_connection();
  open(unit, trimmed);
}

bool PointFileUnit::still_same_file(std::string_view name) {
  platform::FileIdentity now;
  switch (files_.lookup(name, now)) {
    case platform::NameLookup::found:
      return !identity_ || now == *identity_;
    case platform::NameLookup::missing:
      return false;
    case platform::NameLookup::failed:
      // Nothing is known: reopening the same file would start writing at
      // its beginning and cut every record written so far.
      return true;
  }
  return true;
}

void PointFileUnit::open(int unit, std::string_view name) {
  unit_ = unit;
  name_.assign(name);
  const RecordLengthSetting setting =
      parse_record_length(record_length_value_ ? record_length_value_->c_str() : nullptr);
  if (setting.syntax == RecordLengthSyntax::malformed) fail(REPORT_RECORD_LENGTH_SYNTAX, nullptr);
  if (setting.syntax == RecordLengthSyntax::too_large) fail(REPORT_INSUFFICIENT_MEMORY, nullptr);

  if (!files_.full_path(name_, NAME_LIMIT, file_path_)) file_path_ = name_;

  platform::FileHandle handle = -1;
  read_only_ = false;
  if (!files_.open_read_write(file_path_, handle)) {
    const platform::Failure first = files_.last_failure();
    switch (first.reason) {
      case platform::Reason::access_denied:
      case platform::Reason::write_protect:
        if (!files_.open_read_only(file_path_, platform::ReadOnlyRetry::after_access_denied, handle))
          fail_open(files_.last_failure());
        break;
      case platform::Reason::sharing_violation:
        if (!files_.open_read_only(file_path_, platform::ReadOnlyRetry::after_sharing_violation, handle))
          fail_open(files_.last_failure());
        break;
      default:
        fail_open(first);
    }
    read_only_ = true;
  }
  handle_ = handle;
  truncate_pending_ = files_.kind(handle_) == platform::FileKind::disk;
  platform::FileIdentity identity;
  identity_.reset();
  if (files_.identity(handle_, identity)) identity_ = identity;
  layout_ = setting.layout;
  buffered_ = runtime::env_switch_on("FORT_BUFFERED");
  buffer_.reset(new (std::nothrow) char[layout_.buffer_size]);
  pending_ = 0;
  connected_ = true;
  runtime::register_open_unit(this);
  if (!buffer_) fail(REPORT_INSUFFICIENT_MEMORY, nullptr);
}

void PointFileUnit::fail_open(const platform::Failure& failure) {
  runtime::report_open_failure(unit_, file_path_.c_str(), failure);
  std::abort();  // the report is severe and does not return
}

void PointFileUnit::write(const trace::CrossingPoint& point) {
  std::lock_guard guard(lock_);
  if (closed_for_exit_ || !connected_) return;
  if (read_only_) fail(REPORT_READ_ONLY, nullptr);
  record_length_ = 0;
  line_space_ = layout_.line_capacity;
  put_field(point.x);
  put_field(point.y);
  end_record();
}

void PointFileUnit::put_field(float value) {
  if (line_space_ < FIELD_WIDTH) {
    end_record();
    record_length_ = 0;
    line_space_ = layout_.line_capacity;
  }
  format_point_value(value, buffer_.get() + pending_ + record_length_);
  record_length_ += FIELD_WIDTH;
  line_space_ -= FIELD_WIDTH;
}

void PointFileUnit::end_record() {
  char* const record = buffer_.get() + pending_;
  record[record_length_] = '\r';
  record[record_length_ + 1] = '\n';
  hand_over(record_length_ + 2);
  if (truncate_pending_) {
    if (!files_.cut_at_position(handle_)) fail_with_reason(REPORT_WRITE_ERROR);
    truncate_pending_ = false;
  }
}

void PointFileUnit::hand_over(std::size_t record_size) {
  const std::size_t text_end = pending_ + record_size - 2;
  if (buffered_ && layout_.buffer_size - text_end > layout_.hold_margin()) {
    pending_ += record_size;
    return;
  }
  const std::size_t size = pending_ + record_size;
  pending_ = 0;
  if (!files_.write(handle_, buffer_.get(), size)) fail_with_reason(REPORT_WRITE_ERROR);
}

void PointFileUnit::write_pending() {
  if (pending_ == 0) return;
  const std::size_t size = pending_;
  pending_ = 0;
  // A held record that cannot be written is reported, never dropped.
  if (!files_.write(handle_, buffer_.get(), size)) fail_with_reason(REPORT_WRITE_ERROR);
}

void PointFileUnit::close(int) {
  std::lock_guard guard(lock_);
  if (closed_for_exit_ || !connected_) return;
  close_connection();
}

void PointFileUnit::close_at_exit() {
  // Never unlocked: the process ends while the exit processing holds the
  // file, so no other thread can reopen it and cut what was written.
  lock_.lock();
  if (closed_for_exit_) return;
  closed_for_exit_ = true;
  if (connected_) close_connection();
}

void PointFileUnit::close_connection() {
  runtime::unregister_open_unit(this);
  write_pending();
  const bool closed = files_.close(handle_);
  const platform::Failure failure = files_.last_failure();
  connected_ = false;
  buffer_.reset();
  if (!closed) fail(REPORT_CLOSE_ERROR, &failure);
}

void PointFileUnit::fail_with_reason(int number) {
  const platform::Failure failure = files_.last_failure();
  fail(number, &failure);
}

void PointFileUnit::fail(int number, const platform::Failure* reason) {
  if (number == REPORT_INSUFFICIENT_MEMORY || number == REPORT_RECORD_LENGTH_SYNTAX) {
    runtime::report_runtime_message(number);
  } else {
    runtime::report_file_failure(number, unit_, file_path_.c_str(), reason);
  }
  // Every failure of the point file is severe: the report does not return.
  std::abort();
}

namespace {

PointFileUnit& point_file() {
  static PointFileUnit unit(platform::system_files());
  return unit;
}

}  // namespace

void connect_point_file(int unit, const char* name, const char* status) {
  point_file().connect(unit, name, status);
}

void write_point_record(const trace::CrossingPoint& point) { point_file().write(point); }

void close_point_file(int unit) { point_file().close(unit); }

void read_record_length_setting() { point_file().set_record_length_value(std::getenv("FORT_FMT_RECL")); }

}  // namespace output
