// POSIX backend only: what a child process needs from the signal handling.
#pragma once

#include <spawn.h>

namespace platform::posix {

/// Sets up `attributes` so that a spawned child starts with the signal mask
/// the process had before the console signals were blocked, and with the
/// default action for those signals: the child must see control-C as a
/// terminal program normally does. Adds to the flags already set. Returns the posix_spawnattr_* error, or
/// 0. Not signal-safe.
int reset_child_signals(posix_spawnattr_t& attributes);

}  // namespace platform::posix
