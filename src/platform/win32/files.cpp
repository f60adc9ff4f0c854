// Windows side of the platform split: files, their identities and the
// descriptions of failures, on the kernel32 file interface.
#include "platform/win32/windows_api.h"

#include <winternl.h>

#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

// The reason of the last failed call of this thread, like GetLastError()
// itself, but kept across the cleanup calls that follow a failure.
thread_local Failure last_failure_of_thread;

bool fail_with(DWORD error) {
  last_failure_of_thread = Failure{static_cast<Reason>(error), static_cast<int>(error)};
  return false;
}

bool fail_with_last_error() { return fail_with(GetLastError()); }

HANDLE to_system(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
FileHandle from_system(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

std::uint64_t join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool identity_by_handle(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return fail_with_last_error();
  identity.volume = information.dwVolumeSerialNumber;
  identity.index = join(information.nFileIndexHigh, information.nFileIndexLow);
  return true;
}

// The file index alone: the same number GetFileInformationByHandle splits
// into two halves, for a fraction of its cost (it also asks the volume for
// its serial number, which is the slow part).
bool file_index(HANDLE handle, std::uint64_t& index) {
  IO_STATUS_BLOCK status_block;
  FILE_INTERNAL_INFORMATION information;
  NTSTATUS status = NtQueryInformationFile(handle, &status_block, &information,
                                           sizeof information, FileInternalInformation);
  if (status < 0) return false;
  index = static_cast<std::uint64_t>(information.IndexNumber.QuadPart);
  return true;
}

// The volume serial number of the directory a lookup went through last. A
// file lies on the volume of its directory, so while the directory path
// stays the same the serial number need not be asked for again. (Not so for
// a name that is a symbolic link into another volume and is replaced while
// the program runs: the cache then keeps the first target's volume.)
struct VolumeOfDirectory {
  char directory[MAX_PATH] = {};
  DWORD serial = 0;
  bool known = false;
};
thread_local VolumeOfDirectory last_volume;

// The directory part of the full path of `name` ("" when it has none or it
// does not fit); `name` is zero-terminated.
bool directory_of(const char* name, char (&directory)[MAX_PATH]) {
  char* file_part = nullptr;
  DWORD length = GetFullPathNameA(name, MAX_PATH, directory, &file_part);
  if (length == 0 || length >= MAX_PATH || file_part == nullptr) return false;
  *file_part = '\0';
  return true;
}

class SystemFiles final : public FileSystem {
 public:
  bool full_path(std::string_view name, std::size_t limit, std::string& path) override {
    std::string zero_terminated(name);
    std::string area(limit + 1, '\0');
    DWORD length = GetFullPathNameA(zero_terminated.c_str(), static_cast<DWORD>(area.size()),
                                    area.data(), nullptr);
    if (length == 0) return fail_with_last_error();
    // A length above the limit is the size the path would need: it does not fit.
    if (length > limit) return fail_with(ERROR_FILENAME_EXCED_RANGE);
    area.resize(length);
    path = std::move(area);
    return true;
  }

  bool open_read_write(const std::string& path, FileHandle& handle) override {
    return open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, handle);
  }

  bool open_read_only(const std::string& path, ReadOnlyRetry why, FileHandle& handle) override {
    // After a sharing violation another process is writing: read alongside it.
    DWORD share = why == ReadOnlyRetry::after_sharing_violation
                      ? FILE_SHARE_READ | FILE_SHARE_WRITE
                      : FILE_SHARE_READ;
    return open(path, GENERIC_READ, share, handle);
  }

  bool open_append(const std::string& path, FileHandle& handle) override {
    // Append-only access: every write lands at the end of the file, even when
    // another writer has made it longer meanwhile.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail_with_last_error();
    handle = from_system(file);
    return true;
  }

  FileKind kind(FileHandle handle) override {
    return GetFileType(to_system(handle)) == FILE_TYPE_DISK ? FileKind::disk : FileKind::other;
  }

  bool identity(FileHandle handle, FileIdentity& identity) override {
    return identity_by_handle(to_system(handle), identity);
  }

  NameLookup lookup(std::string_view name, FileIdentity& identity) override {
    std::string zero_terminated(name);
    // No access rights: only the identity is asked for, and the connected
    // file's own handle, which lets others read only, does not stand in the way.
    HANDLE query = CreateFileA(zero_terminated.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (query == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      fail_with(error);
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameLookup::missing
                                                                            : NameLookup::failed;
    }
    bool known = identity_of_query(zero_terminated.c_str(), query, identity);
    CloseHandle(query);
    return known ? NameLookup::found : NameLookup::failed;
  }

  bool write(FileHandle handle, const char* bytes, std::size_t size) override {
    while (size > 0) {
      DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!WriteFile(to_system(handle), bytes, chunk, &written, nullptr)) {
        return fail_with_last_error();
      }
      // A write that succeeds without taking a byte would repeat forever:
      // the device has no room left.
      if (written == 0) return fail_with(ERROR_DISK_FULL);
      bytes += written;
      size -= written;
    }
    return true;
  }

  bool cut_at_position(FileHandle handle) override {
    return SetEndOfFile(to_system(handle)) ? true : fail_with_last_error();
  }

  bool close(FileHandle handle) override {
    return CloseHandle(to_system(handle)) ? true : fail_with_last_error();
  }

  Failure last_failure() override { return last_failure_of_thread; }

 private:
  static bool open(const std::string& path, DWORD access, DWORD share, FileHandle& handle) {
    HANDLE file = CreateFileA(path.c_str(), access, share, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail_with_last_error();
    handle = from_system(file);
    return true;
  }

  // The file index from the query handle, the volume serial number from the
  // cache of the name's directory; the full query fills the cache when the
  // directory is another one.
  static bool identity_of_query(const char* name, HANDLE query, FileIdentity& identity) {
    char directory[MAX_PATH];
    if (!directory_of(name, directory)) return identity_by_handle(query, identity);
    if (!last_volume.known || std::strcmp(directory, last_volume.directory) != 0) {
      if (!identity_by_handle(query, identity)) return false;
      std::memcpy(last_volume.directory, directory, sizeof directory);
      last_volume.serial = static_cast<DWORD>(identity.volume);
      last_volume.known = true;
      return true;
    }
    if (!file_index(query, identity.index)) return identity_by_handle(query, identity);
    identity.volume = last_volume.serial;
    return true;
  }
};

}  // namespace

FileSystem& system_files() {
  static SystemFiles files;
  return files;
}

FileHandle standard_error_handle() {
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle != INVALID_HANDLE_VALUE) return from_system(handle);
  // No standard error handle: the console's own output device stands in,
  // opened once and kept for the rest of the run.
  static const HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
  return from_system(console);
}

std::string describe_failure(const Failure& failure) {
  char* message = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(failure.native), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<char*>(&message), 0, nullptr);
  if (length == 0 || message == nullptr) return {};
  std::string description(message, length);
  LocalFree(message);
  return description;
}

}  // namespace platform
