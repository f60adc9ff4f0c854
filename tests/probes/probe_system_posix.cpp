// The fault probe's system calls, POSIX side.
#include <dlfcn.h>
#include <fenv.h>
#include <unistd.h>

#include <cstring>

#include "probes/probe_system.h"

namespace probe {

void write_out(const char* text) {
  if (::write(STDOUT_FILENO, text, std::strlen(text)) < 0) return;
}

std::uintptr_t image_offset(const void* function) {
  Dl_info info{};
  if (::dladdr(function, &info) == 0) return 0;
  return reinterpret_cast<std::uintptr_t>(function) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

void unmask_floating_point_exceptions() { ::feenableexcept(FE_ALL_EXCEPT); }

void wait_forever() {
  for (;;) ::pause();
}

void exit_now(int status) { ::_exit(status); }

}  // namespace probe
