// The report of a file that could not be opened, by its reason.
#include "runtime/report.h"

namespace runtime {
namespace {

struct OpenFailureReport {
  int number;
  bool reason_line;
};

OpenFailureReport open_failure_report(platform::Reason reason) {
  using platform::Reason;
  switch (reason) {
    case Reason::file_not_found:
    case Reason::path_not_found:
      return {29, false};
    case Reason::access_denied:
    case Reason::write_protect:
      return {9, false};
    case Reason::invalid_drive:
    case Reason::bad_unit:
      return {42, false};
    case Reason::invalid_name:
    case Reason::bad_pathname:
    case Reason::filename_exceeds_range:
      return {43, false};
    case Reason::too_many_open_files:
      return {30, false};
    default:
      return {30, true};
  }
}

}  // namespace

void report_open_failure(int unit, const char* file, const platform::Failure& failure) {
  const OpenFailureReport report = open_failure_report(failure.reason);
  report_file_failure(report.number, unit, file, report.reason_line ? &failure : nullptr);
}

}  // namespace runtime
