// The fault probe's system calls, Windows side.
#include <cfloat>
#include <cstring>

#include "platform/win32/windows_api.h"
#include "probes/probe_system.h"

namespace probe {

void write_out(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

std::uintptr_t image_offset(const void* function) {
  return reinterpret_cast<std::uintptr_t>(function) - reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
}

void unmask_floating_point_exceptions() {
  _clearfp();
  _controlfp(0, _MCW_EM);
}

void wait_forever() {
  for (;;) Sleep(INFINITE);
}

void exit_now(int status) { ExitProcess(static_cast<UINT>(status)); }

}  // namespace probe
