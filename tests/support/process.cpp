// The parts of running programs in tests that are the same on every system.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/process.h"

namespace testing_support {

ProgramResult run_program(const std::string& program, const ProgramOptions& options) {
  ChildProcess child(program, options);
  return child.wait();
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool file_exists(const std::string& path) {
  std::error_code ignored;
  // A dangling link counts: something of that name is there.
  return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
}

std::vector<std::string> split_records(const std::string& bytes, std::size_t record_size) {
  std::vector<std::string> records;
  for (std::size_t at = 0; at < bytes.size(); at += record_size) records.push_back(bytes.substr(at, record_size));
  return records;
}

}  // namespace testing_support
