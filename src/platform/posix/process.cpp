// POSIX side of the platform split: the command interpreter and the
// plotting command line.
#include <cerrno>
#include <string>
#include <string_view>

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/child_signals.h"

extern char** environ;

namespace platform {

// The plotting program is found on PATH, like any other tool here.
extern const char PLOT_COMMAND_TEXT[] = "gnuplot crt.dem";

namespace {

constexpr const char* SYSTEM_INTERPRETER = "/bin/sh";
constexpr int FAILED_TO_RUN = -1;

/// Starts `interpreter -c command` with the program's environment, current
/// directory and standard handles. False when it cannot be started.
bool spawn_interpreter(const std::string& interpreter, const std::string& command, pid_t& child) {
  // posix_spawn takes non-const argument strings but never writes them.
  std::string program = interpreter;
  std::string option = "-c";
  std::string text = command;
  char* const arguments[] = {program.data(), option.data(), text.data(), nullptr};
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  // The interpreter gets control-C and its kin as any terminal program does.
  const bool spawned = posix::reset_child_signals(attributes) == 0 &&
                       posix_spawn(&child, interpreter.c_str(), nullptr, &attributes, arguments, environ) == 0;
  posix_spawnattr_destroy(&attributes);
  return spawned;
}

/// Waits for `child` to end, however long it takes. False when the wait
/// fails for any reason other than an interrupting signal.
bool wait_for(pid_t child, int& wait_status) {
  for (;;) {
    if (waitpid(child, &wait_status, 0) == child) return true;
    if (errno != EINTR) return false;
  }
}

/// The status a shell would report for the ended child: its exit status,
/// or 128 + the number of the signal that ended it.
int ended_status(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return FAILED_TO_RUN;
}

}  // namespace

int run_command_interpreter_at(const std::string& interpreter, std::string_view command) {
  pid_t child = 0;
  if (!spawn_interpreter(interpreter, std::string(command), child)) return FAILED_TO_RUN;
  int wait_status = 0;
  if (!wait_for(child, wait_status)) return FAILED_TO_RUN;
  return ended_status(wait_status);
}

int run_command_interpreter(std::string_view command) {
  return run_command_interpreter_at(SYSTEM_INTERPRETER, command);
}

}  // namespace platform
