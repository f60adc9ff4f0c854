#include "support/fake_file_system.h"

namespace testing_support {

using platform::FileHandle;

bool FakeFileSystem::injected_failure(FileCall call) {
  ++calls_[call];
  auto queued = failures_.find(call);
  if (queued != failures_.end() && !queued->second.empty()) {
    last_failure_ = queued->second.front();
    queued->second.erase(queued->second.begin());
    return true;
  }
  auto always = always_.find(call);
  if (always != always_.end()) {
    last_failure_ = always->second;
    return true;
  }
  return false;
}

bool FakeFileSystem::fail(platform::Reason reason, int native) {
  last_failure_ = platform::Failure{reason, native};
  return false;
}

std::string FakeFileSystem::path_of(std::string_view name) const {
  return !name.empty() && name.front() == '/' ? std::string(name) : directory + "/" + std::string(name);
}

bool FakeFileSystem::full_path(std::string_view name, std::size_t limit, std::string& path) {
  if (injected_failure(FileCall::full_path)) return false;
  const std::string full = path_of(name);
  if (full.size() > limit) return fail(platform::Reason::filename_exceeds_range, 0);
  path = full;
  return true;
}

bool FakeFileSystem::open_read_write(const std::string& path, FileHandle& handle) {
  if (injected_failure(FileCall::open_read_write)) return false;
  if (!exists(path)) replace(path);
  handle = next_handle_++;
  handles_[handle] = OpenFile{path, 0};
  return true;
}

bool FakeFileSystem::open_read_only(const std::string& path, platform::ReadOnlyRetry, FileHandle& handle) {
  if (injected_failure(FileCall::open_read_only)) return false;
  if (!exists(path)) return fail(platform::Reason::file_not_found, 0);
  handle = next_handle_++;
  handles_[handle] = OpenFile{path, 0};
  return true;
}

bool FakeFileSystem::open_append(const std::string& path, FileHandle& handle) {
  if (!exists(path)) replace(path);
  handle = next_handle_++;
  handles_[handle] = OpenFile{path, files_[path].bytes.size()};
  return true;
}

platform::FileKind FakeFileSystem::kind(FileHandle handle) {
  ++calls_[FileCall::kind];
  return files_[handles_.at(handle).path].kind;
}

bool FakeFileSystem::identity(FileHandle handle, platform::FileIdentity& identity) {
  if (injected_failure(FileCall::identity)) return false;
  identity = platform::FileIdentity{1, files_[handles_.at(handle).path].index};
  return true;
}

platform::NameLookup FakeFileSystem::lookup(std::string_view name, platform::FileIdentity& identity) {
  if (injected_failure(FileCall::lookup)) return platform::NameLookup::failed;
  const auto found = files_.find(path_of(name));
  if (found == files_.end()) return platform::NameLookup::missing;
  identity = platform::FileIdentity{1, found->second.index};
  return platform::NameLookup::found;
}

bool FakeFileSystem::write(FileHandle handle, const char* bytes, std::size_t size) {
  if (injected_failure(FileCall::write)) return false;
  OpenFile& open = handles_.at(handle);
  std::string& content = files_[open.path].bytes;
  if (content.size() < open.position + size) content.resize(open.position + size);
  content.replace(open.position, size, bytes, size);
  open.position += size;
  write_sizes.push_back(size);
  return true;
}

bool FakeFileSystem::cut_at_position(FileHandle handle) {
  if (injected_failure(FileCall::cut)) return false;
  const OpenFile& open = handles_.at(handle);
  files_[open.path].bytes.resize(open.position);
  return true;
}

bool FakeFileSystem::close(FileHandle handle) {
  const bool failed = injected_failure(FileCall::close);
  handles_.erase(handle);  // closed even when the close reports a failure
  return !failed;
}

}  // namespace testing_support
