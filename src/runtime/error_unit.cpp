#include "runtime/error_unit.h"

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "runtime/report.h"
#include "runtime/units.h"

namespace runtime {

namespace {

// Catalog numbers of the error unit's failures, as for any file connection.
constexpr int CLOSE_ERROR = 28;
constexpr int WRITE_ERROR = 38;

/// The error unit connected to the file FORT0 names: the exit processing
/// closes it, so whatever it holds reaches the file at any kind of end.
class ErrorUnitFile final : public OpenUnit {
 public:
  void connect(platform::FileHandle handle) {
    handle_ = handle;
    register_open_unit(this);
  }

  void close_at_exit() override {
    if (platform::system_files().close(handle_)) return;
    const platform::Failure failure = platform::system_files().last_failure();
    report_file_failure(CLOSE_ERROR, ERROR_UNIT_NUMBER, name.c_str(), &failure);
  }

  std::string name;  // the FORT0 value, as the messages quote it

 private:
  platform::FileHandle handle_ = 0;
};

struct ErrorUnit {
  bool prepared = false;
  bool to_file = false;  // FORT0 named a file at preparation
  bool connected = false;
  platform::FileHandle handle = 0;
  const char* recorded_name = STANDARD_ERROR_NAME;
  ErrorUnitFile file;
};

ErrorUnit& error_unit() {
  static ErrorUnit unit;
  return unit;
}

/// Opens the FORT0 file for appending, so that nothing already in it is
/// overwritten; a failure is reported and ends the process.
void connect_to_file(ErrorUnit& unit) {
  platform::FileHandle handle = 0;
  if (!platform::system_files().open_append(unit.file.name, handle)) {
    report_open_failure(ERROR_UNIT_NUMBER, unit.file.name.c_str(),
                        platform::system_files().last_failure());
    return;
  }
  unit.file.connect(handle);
  unit.handle = handle;
  unit.recorded_name = unit.file.name.c_str();
  unit.connected = true;
}

void connect_to_standard_error(ErrorUnit& unit) {
  unit.handle = platform::standard_error_handle();
  unit.recorded_name = STANDARD_ERROR_NAME;
  unit.connected = true;
}

}  // namespace

void prepare_error_unit() {
  ErrorUnit& unit = error_unit();
  // An empty value names no file: the unit stays on standard error.
  const char* fort0 = std::getenv("FORT0");
  unit.to_file = fort0 != nullptr && *fort0 != '\0';
  unit.file.name = unit.to_file ? fort0 : "";
  unit.prepared = true;
}

void write_error_unit_record(const char* text, std::size_t length) {
  ErrorUnit& unit = error_unit();
  if (!unit.prepared) prepare_error_unit();
  if (!unit.connected) {
    if (unit.to_file) {
      connect_to_file(unit);
    } else {
      connect_to_standard_error(unit);
    }
    if (!unit.connected) return;
  }
  std::string record(text, length);
  record += "\r\n";
  if (!platform::system_files().write(unit.handle, record.data(), record.size())) {
    const platform::Failure failure = platform::system_files().last_failure();
    report_file_failure(WRITE_ERROR, ERROR_UNIT_NUMBER, unit.recorded_name, &failure);
  }
}

}  // namespace runtime
