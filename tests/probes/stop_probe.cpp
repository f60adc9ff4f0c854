// Stops with the text and status given on the command line, so that tests
// can watch a real process end:
//   crt_stop_probe TEXT STATUS            one stop
//   crt_stop_probe --nested TEXT STATUS   a second stop is raised while the
//                                         first one runs the exit processing
#include <cstdlib>
#include <cstring>

#include "launch/stop.h"
#include "runtime/runtime.h"
#include "runtime/units.h"

namespace {

/// A connection whose close stops the program once more.
class StoppingUnit final : public runtime::OpenUnit {
 public:
  void close_at_exit() override { launch::stop_with_message("second stop", 11, 9); }
};

}  // namespace

int main(int argc, char** argv) {
  const bool nested = argc == 4 && std::strcmp(argv[1], "--nested") == 0;
  if (argc != 3 && !nested) return 64;
  const char* text = argv[argc - 2];
  const int status = std::atoi(argv[argc - 1]);

  runtime::start_runtime();
  static StoppingUnit stopping_unit;
  if (nested) runtime::register_open_unit(&stopping_unit);
  launch::stop_with_message(text, std::strlen(text), status);
}
