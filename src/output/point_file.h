// The point file: the data file that receives one record per crossing.
#pragma once

#include "trace/crossing_point.h"

namespace output {

constexpr int POINT_UNIT = 7;
constexpr const char* POINT_FILE_NAME = "ispis.dat";

/// Connects unit `unit` to the file `name` with status `status`
/// ("unknown"): the first request opens the file, every later one checks
/// that the same file is still connected. Failures end the program.
void connect_point_file(int unit, const char* name, const char* status);

/// Writes one record: the fields of x and y, then CR LF.
void write_point_record(const trace::CrossingPoint& point);

/// Closes the point file; afterwards it is not connected.
void close_point_file(int unit);

}  // namespace output

namespace output {

/// Reads FORT_FMT_RECL once, at start-up; a value with bad syntax is
/// reported only when the file is first connected.
void read_record_length_setting();

}  // namespace output
