// Whether a debugger is attached: a child process asks, with and without a
// tracer attached to it.
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

/// What a child process sees, traced or not; nullopt when the system does
/// not let the test trace it.
std::optional<bool> child_sees_debugger(bool traced) {
  int go[2];
  if (::pipe(go) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY);
    char byte = 0;
    if (::read(go[0], &byte, 1) != 1) ::_exit(3);
    ::_exit(platform::debugger_attached() ? 0 : 1);
  }
  const bool attached = traced && ::ptrace(PTRACE_SEIZE, child, nullptr, nullptr) == 0;
  // Told to go either way: the child must end.
  const bool told = ::write(go[1], "g", 1) == 1;
  int status = 0;
  while (::waitpid(child, &status, 0) == child && !WIFEXITED(status) && !WIFSIGNALED(status)) {
    ::ptrace(PTRACE_CONT, child, nullptr, nullptr);
  }
  ::close(go[0]);
  ::close(go[1]);
  if (!told || traced != attached || !WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status) == 0;
}

TEST(Debugger, UntracedProcessSeesNone) { EXPECT_EQ(child_sees_debugger(false), false); }

TEST(Debugger, AttachedTracerIsSeen) {
  const std::optional<bool> seen = child_sees_debugger(true);
  if (!seen) GTEST_SKIP() << "this system does not let the test trace its child";
  EXPECT_TRUE(*seen);
}

}  // namespace
