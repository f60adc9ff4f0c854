// An in-memory file system under the point file, whose calls can be made to
// fail with a chosen reason.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace testing_support {

enum class FileCall { full_path, open_read_write, open_read_only, kind, identity, lookup, write, cut, close };

class FakeFileSystem final : public platform::FileSystem {
 public:
  struct File {
    std::string bytes;
    std::uint64_t index = 0;
    platform::FileKind kind = platform::FileKind::disk;
  };

  /// The directory that full paths are made in.
  std::string directory = "/data";

  /// Makes the next call of `call` fail with `reason` (errno `native`).
  void fail_next(FileCall call, platform::Reason reason, int native = 0) {
    failures_[call].push_back(platform::Failure{reason, native});
  }
  /// Makes every call of `call` fail from now on.
  void fail_always(FileCall call, platform::Reason reason, int native = 0) {
    always_[call] = platform::Failure{reason, native};
  }

  File& file(const std::string& path) { return files_[path]; }
  bool exists(const std::string& path) const { return files_.count(path) != 0; }
  /// Replaces the file at `path` with a new one (another identity).
  void replace(const std::string& path) { files_[path] = File{"", ++next_index_}; }
  void remove(const std::string& path) { files_.erase(path); }

  int calls(FileCall call) const {
    const auto found = calls_.find(call);
    return found == calls_.end() ? 0 : found->second;
  }
  std::vector<std::size_t> write_sizes;
  bool handle_open(platform::FileHandle handle) const { return handles_.count(handle) != 0; }

  bool full_path(std::string_view name, std::size_t limit, std::string& path) override;
  bool open_read_write(const std::string& path, platform::FileHandle& handle) override;
  bool open_read_only(const std::string& path, platform::ReadOnlyRetry why, platform::FileHandle& handle) override;
  bool open_append(const std::string& path, platform::FileHandle& handle) override;
  platform::FileKind kind(platform::FileHandle handle) override;
  bool identity(platform::FileHandle handle, platform::FileIdentity& identity) override;
  platform::NameLookup lookup(std::string_view name, platform::FileIdentity& identity) override;
  bool write(platform::FileHandle handle, const char* bytes, std::size_t size) override;
  bool cut_at_position(platform::FileHandle handle) override;
  bool close(platform::FileHandle handle) override;
  platform::Failure last_failure() override { return last_failure_; }

 private:
  struct OpenFile {
    std::string path;
    std::size_t position = 0;
  };

  /// Counts the call; true when it is to fail (the failure is recorded).
  bool injected_failure(FileCall call);
  bool fail(platform::Reason reason, int native);
  std::string path_of(std::string_view name) const;

  std::map<std::string, File> files_;
  std::map<platform::FileHandle, OpenFile> handles_;
  std::map<FileCall, std::vector<platform::Failure>> failures_;
  std::map<FileCall, platform::Failure> always_;
  std::map<FileCall, int> calls_;
  platform::Failure last_failure_;
  platform::FileHandle next_handle_ = 100;
  std::uint64_t next_index_ = 1;
};

}  // namespace testing_support
