// A child process for the tests of the Windows backend: each mode exercises
// one operation that only shows in a separate process (standard streams,
// process end, exceptions, console events, another process holding a file).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace {

void write_text(const char* text) { platform::write_standard_error_text(text, std::strlen(text)); }

// Reports the exception code and the image of the first frame of the walk
// from the faulting instruction, then ends as a handled exception does.
bool write_first_frame(const platform::StackFrame& frame, void*) {
  write_text("image=");
  write_text(frame.image);
  write_text("\n");
  return false;
}

void on_fault(const platform::ProcessorException& exception) {
  char code[32];
  std::snprintf(code, sizeof code, "code=%08X\n", static_cast<unsigned>(exception.code));
  write_text(code);
  platform::walk_stack(&exception, write_first_frame, nullptr);
  platform::exit_process_now(157);
}

bool on_console_event(platform::ConsoleEvent event) {
  char line[32];
  std::snprintf(line, sizeof line, "event %d\n", static_cast<int>(event));
  write_text(line);
  platform::exit_process(platform::CONTROL_C_EXIT_STATUS);
}

[[gnu::noinline]] void write_through_null() {
  volatile int* volatile target = nullptr;
  *target = 42;
}

int usage() {
  std::fputs("usage: platform_helper hold|stderr-text|redirect|fault|console|exit|exit-now ...\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string mode = argv[1];
  if (mode == "hold" && argc == 5) {
    // hold <file> <held event> <release event>: holds the file open for
    // writing, letting others read, until told to let go.
    HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
    if (held == nullptr || release == nullptr) return 4;
    SetEvent(held);
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return 0;
  }
  if (mode == "stderr-text" && argc == 3) {
    write_text(argv[2]);
    return 0;
  }
  if (mode == "redirect" && argc == 4) {
    platform::redirect_standard_error(argv[2]);
    write_text(argv[3]);
    return 0;
  }
  if (mode == "fault") {
    platform::install_processor_exception_handler(on_fault);
    platform::prepare_stack_walk();
    write_through_null();
    return 0;
  }
  if (mode == "console" && argc == 3) {
    if (!platform::install_console_event_handler(on_console_event)) return 5;
    write_text("ready\n");
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return 0;
  }
  if (mode == "exit" && argc == 3) {
    std::fputs(argv[2], stdout);  // left in the stream's buffer
    platform::exit_process(8);
  }
  if (mode == "exit-now" && argc == 3) {
    std::fputs(argv[2], stdout);
    platform::exit_process_now(7);
  }
  return usage();
}
