// The open file connections, which the exit processing closes.
#pragma once

namespace runtime {

/// A file connection that must be closed at any kind of end.
class OpenUnit {
 public:
  /// Closes the connection the way its own close does; reports a failing
  /// close itself. Called at most once, by the exit processing, which never
  /// lets the connection be used again.
  virtual void close_at_exit() = 0;

 protected:
  ~OpenUnit() = default;
};

/// Registers a connection that has been opened. Signal-safe.
void register_open_unit(OpenUnit* unit);
/// Forgets a connection that has been closed. Signal-safe.
void unregister_open_unit(OpenUnit* unit);

/// Closes every open connection, once per process; afterwards only
/// returns the saved status (0). Also releases the exception context.
int run_exit_processing();

}  // namespace runtime
