// POSIX side of the platform split: files, standard error, the process.
//
// Failures are mapped from errno onto the one reason vocabulary in
// `reason_from_errno`; the errno itself is kept for the description.
#include <fcntl.h>
#include <fenv.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

thread_local Failure last_file_failure;

/// One errno, one reason. Signal-safe.
Reason reason_from_errno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return Reason::path_not_found;
    case EACCES:
    case EPERM:
    case EISDIR:
      return Reason::access_denied;
    case EROFS:
      return Reason::write_protect;
    case ENXIO:
    case ENODEV:
      return Reason::bad_unit;
    case ENAMETOOLONG:
      return Reason::filename_exceeds_range;
    case EMFILE:
    case ENFILE:
      return Reason::too_many_open_files;
    case ENOMEM:
      return Reason::not_enough_memory;
    default:
      return unmapped_reason(error);
  }
}

/// Records the failure of the call that just set errno; returns false.
bool fail_with_errno() {
  last_file_failure = Failure{reason_from_errno(errno), errno};
  return false;
}

bool fail_with(Reason reason, int native) {
  last_file_failure = Failure{reason, native};
  return false;
}

/// Appends `part` to the folded path, resolving "." and "..".
void fold_component(std::string& path, std::string_view part) {
  if (part.empty() || part == ".") return;
  if (part == "..") {
    const auto slash = path.rfind('/');
    path.resize(slash == 0 || slash == std::string::npos ? 1 : slash);
    return;
  }
  if (path.size() > 1) path += '/';
  path += part;
}

void fold_into(std::string& path, std::string_view relative) {
  while (!relative.empty()) {
    const auto slash = relative.find('/');
    fold_component(path, relative.substr(0, slash));
    if (slash == std::string_view::npos) break;
    relative.remove_prefix(slash + 1);
  }
}

/// Signal-safe write of all bytes; errors end it.
void write_all_to(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

/// Writes `text` with every LF as CR LF, as a text-mode stream does.
/// Signal-safe.
void write_as_text(int fd, const char* text, std::size_t size) {
  char chunk[512];
  std::size_t used = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (used + 2 > sizeof chunk) {
      write_all_to(fd, chunk, used);
      used = 0;
    }
    if (text[i] == '\n') chunk[used++] = '\r';
    chunk[used++] = text[i];
  }
  write_all_to(fd, chunk, used);
}

int open_append_fd(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

/// A file the user has made unwritable for everyone counts as marked
/// read-only, even for a user whom the system would let write it.
bool marked_read_only(const struct stat& status) {
  return S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

/// Takes the write lock that keeps other writers out for as long as the
/// descriptor is open: an open-file-description lock, so it belongs to this
/// open and not to the process.
bool lock_for_writing(int fd) {
  struct flock whole_file {};
  whole_file.l_type = F_WRLCK;
  whole_file.l_whence = SEEK_SET;
  whole_file.l_start = 0;
  whole_file.l_len = 0;
  if (::fcntl(fd, F_OFD_SETLK, &whole_file) == 0) return true;
  if (errno == EAGAIN || errno == EACCES) return fail_with(Reason::sharing_violation, errno);
  // A file system without locks still takes the records, unguarded.
  return errno == EINVAL || errno == ENOLCK || fail_with_errno();
}

class PosixFileSystem final : public FileSystem {
 public:
  bool full_path(std::string_view name, std::size_t limit, std::string& path) override {
    std::string folded = "/";
    if (name.empty() || name.front() != '/') {
      char directory[4096];
      if (::getcwd(directory, sizeof directory) == nullptr) return fail_with_errno();
      fold_into(folded, directory);
    }
    fold_into(folded, name);
    if (folded.size() > limit) return fail_with(Reason::filename_exceeds_range, ENAMETOOLONG);
    path = std::move(folded);
    return true;
  }

  bool open_read_write(const std::string& path, FileHandle& handle) override {
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail_with_errno();
    struct stat status {};
    if (::fstat(fd, &status) != 0) return close_after_failure(fd, reason_from_errno(errno), errno);
    if (marked_read_only(status)) return close_after_failure(fd, Reason::access_denied, EACCES);
    // Only a file holds records that a second writer could spoil; devices
    // such as /dev/null are shared by everyone and stay unlocked.
    if (S_ISREG(status.st_mode) && !lock_for_writing(fd)) {
      const Failure failure = last_file_failure;
      ::close(fd);
      last_file_failure = failure;
      return false;
    }
    handle = fd;
    return true;
  }

  bool open_read_only(const std::string& path, ReadOnlyRetry, FileHandle& handle) override {
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail_with_errno();
    struct stat status {};
    if (::fstat(fd, &status) != 0) return close_after_failure(fd, reason_from_errno(errno), errno);
    // A directory is no file to read records from.
    if (S_ISDIR(status.st_mode)) return close_after_failure(fd, Reason::access_denied, EISDIR);
    handle = fd;
    return true;
  }

  bool open_append(const std::string& path, FileHandle& handle) override {
    const int fd = open_append_fd(path.c_str());
    if (fd < 0) return fail_with_errno();
    handle = fd;
    return true;
  }

  FileKind kind(FileHandle handle) override {
    struct stat status {};
    if (::fstat(static_cast<int>(handle), &status) != 0) return FileKind::other;
    return S_ISREG(status.st_mode) ? FileKind::disk : FileKind::other;
  }

  bool identity(FileHandle handle, FileIdentity& identity) override {
    struct stat status {};
    if (::fstat(static_cast<int>(handle), &status) != 0) return fail_with_errno();
    identity = identity_of(status);
    return true;
  }

  NameLookup lookup(std::string_view name, FileIdentity& identity) override {
    char terminated[4097];
    if (name.size() >= sizeof terminated) return NameLookup::failed;
    name.copy(terminated, name.size());
    terminated[name.size()] = '\0';
    struct stat status {};
    if (::stat(terminated, &status) == 0) {
      identity = identity_of(status);
      return NameLookup::found;
    }
    fail_with_errno();
    return errno == ENOENT || errno == ENOTDIR ? NameLookup::missing : NameLookup::failed;
  }

  bool write(FileHandle handle, const char* bytes, std::size_t size) override {
    while (size > 0) {
      const ssize_t written = ::write(static_cast<int>(handle), bytes, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        return fail_with_errno();
      }
      bytes += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  bool cut_at_position(FileHandle handle) override {
    const int fd = static_cast<int>(handle);
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    if (position < 0) return fail_with_errno();
    int result;
    do {
      result = ::ftruncate(fd, position);
    } while (result != 0 && errno == EINTR);
    return result == 0 || fail_with_errno();
  }

  bool close(FileHandle handle) override {
    // Never retried: after EINTR the descriptor is already gone.
    if (::close(static_cast<int>(handle)) == 0 || errno == EINTR) return true;
    return fail_with_errno();
  }

  Failure last_failure() override { return last_file_failure; }

 private:
  static FileIdentity identity_of(const struct stat& status) {
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
  }

  static bool close_after_failure(int fd, Reason reason, int native) {
    ::close(fd);
    return fail_with(reason, native);
  }
};

}  // namespace

FileSystem& system_files() {
  static PosixFileSystem files;
  return files;
}

FileHandle standard_error_handle() { return STDERR_FILENO; }

std::string describe_failure(const Failure& failure) {
  char text[256];
  // The GNU strerror_r returns the text, which need not be in `text`.
  const char* description = ::strerror_r(failure.native, text, sizeof text);
  if (description == nullptr || *description == '\0') return {};
  return std::string(description) + "\r\n";
}

void write_standard_error_text(const char* text, std::size_t size) {
  const int saved_errno = errno;
  write_as_text(STDERR_FILENO, text, size);
  errno = saved_errno;
}

bool append_text_to_file(const char* path, const char* text, std::size_t size) {
  const int saved_errno = errno;
  const int fd = open_append_fd(path);
  if (fd >= 0) {
    write_as_text(fd, text, size);
    ::close(fd);
  }
  errno = saved_errno;
  return fd >= 0;
}

void redirect_standard_error(const char* path) {
  const int saved_errno = errno;
  const int fd = open_append_fd(path);
  if (fd >= 0) {
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  errno = saved_errno;
}

bool debugger_attached() {
  const int saved_errno = errno;
  const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  bool attached = false;
  if (fd >= 0) {
    char status[4096];
    const ssize_t size = ::read(fd, status, sizeof status - 1);
    ::close(fd);
    if (size > 0) {
      status[size] = '\0';
      const char* tracer = std::strstr(status, "TracerPid:");
      if (tracer != nullptr) {
        tracer += std::strlen("TracerPid:");
        while (*tracer == ' ' || *tracer == '\t') ++tracer;
        attached = *tracer >= '1' && *tracer <= '9';
      }
    }
  }
  errno = saved_errno;
  return attached;
}

void break_into_debugger() { ::raise(SIGTRAP); }

// The system shows no error dialogs of its own.
void suppress_error_dialogs() {}

void prepare_floating_point() {
  ::feclearexcept(FE_ALL_EXCEPT);
  ::fedisableexcept(FE_ALL_EXCEPT);
}

void exit_process(int status) {
  std::fflush(nullptr);
  ::_exit(status);
}

void exit_process_now(int status) { ::_exit(status); }

}  // namespace platform
