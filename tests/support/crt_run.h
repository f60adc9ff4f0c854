// A fixture that runs the real crt in a fresh directory of its own.
#pragma once

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/process.h"

namespace testing_support {

constexpr std::size_t RECORDS = 1704;
constexpr std::size_t RECORD_SIZE = 32;
inline const std::string FIRST_RECORD = " -0.3520000      0.6480001    \r\n";
inline const std::string LAST_RECORD = " -5.1999956E-02  0.9960001    \r\n";

/// Reports with their traceback suppressed, so that their bytes are fixed.
inline EnvChanges without_traceback(EnvChanges changes = {}) {
  changes["FOR_DISABLE_STACK_TRACE"] = "1";
  return changes;
}

class CrtRun : public testing::Test {
 protected:
  ProgramResult run_crt(EnvChanges environment = {}) {
    // Settings of the test's own environment must not leak into the run.
    for (const char* name : {"FORT0", "FORT_BUFFERED", "FORT_FMT_RECL", "FOR_DIAGNOSTIC_LOG_FILE",
                             "FOR_DISABLE_DIAGNOSTIC_DISPLAY", "FOR_DISABLE_STACK_TRACE", "FOR__IS_DEBUGGER_PRESENT",
                             "FOR_DEBUGGER_IS_PRESENT", "FOR_ENABLE_VERBOSE_STACK_TRACE",
                             "TBK_ENABLE_VERBOSE_STACK_TRACE", "FOR_IGNORE_EXCEPTIONS"}) {
      environment.try_emplace(name, std::nullopt);
    }
    environment.try_emplace("PATH", quiet_plotter_path());
    return testing_support::run_program(CRT_EXECUTABLE, ProgramOptions{{}, environment, dir_.path()});
  }

  std::string data_path() const { return std::filesystem::canonical(dir_.path()).string() + "/ispis.dat"; }
  std::string data() const { return read_file(dir_.file("ispis.dat")); }

  static std::string message(int number, const std::string& text) {
    return "forrtl: severe (" + std::to_string(number) + "): " + text + "\r\r\n";
  }
  std::string file_message(int number, const std::string& text) const {
    return message(number, text + ", unit 7, file " + data_path());
  }
  static std::string reason_line(int error) { return "forrtl: " + std::string(std::strerror(error)) + "\r\r\n"; }

  /// A PATH whose plotting program does nothing, so that a normal run
  /// ends normally and silently.
  static std::string quiet_plotter_path() {
    static const TempDir bin;
    static const std::string path = [] {
      const std::string plotter = bin.file("gnuplot");
      write_file(plotter, "#!/bin/sh\nexit 0\n");
      ::chmod(plotter.c_str(), 0755);
      return bin.path();
    }();
    return path;
  }

  /// The file of a normal run, made once.
  static const std::string& normal_run_data() {
    static const std::string bytes = [] {
      TempDir dir;
      testing_support::run_program(CRT_EXECUTABLE, ProgramOptions{{}, {{"PATH", quiet_plotter_path()}}, dir.path()});
      return read_file(dir.file("ispis.dat"));
    }();
    return bytes;
  }

  TempDir dir_;
};

}  // namespace testing_support
