// Makes a file unwritable even for root (the immutable attribute where permissions do not
// bind), and writable again when the guard ends; POSIX test aid.
#pragma once

#include <string>

namespace km8::test {

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

}  // namespace km8::test
