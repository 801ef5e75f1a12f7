#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_faults.h"

namespace km8::test {
namespace {

bool setImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

bool writable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

}  // namespace

ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)) {
  ::chmod(path_.c_str(), 0444);
  if (writable(path_)) immutable_ = setImmutable(path_, true);
  active_ = !writable(path_);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (immutable_) setImmutable(path_, false);
  ::chmod(path_.c_str(), 0644);
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  ::getrlimit(RLIMIT_FSIZE, &saved_);
  oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved_;
  limited.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limited);
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &saved_);
  ::signal(SIGXFSZ, oldHandler_);
}

}  // namespace km8::test
