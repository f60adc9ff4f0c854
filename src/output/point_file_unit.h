// The connection behind the point file, on a file system that tests can
// replace.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "output/record_layout.h"
#include "platform/platform.h"
#include "runtime/units.h"
#include "trace/crossing_point.h"

namespace output {

/// One connection of a unit to a text file of point records. Every
/// operation is serialised with the exit processing; once that has closed
/// the connection, no operation reaches the file again.
class PointFileUnit final : public runtime::OpenUnit {
 public:
  explicit PointFileUnit(platform::FileSystem& files);
  PointFileUnit(const PointFileUnit&) = delete;
  PointFileUnit& operator=(const PointFileUnit&) = delete;

  /// The FORT_FMT_RECL value read at start-up (null: unset).
  void set_record_length_value(const char* value);

  /// First request: opens the file. Later ones: checks the name still
  /// denotes the connected file, and reopens it when it does not.
  void connect(int unit, std::string_view name, std::string_view status);

  /// One point: the x field, the y field, each record ended with CR LF.
  void write(const trace::CrossingPoint& point);

  void close(int unit);

  void close_at_exit() override;

  bool connected() const { return connected_; }
  const std::string& file_path() const { return file_path_; }

 private:
  void open(int unit, std::string_view name);
  [[noreturn]] void fail_open(const platform::Failure& failure);
  bool still_same_file(std::string_view name);
  void put_field(float value);
  void end_record();
  void hand_over(std::size_t record_size);
  void write_pending();
  void close_connection();
  [[noreturn]] void fail(int number, const platform::Failure* reason);
  void fail_with_reason(int number);

  platform::FileSystem& files_;
  std::recursive_mutex lock_;
  bool closed_for_exit_ = false;
  std::optional<std::string> record_length_value_;

  bool connected_ = false;
  int unit_ = 0;
  std::string name_;
  std::string file_path_;
  platform::FileHandle handle_ = -1;
  std::optional<platform::FileIdentity> identity_;
  bool read_only_ = false;
  bool buffered_ = false;
  bool truncate_pending_ = false;
  RecordLayout layout_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pending_ = 0;        // bytes held at the start of buffer_
  std::size_t record_length_ = 0;  // characters of the record being built
  int line_space_ = 0;             // may fall below zero after a field longer than the line
};

}  // namespace output
