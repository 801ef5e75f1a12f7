// File-system faults for the tests of what the station writes (POSIX): a file that cannot
// be written even by root, and a cap on file sizes that makes writes fail as on a full disk.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <string>

namespace km8::test {

// The immutable attribute where permissions do not bind (root); undone on destruction.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(std::string path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False when the file could not be made read-only here (a test then skips).
  bool active() const { return active_; }

 private:
  std::string path_;
  bool immutable_ = false;
  bool active_ = false;
};

// Files of this process may not grow beyond `bytes` while it lives; writes past it fail
// (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t oldHandler_;
};

}  // namespace km8::test
